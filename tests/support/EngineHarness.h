#pragma once

// Helpers shared by the engine-level suites: a callback recorder and pull loops.

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "varnel/engine/CVarnel.h"
#include "varnel/platform/TextConversion.h"

namespace varnel_test {

using namespace Quorvex::VarnelNet;

// Records everything the engine sends through its data callback.
struct Recorder {
    std::vector<std::string> lines;       // MSG_DEBUG_TEXT, as UTF-8
    std::vector<std::int64_t> refCodes;   // lparam of each MSG_DEBUG_TEXT
    std::vector<std::int32_t> done;       // MSG_REQUEST_DONE request IDs, in order
    std::vector<WAVEFORMATEX> formats;    // MSG_STREAM_FORMAT records

    void Attach(CVarnel& engine) {
        engine.SetCallBack([this](void*, std::int32_t msg, std::uint64_t wparam, std::int64_t lparam) {
            switch (msg) {
                case MSG_DEBUG_TEXT:
                    lines.push_back(Utf16ToUtf8(reinterpret_cast<const char16_t*>(wparam)));
                    refCodes.push_back(lparam);
                    break;
                case MSG_REQUEST_DONE: done.push_back(static_cast<std::int32_t>(wparam)); break;
                case MSG_STREAM_FORMAT: formats.push_back(*reinterpret_cast<const WAVEFORMATEX*>(wparam)); break;
                default: break;
            }
            return 0;
        });
    }

    // The message part of the last line, after the "--\t" of the time stamp.
    std::string LastMessage() const {
        if (lines.empty()) return {};
        const std::string& line = lines.back();
        const auto tab = line.find("--\t");
        return tab == std::string::npos ? line : line.substr(tab + 3);
    }
};

// Pulls with ExecRequest in blocks of the given size until it returns 0 or less.
inline std::vector<std::uint8_t> PullAll(CVarnel& engine, std::int32_t blockSize) {
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(blockSize));
    for (;;) {
        const std::int32_t n = engine.ExecRequest(block.data(), blockSize);
        if (n <= 0) break;
        out.insert(out.end(), block.begin(), block.begin() + n);
    }
    return out;
}

inline std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace varnel_test
