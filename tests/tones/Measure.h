#pragma once

// Measurements on rendered samples for the tone tests: tone amplitudes and frequencies by a
// Hann-windowed DTFT (a Goertzel at any frequency), levels in dBm0, and the runs of tone and
// silence.

#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tone_test {

// Samples of 16-bit little-endian PCM as fractions of full scale (32767).
inline std::vector<double> FromS16(const std::vector<std::uint8_t>& pcm) {
    std::vector<double> x(pcm.size() / 2);
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = static_cast<std::int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8)) / 32767.0;
    }
    return x;
}

// A stretch x[begin, end) of samples, Hann-windowed so that tones a few resolution steps away
// do not leak into each other's measurement.
class Window {
public:
    Window(const std::vector<double>& x, std::size_t begin, std::size_t end, double rate) : m_rate(rate) {
        const double n = static_cast<double>(end - begin);
        m_samples.reserve(end - begin);
        for (std::size_t i = begin; i < end; ++i) {
            const double hann = 0.5 - 0.5 * std::cos(2.0 * M_PI * (static_cast<double>(i - begin) + 0.5) / n);
            m_samples.push_back(hann * x[i]);
            m_gain += hann;
            m_power += hann * x[i] * x[i];
        }
    }

    // The mean square of the samples, windowed like the amplitudes: a sine of amplitude A
    // measures A^2 / 2.
    double MeanSquare() const { return m_power / m_gain; }

    // The amplitude of the sine at hz (a DTFT at that one frequency): a sine of amplitude A
    // measures A.
    double Amplitude(double hz) const {
        const std::complex<double> step = std::polar(1.0, -2.0 * M_PI * hz / m_rate);
        std::complex<double> turn = 1.0;
        std::complex<double> sum = 0.0;
        for (const double v : m_samples) {
            sum += v * turn;
            turn *= step;
        }
        return 2.0 * std::abs(sum) / m_gain;
    }

    // The frequency of the strongest peak within guess +- span Hz: a grid of tenths of the
    // span, then golden-section search around the best point.
    double PeakFrequency(double guess, double span) const {
        double best = guess;
        double bestLevel = -1.0;
        const double step = span / 10.0;
        for (int k = -10; k <= 10; ++k) {
            const double f = guess + k * step;
            const double level = Amplitude(f);
            if (level > bestLevel) {
                bestLevel = level;
                best = f;
            }
        }
        double lo = best - step;
        double hi = best + step;
        const double r = (std::sqrt(5.0) - 1.0) / 2.0;
        double a = hi - r * (hi - lo);
        double b = lo + r * (hi - lo);
        double levelA = Amplitude(a);
        double levelB = Amplitude(b);
        for (int i = 0; i < 16; ++i) {
            if (levelA > levelB) {
                hi = b;
                b = a;
                levelB = levelA;
                a = hi - r * (hi - lo);
                levelA = Amplitude(a);
            } else {
                lo = a;
                a = b;
                levelA = levelB;
                b = lo + r * (hi - lo);
                levelB = Amplitude(b);
            }
        }
        return (lo + hi) / 2.0;
    }

private:
    double m_rate;
    std::vector<double> m_samples;
    double m_gain = 0.0;
    double m_power = 0.0;
};

inline double Amplitude(const std::vector<double>& x, std::size_t begin, std::size_t end, double hz, double rate) {
    return Window(x, begin, end, rate).Amplitude(hz);
}

// The level in dBm0 of a sine of that amplitude (a fraction of full scale): a full-scale sine is
// +3.14 dBm0.
inline double Dbm0(double amplitude) { return 3.14 + 20.0 * std::log10(amplitude); }

// Lengths in samples of the runs of tone (positive) and silence (negative). Silence is 16 or
// more zero samples in a row: a tone has a zero sample where its sine crosses zero exactly, or a
// few where two beating tones cancel; and every tone starts at sin(0) = 0, so the last zero
// before a tone is the tone's.
inline std::vector<std::int64_t> Runs(const std::vector<double>& x) {
    constexpr std::int64_t kSilentRun = 16;
    std::vector<std::int64_t> runs;
    const auto add = [&](std::int64_t n) {
        if (n == 0) return;
        if (!runs.empty() && (runs.back() > 0) == (n > 0)) {
            runs.back() += n;
        } else {
            runs.push_back(n);
        }
    };
    std::size_t i = 0;
    while (i < x.size()) {
        std::size_t j = i;
        while (j < x.size() && x[j] == 0.0) ++j;
        const auto zeros = static_cast<std::int64_t>(j - i);
        if (j == x.size()) {
            add(zeros >= kSilentRun ? -zeros : zeros);
            break;
        }
        if (zeros >= kSilentRun) {
            add(-(zeros - 1));
            add(1);
        } else {
            add(zeros);
        }
        std::size_t k = j;
        while (k < x.size() && x[k] != 0.0) ++k;
        add(static_cast<std::int64_t>(k - j));
        i = k;
    }
    return runs;
}

}  // namespace tone_test
