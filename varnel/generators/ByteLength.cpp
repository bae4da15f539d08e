#include "varnel/generators/ByteLength.h"

#include <cmath>
#include <limits>

namespace Quorvex::VarnelNet {

std::optional<std::int32_t> ByteCount(double bytes) {
    const double whole = std::trunc(bytes);
    if (!(whole >= 0.0) || whole > static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(whole);
}

std::optional<std::int32_t> DurationBytes(float ms, float sampleRate, int bytesPerSample) {
    const float samples = ms * sampleRate / 1000.0f;
    return ByteCount(static_cast<double>(std::trunc(samples)) * bytesPerSample);
}

}  // namespace Quorvex::VarnelNet
