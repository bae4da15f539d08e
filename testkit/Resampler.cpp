#include "testkit/Resampler.h"

#include <cstdint>
#include <numeric>
#include <stdexcept>
#include <string>

#include "varnel/signal/PortableMath.h"

namespace Quorvex::VarnelNet::Kit {

namespace {

constexpr double kPi = 3.141592653589793238;
constexpr int kHalfTaps = 64;
constexpr double kCutoffHz = 4000.0;

}  // namespace

std::vector<double> Resampled(std::span<const double> input, int fromRate, int toRate) {
    if (fromRate <= 0 || toRate <= 0 || toRate > fromRate) {
        throw std::invalid_argument("cannot bring " + std::to_string(fromRate) + " Hz to " + std::to_string(toRate) + " Hz");
    }
    if (fromRate == toRate) return {input.begin(), input.end()};
    const int divisor = std::gcd(fromRate, toRate);
    const int up = toRate / divisor;    // output n lies at input n * down / up
    const int down = fromRate / divisor;
    const double cutoff = kCutoffHz / fromRate;  // cycles an input sample
    // taps[p][k]: the weight of input i - kHalfTaps + 1 + k for an output at i + p / up.
    std::vector<double> taps(static_cast<std::size_t>(up) * 2 * kHalfTaps);
    for (int p = 0; p < up; ++p) {
        double* row = &taps[static_cast<std::size_t>(p) * 2 * kHalfTaps];
        double sum = 0.0;
        for (int k = 0; k < 2 * kHalfTaps; ++k) {
            const double x = (k - kHalfTaps + 1) - static_cast<double>(p) / up;  // input samples from the output
            const double angle = 2.0 * kPi * cutoff * x;
            const double sinc = x == 0.0 ? 1.0 : PortableMath::Sin(angle) / angle;
            const double w = (x + kHalfTaps) / (2.0 * kHalfTaps);  // 0 to 1 across the window
            const double window = 0.42 - 0.5 * PortableMath::Cos(2.0 * kPi * w) + 0.08 * PortableMath::Cos(4.0 * kPi * w);
            row[k] = sinc * window;
            sum += row[k];
        }
        for (int k = 0; k < 2 * kHalfTaps; ++k) row[k] /= sum;
    }
    const auto length = static_cast<std::int64_t>(input.size());
    const std::int64_t outputs = length * up / down;
    std::vector<double> output(static_cast<std::size_t>(outputs));
    for (std::int64_t n = 0; n < outputs; ++n) {
        const std::int64_t i = n * down / up;
        const auto p = static_cast<std::size_t>(n * down % up);
        const double* row = &taps[p * 2 * kHalfTaps];
        double y = 0.0;
        for (int k = 0; k < 2 * kHalfTaps; ++k) {
            const std::int64_t at = i - kHalfTaps + 1 + k;
            if (at >= 0 && at < length) y += row[k] * input[static_cast<std::size_t>(at)];
        }
        output[static_cast<std::size_t>(n)] = y;
    }
    return output;
}

}  // namespace Quorvex::VarnelNet::Kit
