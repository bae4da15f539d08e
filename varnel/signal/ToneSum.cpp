#include "varnel/signal/ToneSum.h"

#include <array>

#include "varnel/signal/OutputStage.h"

namespace Quorvex::VarnelNet {

void ToneSum::Add(double frequency, double sampleRate, double relativeAmplitude) {
    m_tones.push_back(Tone{SineOscillator::Start(frequency, sampleRate), relativeAmplitude, {}, 0.0});
}

void ToneSum::AddModulated(double frequency, double modulationHz, double depth, double sampleRate,
                           double relativeAmplitude) {
    m_tones.push_back(Tone{SineOscillator::Start(frequency, sampleRate), relativeAmplitude,
                           SineOscillator::Start(modulationHz, sampleRate), depth});
    if (depth != 0.0) m_modulated = true;
}

void ToneSum::ReversePhase() {
    for (Tone& t : m_tones) t.carrier.ReversePhase();
}

// One to three plain tones, with the oscillator state in locals so that writing the output
// cannot force it back to memory every sample. The sum starts from the first product: adding
// it to 0.0 changes no output (only -0.0, which truncates to the same sample).
template <std::size_t N, SampleFormat F>
void ToneSum::RenderPlain(double amplitude, std::uint8_t* out, std::size_t samples) {
    constexpr std::size_t kBytes = static_cast<std::size_t>(BytesPerSample(F));
    std::array<double, N> c2, y1, y2, a;
    for (std::size_t k = 0; k < N; ++k) {
        c2[k] = m_tones[k].carrier.cw * 2.0;
        y1[k] = m_tones[k].carrier.y1;
        y2[k] = m_tones[k].carrier.y2;
        a[k] = m_tones[k].amplitude;
    }
    for (std::size_t i = 0; i < samples; ++i, out += kBytes) {
        double sum = 0.0;
        for (std::size_t k = 0; k < N; ++k) {
            const double y = c2[k] * y1[k] - y2[k];
            y2[k] = y1[k];
            y1[k] = y;
            sum = k == 0 ? a[k] * y : sum + a[k] * y;
        }
        // Dividing by 1 or 2 is exact as a product, and much faster.
        const double mean = N == 3 ? sum / 3.0 : sum * (1.0 / static_cast<double>(N));
        StoreSample<F>(out, amplitude * mean);
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

void ToneSum::Render(SampleFormat format, double amplitude, std::uint8_t* out, std::size_t samples) {
    if (m_tones.empty()) {
        FillSilence(format, out, samples);
        return;
    }
    WithFormat(format, [&](auto f) {
        constexpr SampleFormat kF = f.value;
        if (m_modulated) return RenderAny<kF>(amplitude, out, samples);
        switch (m_tones.size()) {
            case 1: return RenderPlain<1, kF>(amplitude, out, samples);
            case 2: return RenderPlain<2, kF>(amplitude, out, samples);
            case 3: return RenderPlain<3, kF>(amplitude, out, samples);
            default: return RenderAny<kF>(amplitude, out, samples);
        }
    });
}

}  // namespace Quorvex::VarnelNet
