#pragma once

#include <cstdint>
#include <optional>

namespace Quorvex::VarnelNet {

// Every request of the classic kinds (silence, tones, DTMF times) renders at most this many
// bytes of output, in every sample format: G.711 counts its own bytes, one a sample.
inline constexpr std::int64_t kLongestOutputBytes = 2147483647;

// A count of samples computed in floating point, if it is a whole, non-negative number whose
// output, outputBytesPerSample bytes a sample, is at most kLongestOutputBytes; nullopt
// otherwise (negative, NaN, infinite or too long).
std::optional<std::int32_t> OutputSamples(double samples, int outputBytesPerSample);

// The whole samples of a duration, trunc(ms * sampleRate / 1000) computed in 32-bit floating
// point (the product first), if their output fits (OutputSamples).
std::optional<std::int32_t> DurationSamples(float ms, float sampleRate, int outputBytesPerSample);

}  // namespace Quorvex::VarnelNet
