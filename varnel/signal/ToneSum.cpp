#include "varnel/signal/ToneSum.h"

#include <algorithm>
#include <array>

#include "varnel/signal/OutputStage.h"

namespace Quorvex::VarnelNet {

void ToneSum::Add(double frequency, double sampleRate, double relativeAmplitude) {
    m_tones.push_back(Tone{SineOscillator::Start(frequency, sampleRate), relativeAmplitude, {}, 0.0});
}

void ToneSum::Add(const SineOscillator& start, double relativeAmplitude) {
    m_tones.push_back(Tone{start, relativeAmplitude, {}, 0.0});
}

void ToneSum::AddModulated(double frequency, double modulationHz, double depth, double sampleRate,
                           double relativeAmplitude) {
    m_tones.push_back(Tone{SineOscillator::Start(frequency, sampleRate), relativeAmplitude,
                           SineOscillator::Start(modulationHz, sampleRate), depth});
    if (depth != 0.0) m_modulated = true;
}

double ToneSum::LevelSum() const {
    double sum = 0.0;
    for (const Tone& t : m_tones) sum += t.amplitude;
    return sum;
}

void ToneSum::ReversePhase() {
    for (Tone& t : m_tones) t.carrier.Reverse();
}

namespace {

// The means of two samples' sums over N tones: one division for both where the compiler pairs
// them (each lane is the same IEEE division).
template <std::size_t N>
inline void MeanPair(const double (&sum)[2], double (&mean)[2]) {
    if constexpr (N == 3) {
#if defined(__GNUC__)
        using Pair = double __attribute__((vector_size(16)));
        const Pair m = Pair{sum[0], sum[1]} / 3.0;
        mean[0] = m[0];
        mean[1] = m[1];
#else
        mean[0] = sum[0] / 3.0;
        mean[1] = sum[1] / 3.0;
#endif
    } else {
        // Dividing by 1 or 2 is exact as a product.
        mean[0] = sum[0] * (1.0 / static_cast<double>(N));
        mean[1] = sum[1] * (1.0 / static_cast<double>(N));
    }
}

}  // namespace

#if defined(__GNUC__)
// Two or three plain tones, the first two in the lanes of one register: each lane runs its own
// recursion by the same operations as RenderPlain, and the pair of samples is transposed before
// the sum, so the sum is still (tone 0 + tone 1) + tone 2 and every byte is the same. A third
// tone runs in scalars beside them.
template <std::size_t N, SampleFormat F, bool Unit>
void ToneSum::RenderLanes(double amplitude, std::uint8_t* out, std::size_t samples) {
    static_assert(N == 2 || N == 3);
    constexpr std::size_t kBytes = static_cast<std::size_t>(BytesPerSample(F));
    const SineOscillator& t0 = m_tones[0].carrier;
    const SineOscillator& t1 = m_tones[1].carrier;
    const SamplePair c2 = {t0.cw * 2.0, t1.cw * 2.0};
    const SamplePair a = {m_tones[0].amplitude, m_tones[1].amplitude};
    SamplePair y1 = {t0.y1, t1.y1};
    SamplePair y2 = {t0.y2, t1.y2};
    const std::size_t last = N - 1;
    const double c3 = m_tones[last].carrier.cw * 2.0;
    const double a3 = m_tones[last].amplitude;
    double z1 = m_tones[last].carrier.y1;
    double z2 = m_tones[last].carrier.y2;
    std::size_t i = 0;
    for (; i + 2 <= samples; i += 2, out += 2 * kBytes) {
        y2 = c2 * y1 - y2;
        y1 = c2 * y2 - y1;
        const SamplePair first = Unit ? y2 : a * y2;    // both tones at the first sample
        const SamplePair second = Unit ? y1 : a * y1;   // and at the second
        SamplePair sum = __builtin_shufflevector(first, second, 0, 2) + __builtin_shufflevector(first, second, 1, 3);
        if constexpr (N == 3) {
            z2 = c3 * z1 - z2;
            z1 = c3 * z2 - z1;
            sum = sum + (Unit ? SamplePair{z2, z1} : SamplePair{a3 * z2, a3 * z1});
        }
        const SamplePair mean = N == 3 ? sum / 3.0 : sum * 0.5;
        StoreSamplePair<F>(out, amplitude, mean);
    }
    if (i < samples) {
        const SamplePair y = c2 * y1 - y2;
        y2 = y1;
        y1 = y;
        const SamplePair levels = Unit ? y : a * y;
        double sum = levels[0] + levels[1];
        if constexpr (N == 3) {
            const double z = c3 * z1 - z2;
            z2 = z1;
            z1 = z;
            sum = sum + (Unit ? z : a3 * z);
        }
        StoreSample<F>(out, amplitude * (N == 3 ? sum / 3.0 : sum * 0.5));
    }
    m_tones[0].carrier.y1 = y1[0];
    m_tones[0].carrier.y2 = y2[0];
    m_tones[1].carrier.y1 = y1[1];
    m_tones[1].carrier.y2 = y2[1];
    if constexpr (N == 3) {
        m_tones[2].carrier.y1 = z1;
        m_tones[2].carrier.y2 = z2;
    }
}
#endif

// One to three plain tones, with the oscillator state in locals so that writing the output
// cannot force it back to memory every sample. Two samples per pass, the newer value written
// over the older, so that the recursion's dependent chain carries no register copies. The sum
// starts from the first product: adding it to 0.0 changes no output (only -0.0, which
// truncates to the same sample). Dividing by 1 or 2 is exact as a product, and faster; so is
// leaving out a relative level of exactly 1 (Unit), which every tone of a DTMF key or a
// custom tone has.
template <std::size_t N, SampleFormat F, bool Unit>
void ToneSum::RenderPlain(double amplitude, std::uint8_t* out, std::size_t samples) {
#if defined(__GNUC__)
    // 16-bit pairs are stored from lanes, so the tones may run in lanes too.
    if constexpr (N > 1 && F == SampleFormat::S16) {
        RenderLanes<N, F, Unit>(amplitude, out, samples);
        return;
    }
#endif
    constexpr std::size_t kBytes = static_cast<std::size_t>(BytesPerSample(F));
    constexpr double kInverse = N == 3 ? 0.0 : 1.0 / static_cast<double>(N);
    std::array<double, N> c2, y1, y2, a;
    for (std::size_t k = 0; k < N; ++k) {
        c2[k] = m_tones[k].carrier.cw * 2.0;
        y1[k] = m_tones[k].carrier.y1;
        y2[k] = m_tones[k].carrier.y2;
        a[k] = m_tones[k].amplitude;
    }
    const auto level = [&](std::size_t k, double y) { return Unit ? y : a[k] * y; };
    const auto store = [&](std::uint8_t* at, double sum) {
        const double mean = N == 3 ? sum / 3.0 : sum * kInverse;
        StoreSample<F>(at, amplitude * mean);
    };
    std::size_t i = 0;
    for (; i + 2 <= samples; i += 2, out += 2 * kBytes) {
        double sum[2] = {0.0, 0.0};
        for (std::size_t k = 0; k < N; ++k) {
            y2[k] = c2[k] * y1[k] - y2[k];
            sum[0] = k == 0 ? level(k, y2[k]) : sum[0] + level(k, y2[k]);
        }
        for (std::size_t k = 0; k < N; ++k) {
            y1[k] = c2[k] * y2[k] - y1[k];
            sum[1] = k == 0 ? level(k, y1[k]) : sum[1] + level(k, y1[k]);
        }
        double mean[2];
        MeanPair<N>(sum, mean);
        StoreSamplePair<F>(out, amplitude, mean[0], mean[1]);
    }
    if (i < samples) {
        double sum = 0.0;
        for (std::size_t k = 0; k < N; ++k) {
            const double y = c2[k] * y1[k] - y2[k];
            y2[k] = y1[k];
            y1[k] = y;
            sum = k == 0 ? level(k, y) : sum + level(k, y);
        }
        store(out, sum);
    }
    for (std::size_t k = 0; k < N; ++k) {
        m_tones[k].carrier.y2 = y2[k];
        m_tones[k].carrier.y1 = y1[k];
    }
}

template <SampleFormat F>
void ToneSum::RenderAny(double amplitude, std::uint8_t* out, std::size_t samples) {
    constexpr std::size_t kBytes = static_cast<std::size_t>(BytesPerSample(F));
    const double count = static_cast<double>(m_tones.size());
    for (std::size_t i = 0; i < samples; ++i, out += kBytes) {
        double sum = 0.0;
        for (Tone& t : m_tones) {
            double y = t.carrier.Next();
            if (t.depth != 0.0) y = y * (1.0 + t.depth * t.modulator.Next()) / (1.0 + t.depth);
            sum = sum + t.amplitude * y;
        }
        StoreSample<F>(out, amplitude * (sum / count));
    }
}

void ToneSum::Render(SampleFormat format, double level, std::uint8_t* out, std::size_t samples) {
    if (m_tones.empty()) {
        FillSilence(format, out, samples);
        return;
    }
    // The mean of N tones at N times the level: every tone at the level.
    const double amplitude = m_levelPerTone ? level * static_cast<double>(m_tones.size()) : level;
    WithFormat(format, [&](auto f) {
        constexpr SampleFormat kF = f.value;
        if (m_modulated) return RenderAny<kF>(amplitude, out, samples);
        const bool unit = std::all_of(m_tones.begin(), m_tones.end(), [](const Tone& t) { return t.amplitude == 1.0; });
        switch (m_tones.size() * 2 + (unit ? 1 : 0)) {
            case 2: return RenderPlain<1, kF, false>(amplitude, out, samples);
            case 3: return RenderPlain<1, kF, true>(amplitude, out, samples);
            case 4: return RenderPlain<2, kF, false>(amplitude, out, samples);
            case 5: return RenderPlain<2, kF, true>(amplitude, out, samples);
            case 6: return RenderPlain<3, kF, false>(amplitude, out, samples);
            case 7: return RenderPlain<3, kF, true>(amplitude, out, samples);
            default: return RenderAny<kF>(amplitude, out, samples);
        }
    });
}

}  // namespace Quorvex::VarnelNet
