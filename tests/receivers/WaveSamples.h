#pragma once

// The samples of a WAV file as 16-bit linear PCM, for the receiver programs: 16-bit and 8-bit
// PCM and G.711 (mu-law, A-law), mono. Chunks are walked as RIFF lays them out.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <spandsp.h>

namespace receiver {

struct Wave {
    std::uint32_t rate = 0;
    std::vector<std::int16_t> samples;
};

inline std::uint32_t Le(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
    return v;
}

// The file's samples, or nullopt (with the reason on standard error).
inline std::optional<Wave> ReadWave(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto fail = [&](const char* why) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), why);
        return std::nullopt;
    };
    if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF" || std::string(b.begin() + 8, b.begin() + 12) != "WAVE") {
        return fail("not a RIFF/WAVE file");
    }
    Wave wave;
    int tag = 0, channels = 0, bits = 0;
    for (std::size_t at = 12; at + 8 <= b.size();) {
        const std::string id(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at) + 4);
        const std::size_t size = Le(b, at + 4, 4);
        const std::size_t body = at + 8;
        if (body + size > b.size()) return fail("a chunk runs past the end");
        if (id == "fmt " && size >= 16) {
            tag = static_cast<int>(Le(b, body, 2));
            channels = static_cast<int>(Le(b, body + 2, 2));
            wave.rate = Le(b, body + 4, 4);
            bits = static_cast<int>(Le(b, body + 14, 2));
        } else if (id == "data") {
            if (channels != 1) return fail("not mono");
            for (std::size_t i = body; i < body + size;) {
                if (tag == 1 && bits == 16 && i + 1 < body + size) {
                    wave.samples.push_back(static_cast<std::int16_t>(Le(b, i, 2)));
                    i += 2;
                } else if (tag == 1 && bits == 8) {
                    wave.samples.push_back(static_cast<std::int16_t>((b[i++] - 128) << 8));
                } else if (tag == 7) {
                    wave.samples.push_back(ulaw_to_linear(b[i++]));
                } else if (tag == 6) {
                    wave.samples.push_back(alaw_to_linear(b[i++]));
                } else {
                    return fail("neither 8- nor 16-bit PCM nor G.711");
                }
            }
            return wave;
        }
        at = body + size + size % 2;
    }
    return fail("no data chunk");
}

}  // namespace receiver
