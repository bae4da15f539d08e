#include "varnel/generators/CMultiTone.h"

#include <array>
#include <cmath>
#include <cstring>

namespace Quorvex::VarnelNet {

namespace {

constexpr double kTwoPi = 6.283185307179586;

// PCM conversion: the scaled value truncated toward zero, no clipping, no rounding.
template <bool Is16>
inline void StoreSample(std::uint8_t* out, double v) {
    if constexpr (Is16) {
        const int s = static_cast<int>(v * 32767.0);
        out[0] = static_cast<std::uint8_t>(s);
        out[1] = static_cast<std::uint8_t>(s >> 8);
    } else {
        out[0] = static_cast<std::uint8_t>(static_cast<int>(v * 127.0 + 128.0));
    }
}

template <bool Is16>
void PcmFromDouble(const double* source, std::uint8_t* destination, std::uint32_t count, double amplitude) {
    if (source == nullptr || destination == nullptr) return;
    constexpr std::size_t kBytes = Is16 ? 2 : 1;
    for (std::uint32_t i = 0; i < count; ++i) {
        StoreSample<Is16>(destination + i * kBytes, amplitude * source[i]);
    }
}

}  // namespace

CMultiTone::~CMultiTone() { Clear(); }

void CMultiTone::Clear() { m_tones.clear(); }

int CMultiTone::Init(std::uint8_t is16Bit, float sampleRate, float amplitude) {
    m_is16Bit = is16Bit ? 1 : 0;
    m_sampleRate = sampleRate;
    m_amplitude = amplitude;
    return 0;
}

int CMultiTone::AddTones(const ToneNode* chain) {
    for (const ToneNode* node = chain; node != nullptr; node = node->next) {
        if (node->frequency == 0.0f) continue;
        SineOscillator osc;
        osc.amplitude = (node->amplitude <= 0.0f || node->amplitude > 1.0f) ? 1.0 : node->amplitude;
        const double w = static_cast<double>(node->frequency) * kTwoPi / static_cast<double>(m_sampleRate);
        osc.cw = std::cos(w);
        osc.y2 = std::sin(-2.0 * w);
        osc.y1 = std::sin(-w);
        m_tones.push_back(osc);
    }
    return static_cast<int>(m_tones.size());
}

// Renders with the oscillator state in locals, so that writing the output cannot force it
// back to memory every sample. N = 0 handles any number of tones in place.
template <std::size_t N, bool Is16>
void CMultiTone::Render(std::uint8_t* out, int samples) {
    constexpr int kBytes = Is16 ? 2 : 1;
    const double amplitude = m_amplitude;
    if constexpr (N == 0) {
        const double count = static_cast<double>(m_tones.size());
        for (int i = 0; i < samples; ++i, out += kBytes) {
            double sum = 0.0;
            for (SineOscillator& t : m_tones) {
                const double y = (t.cw * 2.0) * t.y1 - t.y2;
                t.y2 = t.y1;
                t.y1 = y;
                sum = sum + t.amplitude * y;
            }
            const double mean = sum / count;
            StoreSample<Is16>(out, amplitude * mean);
        }
    } else {
        std::array<double, N> c2, y1, y2, a;
        for (std::size_t k = 0; k < N; ++k) {
            c2[k] = m_tones[k].cw * 2.0;
            y1[k] = m_tones[k].y1;
            y2[k] = m_tones[k].y2;
            a[k] = m_tones[k].amplitude;
        }
        for (int i = 0; i < samples; ++i, out += kBytes) {
            double sum = 0.0;
            for (std::size_t k = 0; k < N; ++k) {
                const double y = c2[k] * y1[k] - y2[k];
                y2[k] = y1[k];
                y1[k] = y;
                sum = sum + a[k] * y;
            }
            const double mean = sum / static_cast<double>(N);
            StoreSample<Is16>(out, amplitude * mean);
        }
        for (std::size_t k = 0; k < N; ++k) {
            m_tones[k].y2 = y2[k];
            m_tones[k].y1 = y1[k];
        }
    }
}

int CMultiTone::Read(std::uint8_t* buffer, int byteCount) {
    if (byteCount <= 0) return 0;
    const int samples = byteCount / BytesPerSample();
    const int bytes = samples * BytesPerSample();
    if (m_tones.empty()) {
        std::memset(buffer, m_is16Bit ? 0 : kSilence8, static_cast<std::size_t>(bytes));
        return bytes;
    }
    const bool is16 = m_is16Bit != 0;
    switch (m_tones.size()) {
        case 1: is16 ? Render<1, true>(buffer, samples) : Render<1, false>(buffer, samples); break;
        case 2: is16 ? Render<2, true>(buffer, samples) : Render<2, false>(buffer, samples); break;
        case 3: is16 ? Render<3, true>(buffer, samples) : Render<3, false>(buffer, samples); break;
        default: is16 ? Render<0, true>(buffer, samples) : Render<0, false>(buffer, samples); break;
    }
    return bytes;
}

void PcmFromDouble8(const double* source, std::uint8_t* destination, std::uint32_t count, double amplitude) {
    PcmFromDouble<false>(source, destination, count, amplitude);
}

void PcmFromDouble16(const double* source, std::uint8_t* destination, std::uint32_t count, double amplitude) {
    PcmFromDouble<true>(source, destination, count, amplitude);
}

}  // namespace Quorvex::VarnelNet
