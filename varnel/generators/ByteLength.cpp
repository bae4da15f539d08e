#include "varnel/generators/ByteLength.h"

#include <cmath>

namespace Quorvex::VarnelNet {

std::optional<std::int32_t> OutputSamples(double samples, int outputBytesPerSample) {
    const double whole = std::trunc(samples);
    if (!(whole >= 0.0) || whole * outputBytesPerSample > static_cast<double>(kLongestOutputBytes)) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(whole);
}

std::optional<std::int32_t> DurationSamples(float ms, float sampleRate, int outputBytesPerSample) {
    const float samples = ms * sampleRate / 1000.0f;
    return OutputSamples(static_cast<double>(samples), outputBytesPerSample);
}

}  // namespace Quorvex::VarnelNet
