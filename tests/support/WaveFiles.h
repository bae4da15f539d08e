#pragma once

// Helpers for the engine suites that write WAV files: temporary names, wide file names and a
// strict reader for the 46-byte-header files the engine writes.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/EngineHarness.h"

namespace varnel_test {

// A file name in the test's temporary directory, unique to this process.
inline std::string TempWavePath(std::string_view tag) {
    return ::testing::TempDir() + "varnel_" + std::string(tag) + "_" + std::to_string(::getpid()) + ".wav";
}

struct WaveContents {
    WAVEFORMATEX format;
    std::vector<std::uint8_t> data;
    std::optional<std::uint32_t> factSamples;  // the "fact" chunk's count, when there is one
};

inline std::uint32_t ReadU32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (std::uint32_t{bytes[at + 3]} << 24);
}

// The format and the data chunk of a complete WAV file, or nullopt (with a test failure
// explaining why) when the file is missing or its sizes do not agree with its length. PCM files
// have the 46-byte header; any other format tag a "fact" chunk after "fmt " (58 bytes).
inline std::optional<WaveContents> ReadWave(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    const auto tag = [&](std::size_t at, const char* text) { return std::memcmp(&bytes[at], text, 4) == 0; };
    if (bytes.size() < 46) {
        ADD_FAILURE() << path << ": only " << bytes.size() << " bytes";
        return std::nullopt;
    }
    WaveContents wave{};
    std::memcpy(&wave.format, &bytes[20], sizeof(WAVEFORMATEX));
    const bool hasFact = wave.format.wFormatTag != 1;
    const std::size_t header = hasFact ? 58 : 46;
    if (bytes.size() < header) {
        ADD_FAILURE() << path << ": only " << bytes.size() << " bytes";
        return std::nullopt;
    }
    const std::uint32_t dataSize = ReadU32(bytes, header - 4);
    const std::size_t padded = header + dataSize + dataSize % 2;
    if (!tag(0, "RIFF") || !tag(8, "WAVE") || !tag(12, "fmt ") || ReadU32(bytes, 16) != 18 ||
        (hasFact && (!tag(38, "fact") || ReadU32(bytes, 42) != 4)) || !tag(header - 8, "data") ||
        ReadU32(bytes, 4) != bytes.size() - 8 || padded != bytes.size()) {
        ADD_FAILURE() << path << ": inconsistent header for a file of " << bytes.size() << " bytes";
        return std::nullopt;
    }
    if (hasFact) wave.factSamples = ReadU32(bytes, 46);
    wave.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(header),
                     bytes.begin() + static_cast<std::ptrdiff_t>(header + dataSize));
    return wave;
}

}  // namespace varnel_test
