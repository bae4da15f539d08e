#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// A linear-phase FIR band-pass of the telephone band: flat from 300 to 3400 Hz, stopped below
// 200 Hz and above 3500 Hz (Kaiser window designed for 50 dB, cut-offs at 250 and 3450 Hz).
class TelephoneBand {
public:
    static constexpr double kLowestRate = 7000.0;    // the upper stop band must fit below half of it
    static constexpr double kHighestRate = 192000.0; // the taps grow with the rate
    // Why the rate cannot carry the filter, or an empty text.
    static std::string Check(double sampleRate);

    explicit TelephoneBand(double sampleRate);
    // The next output for the next input sample.
    double Filter(double x);
    // The sum of the squared taps: the power the filter passes of white noise.
    double PowerGain() const;

private:
    std::vector<double> m_taps;
    std::vector<double> m_history;  // the last inputs, twice over, so that a window is contiguous
    std::size_t m_at = 0;
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
