#pragma once

#include <cstdint>
#include <optional>

namespace Quorvex::VarnelNet {

// A length in bytes computed in floating point, if it is a whole, non-negative number that
// fits a 32-bit byte count; nullopt otherwise (negative, NaN, infinite or too large).
std::optional<std::int32_t> ByteCount(double bytes);

// The byte length of a duration: trunc(ms * sampleRate / 1000) whole samples, computed in
// 32-bit floating point (the product first), times the bytes per sample.
std::optional<std::int32_t> DurationBytes(float ms, float sampleRate, int bytesPerSample);

}  // namespace Quorvex::VarnelNet
