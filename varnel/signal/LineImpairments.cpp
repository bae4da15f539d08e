#include "varnel/signal/LineImpairments.h"

#include <algorithm>
#include <cmath>

#include "varnel/signal/G711.h"
#include "varnel/signal/PortableMath.h"
#include "varnel/signal/SineOscillator.h"

namespace Quorvex::VarnelNet {

namespace {

constexpr double kLn2 = 0.6931471805599453;
constexpr double kSqrtHalf = 0.7071067811865476;
constexpr int kLogTerms = 12;

constexpr double kStopDb = 50.0;
constexpr double kTransitionHz = 100.0;
constexpr double kLowCutHz = 250.0;
constexpr double kHighCutHz = 3450.0;

// I0, the modified Bessel function of the first kind, by its series until the terms vanish.
double BesselI0(double x) {
    const double q = x * x / 4.0;
    double term = 1.0;
    double sum = 1.0;
    for (int k = 1; k < 200 && term > sum * 1e-18; ++k) {
        term = term * q / (static_cast<double>(k) * static_cast<double>(k));
        sum = sum + term;
    }
    return sum;
}

// sin(2 pi f n / rate) for the filter design.
double Sine(double hz, double n, double sampleRate) { return PortableMath::Sin(kTwoPi * hz * n / sampleRate); }

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
    const double width = kTwoPi * kTransitionHz / sampleRate;
    auto count = static_cast<std::size_t>(std::ceil((kStopDb - 7.95) / (2.285 * width))) + 1;
    count += 1 - count % 2;
    const double beta = 0.1102 * (kStopDb - 8.7);
    const double half = static_cast<double>(count - 1) / 2.0;
    const double norm = BesselI0(beta);
    m_taps.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double n = static_cast<double>(i) - half;
        const double ideal = n == 0.0 ? 2.0 * (kHighCutHz - kLowCutHz) / sampleRate
                                      : (Sine(kHighCutHz, n, sampleRate) - Sine(kLowCutHz, n, sampleRate)) / (kTwoPi / 2.0 * n);
        const double r = n / half;
        m_taps[i] = ideal * BesselI0(beta * std::sqrt(1.0 - r * r)) / norm;
    }
    m_history.assign(2 * count, 0.0);
}

double TelephoneBand::Filter(double x) {
    const std::size_t count = m_taps.size();
    m_history[m_at] = x;
    m_history[m_at + count] = x;
    m_at = m_at + 1 == count ? 0 : m_at + 1;
    // The window from the oldest input to the newest.
    const double* window = &m_history[m_at];
    double sum = 0.0;
    for (std::size_t k = 0; k < count; ++k) sum = sum + m_taps[k] * window[k];
    return sum;
}

double TelephoneBand::PowerGain() const {
    double sum = 0.0;
    for (const double h : m_taps) sum = sum + h * h;
    return sum;
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
