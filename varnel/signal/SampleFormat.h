#pragma once

#include <cstdint>

namespace Quorvex::VarnelNet {

// How a sample leaves the signal core: unsigned 8-bit PCM (silence 0x80), signed 16-bit
// little-endian PCM (silence 0), or one ITU-T G.711 byte (mu-law or A-law) of the 16-bit value.
enum class SampleFormat : std::uint8_t {
    U8 = 0,
    S16 = 1,
    MuLaw = 2,
    ALaw = 3,
};

constexpr int BytesPerSample(SampleFormat format) { return format == SampleFormat::S16 ? 2 : 1; }

// The width of the PCM sample behind an output sample: G.711 carries the 16-bit sample, so
// durations and counts defined on PCM bytes are counted as for 16-bit output.
constexpr int PcmBytesPerSample(SampleFormat format) { return format == SampleFormat::U8 ? 1 : 2; }

}  // namespace Quorvex::VarnelNet
