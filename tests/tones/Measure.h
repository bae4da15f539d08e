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

// The amplitude of the sine at hz in x[begin, end), Hann-windowed so that other tones a few
// resolution steps away do not leak in: a sine of amplitude A measures A.
inline double Amplitude(const std::vector<double>& x, std::size_t begin, std::size_t end, double hz, double rate) {
    const double n = static_cast<double>(end - begin);
    const double w = 2.0 * M_PI * hz / rate;
    std::complex<double> sum = 0.0;
    double gain = 0.0;
    for (std::size_t i = begin; i < end; ++i) {
        const double k = static_cast<double>(i - begin);
        const double hann = 0.5 - 0.5 * std::cos(2.0 * M_PI * (k + 0.5) / n);
        sum += hann * x[i] * std::polar(1.0, -w * k);
        gain += hann;
    }
    return 2.0 * std::abs(sum) / gain;
}

// The frequency of the strongest peak of the windowed spectrum within guess +- span Hz: a grid of
// steps of a tenth of the span, then golden-section search on the best cell.
inline double PeakFrequency(const std::vector<double>& x, std::size_t begin, std::size_t end, double guess,
                            double span, double rate) {
    double best = guess;
    double bestLevel = -1.0;
    const double step = span / 10.0;
    for (double f = guess - span; f <= guess + span + 1e-9; f += step) {
        const double level = Amplitude(x, begin, end, f, rate);
        if (level > bestLevel) {
            bestLevel = level;
            best = f;
        }
    }
    double lo = best - step;
    double hi = best + step;
    const double r = (std::sqrt(5.0) - 1.0) / 2.0;
    for (int i = 0; i < 30; ++i) {
        const double a = hi - r * (hi - lo);
        const double b = lo + r * (hi - lo);
        if (Amplitude(x, begin, end, a, rate) > Amplitude(x, begin, end, b, rate)) {
            hi = b;
        } else {
            lo = a;
        }
    }
    return (lo + hi) / 2.0;
}

// The level in dBm0 of a sine of that amplitude (a fraction of full scale): a full-scale sine is
// +3.14 dBm0.
inline double Dbm0(double amplitude) { return 3.14 + 20.0 * std::log10(amplitude); }

// Lengths in samples of the runs of tone (positive) and silence (negative). Silence is two or
// more zero samples in a row: a tone has a single zero sample where its sine crosses zero
// exactly, and every tone starts at sin(0) = 0, so the last zero before a tone is the tone's.
inline std::vector<std::int64_t> Runs(const std::vector<double>& x) {
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
            add(zeros >= 2 ? -zeros : zeros);
            break;
        }
        if (zeros >= 2) {
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
