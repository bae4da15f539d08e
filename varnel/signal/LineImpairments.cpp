#include "varnel/signal/LineImpairments.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "varnel/signal/G711.h"
#include "varnel/signal/PortableMath.h"
#include "varnel/signal/SineOscillator.h"

namespace Quorvex::VarnelNet {

namespace {

constexpr double kLn2 = 0.6931471805599453;
constexpr double kSqrtHalf = 0.7071067811865476;
constexpr int kLogTerms = 12;

constexpr double kLowEdgeHz = 300.0;
constexpr double kHighEdgeHz = 3400.0;
constexpr double kRippleDb = 0.25;
constexpr double kPi = kTwoPi / 2.0;
// The impulse response is summed for the power gain stretch by stretch of this long, until a
// stretch adds less than kTailShare of the sum (slowest near the lowest rate, where the upper
// edge's poles lie close to half the rate: some 2 s at 7000 Hz, 0.4 s at 8000 Hz).
constexpr double kStretchSeconds = 0.05;
constexpr double kTailShare = 1e-30;

// The poles of a Chebyshev low-pass of `order` (even) with its edge at 1 rad/s, one of each
// conjugate pair, as the sections s^2 + b1 s + b0 they give: b1 = -2 Re p, b0 = |p|^2.
struct AnalogSection {
    double b1;
    double b0;
};

std::vector<AnalogSection> ChebyshevSections(int order) {
    const double epsilon = std::sqrt(PortableMath::Pow10(kRippleDb / 10.0) - 1.0);
    const double x = 1.0 / epsilon;
    // e^a with a = asinh(1 / epsilon) / order.
    const double ea = PortableMath::Exp(PortableLog(x + std::sqrt(x * x + 1.0)) / static_cast<double>(order));
    const double sinh = (ea - 1.0 / ea) / 2.0;
    const double cosh = (ea + 1.0 / ea) / 2.0;
    std::vector<AnalogSection> sections;
    for (int k = 1; k <= order / 2; ++k) {
        const double theta = kPi * static_cast<double>(2 * k - 1) / static_cast<double>(2 * order);
        const double re = -sinh * PortableMath::Sin(theta);
        const double im = cosh * PortableMath::Cos(theta);
        sections.push_back({-2.0 * re, re * re + im * im});
    }
    return sections;
}

// tan(pi f / rate): the edge prewarped for the bilinear transform s = (z - 1) / (K (z + 1)).
double Prewarped(double hz, double sampleRate) {
    const double w = kPi * hz / sampleRate;
    return PortableMath::Sin(w) / PortableMath::Cos(w);
}

// b0 / (s^2 + b1 s + b0) with s scaled to the edge: unit gain at 0 Hz.
Biquad LowPass(const AnalogSection& a, double k) {
    const double k2 = a.b0 * k * k;
    const double a0 = 1.0 + a.b1 * k + k2;
    Biquad q;
    q.b0 = k2 / a0;
    q.b1 = 2.0 * k2 / a0;
    q.b2 = k2 / a0;
    q.a1 = (2.0 * k2 - 2.0) / a0;
    q.a2 = (1.0 - a.b1 * k + k2) / a0;
    return q;
}

// The low-pass section with s replaced by 1/s: b0 s^2 / (b0 s^2 + b1 s + 1), unit gain at half
// the rate.
Biquad HighPass(const AnalogSection& a, double k) {
    const double k2 = k * k;
    const double a0 = a.b0 + a.b1 * k + k2;
    Biquad q;
    q.b0 = a.b0 / a0;
    q.b1 = -2.0 * a.b0 / a0;
    q.b2 = a.b0 / a0;
    q.a1 = (2.0 * k2 - 2.0 * a.b0) / a0;
    q.a2 = (a.b0 - a.b1 * k + k2) / a0;
    return q;
}

}  // namespace

double PortableLog(double x) {
    int exponent = 0;
    double m = std::frexp(x, &exponent);  // exact: m in [0.5, 1)
    if (m < kSqrtHalf) {
        m = m * 2.0;
        exponent -= 1;
    }
    const double z = (m - 1.0) / (m + 1.0);
    const double z2 = z * z;
    double power = z;
    double series = 0.0;
    for (int k = 0; k < kLogTerms; ++k) {
        series = series + power / static_cast<double>(2 * k + 1);
        power = power * z2;
    }
    return static_cast<double>(exponent) * kLn2 + 2.0 * series;
}

double GaussianNoise::Next() {
    if (m_hasSpare) {
        m_hasSpare = false;
        return m_spare;
    }
    for (;;) {
        const double u = 2.0 * m_uniform.Uniform() - 1.0;
        const double v = 2.0 * m_uniform.Uniform() - 1.0;
        const double s = u * u + v * v;
        if (s >= 1.0 || s == 0.0) continue;
        const double f = std::sqrt(-2.0 * PortableLog(s) / s);
        m_spare = v * f;
        m_hasSpare = true;
        return u * f;
    }
}

std::string TelephoneBand::Check(double sampleRate) {
    if (sampleRate < kLowestRate) return "the telephone band needs a sample rate of 7000 Hz or more";
    if (sampleRate > kHighestRate) return "the telephone band is filtered at sample rates up to 192000 Hz";
    return {};
}

TelephoneBand::TelephoneBand(double sampleRate) {
    std::size_t next = 0;
    const double low = Prewarped(kLowEdgeHz, sampleRate);
    for (const AnalogSection& a : ChebyshevSections(kHighPassOrder)) m_sections[next++] = HighPass(a, low);
    const double high = Prewarped(kHighEdgeHz, sampleRate);
    for (const AnalogSection& a : ChebyshevSections(kLowPassOrder)) m_sections[next++] = LowPass(a, high);
    TelephoneBand impulse = *this;
    const auto stretch = static_cast<std::int64_t>(kStretchSeconds * sampleRate);
    double x = 1.0;
    for (double added = 1.0; added > kTailShare * m_powerGain;) {
        added = 0.0;
        for (std::int64_t n = 0; n < stretch; ++n) {
            const double h = impulse.Filter(x);
            x = 0.0;
            added = added + h * h;
        }
        m_powerGain = m_powerGain + added;
    }
}

std::int16_t NearestPcm16(double v) {
    const double s = std::floor(v * 32767.0 + 0.5);
    return static_cast<std::int16_t>(std::clamp(s, -32768.0, 32767.0));
}

Line::Line(const LineSpec& spec, double sampleRate) : m_spec(spec), m_noise(spec.seed) {
    m_whiteRms = spec.noiseRms;
    if (spec.noiseRms > 0.0 && spec.telephoneBand) {
        m_band.emplace(sampleRate);
        m_whiteRms = spec.noiseRms / std::sqrt(m_band->PowerGain());
    }
}

void Line::Apply(double* samples, std::size_t n) {
    if (m_band) {
        for (std::size_t i = 0; i < n; ++i) samples[i] = samples[i] + m_band->Filter(m_whiteRms * m_noise.Next());
    } else if (m_spec.noiseRms > 0.0) {
        for (std::size_t i = 0; i < n; ++i) samples[i] = samples[i] + m_whiteRms * m_noise.Next();
    }
    if (m_spec.clipPeak > 0.0) {
        for (std::size_t i = 0; i < n; ++i) samples[i] = std::clamp(samples[i], -m_spec.clipPeak, m_spec.clipPeak);
    }
    const auto tandem = [&](auto encode, auto decode) {
        for (int pass = 0; pass < m_spec.tandemPasses; ++pass) {
            for (std::size_t i = 0; i < n; ++i) samples[i] = static_cast<double>(decode(encode(NearestPcm16(samples[i])))) / 32767.0;
        }
    };
    if (m_spec.tandemLaw == SampleFormat::MuLaw) {
        tandem(MuLawFromLinear, LinearFromMuLaw);
    } else {
        tandem(ALawFromLinear, LinearFromALaw);
    }
    if (m_spec.dropoutSamples > 0 && m_spec.dropoutPeriod > 0) {
        for (std::size_t i = 0; i < n; ++i) {
            const std::int64_t at = m_position + static_cast<std::int64_t>(i);
            if (at >= m_spec.dropoutPeriod && at % m_spec.dropoutPeriod < m_spec.dropoutSamples) samples[i] = 0.0;
        }
    }
    m_position += static_cast<std::int64_t>(n);
}

}  // namespace Quorvex::VarnelNet
