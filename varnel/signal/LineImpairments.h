#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "varnel/signal/SampleFormat.h"
#include "varnel/signal/SplitMix64.h"

namespace Quorvex::VarnelNet {

// What a telephone line does to a signal, applied to samples as numbers (full scale 1.0) in a
// fixed order: noise (white, or limited to the telephone band), clipping, G.711 tandems, then
// dropouts. Every step is plain arithmetic in a fixed order, and the noise comes from a seeded
// generator: the same seed gives the same samples on every build.

// The natural logarithm of x > 0 from + - * / alone: x = m 2^e with m in [sqrt(1/2), sqrt(2)),
// ln x = e ln 2 + 2 atanh((m - 1) / (m + 1)) by twelve terms of its series (within a few units
// in the last place).
double PortableLog(double x);

// Standard normal deviates by Marsaglia's polar method on SplitMix64's uniforms: pairs (u, v) in
// the unit circle, s = u^2 + v^2, each of u and v times sqrt(-2 ln s / s).
class GaussianNoise {
public:
    explicit GaussianNoise(std::uint64_t seed) : m_uniform(seed) {}
    double Next();

private:
    SplitMix64 m_uniform;
    double m_spare = 0.0;
    bool m_hasSpare = false;
};

// One second-order section, y = (b0 x + b1 x' + b2 x'') - a1 y' - a2 y'' in the transposed
// direct form II.
struct Biquad {
    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
    double s1 = 0.0, s2 = 0.0;

    double Filter(double x) {
        const double y = b0 * x + s1;
        s1 = b1 * x - a1 * y + s2;
        s2 = b2 * x - a2 * y;
        return y;
    }
};

// A recursive band-pass of the telephone band, designed from the sample rate by the bilinear
// transform with the band edges prewarped: a Chebyshev high-pass of order 6 at 300 Hz and a
// Chebyshev low-pass of order 12 at 3400 Hz, each with 0.25 dB of ripple: flat within half a
// dB from 300 to 3400 Hz, 40 dB down at 150 Hz and below and at 4000 Hz and above. Its cost per
// sample is the same at every rate.
class TelephoneBand {
public:
    static constexpr double kLowestRate = 7000.0;    // the upper edge must lie below half of it
    static constexpr double kHighestRate = 192000.0; // the highest rate the band is checked at
    // Why the rate cannot carry the filter, or an empty text.
    static std::string Check(double sampleRate);

    explicit TelephoneBand(double sampleRate);
    // The next output for the next input sample.
    double Filter(double x) {
        for (Biquad& section : m_sections) x = section.Filter(x);
        return x;
    }
    // The sum of the squared impulse response: the power the filter passes of white noise.
    double PowerGain() const { return m_powerGain; }

private:
    static constexpr int kHighPassOrder = 6;
    static constexpr int kLowPassOrder = 12;
    std::array<Biquad, (kHighPassOrder + kLowPassOrder) / 2> m_sections;
    double m_powerGain = 0.0;
};

struct LineSpec {
    double noiseRms = 0.0;       // of the noise added, full scale 1.0; 0: none
    bool telephoneBand = false;  // the noise limited to the telephone band, at the same power
    std::uint64_t seed = 0;
    double clipPeak = 0.0;       // 0: none; otherwise every sample is held within +-clipPeak
    int tandemPasses = 0;        // G.711 encode-decode passes of the 16-bit sample
    SampleFormat tandemLaw = SampleFormat::MuLaw;
    std::int64_t dropoutSamples = 0;  // zeroed samples at every multiple of dropoutPeriod (not 0)
    std::int64_t dropoutPeriod = 0;
};

// The impairments of a LineSpec applied block by block to consecutive samples; the output does
// not depend on how the samples are split into blocks.
class Line {
public:
    Line(const LineSpec& spec, double sampleRate);
    void Apply(double* samples, std::size_t n);

private:
    LineSpec m_spec;
    GaussianNoise m_noise;
    double m_whiteRms = 0.0;  // before the band filter, so that its output has noiseRms
    std::optional<TelephoneBand> m_band;
    std::int64_t m_position = 0;
};

// The 16-bit sample nearest to v * 32767, held within the 16-bit range.
std::int16_t NearestPcm16(double v);

}  // namespace Quorvex::VarnelNet
