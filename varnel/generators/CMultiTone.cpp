#include "varnel/generators/CMultiTone.h"

#include "varnel/signal/OutputStage.h"

namespace Quorvex::VarnelNet {

CMultiTone::~CMultiTone() { Clear(); }

void CMultiTone::Clear() {
    m_tones.Clear();
    m_hz = {};
}

int CMultiTone::Init(SampleFormat format, float sampleRate, float amplitude) {
    m_format = format;
    m_sampleRate = sampleRate;
    m_amplitude = amplitude;
    return 0;
}

int CMultiTone::AddTones(const ToneNode* chain) {
    for (const ToneNode* node = chain; node != nullptr; node = node->next) {
        if (node->frequency == 0.0f) continue;
        const double amplitude = (node->amplitude <= 0.0f || node->amplitude > 1.0f) ? 1.0 : node->amplitude;
        const double hz = Deviation().Hz(static_cast<double>(node->frequency));
        if (m_tones.Count() < m_hz.size()) m_hz[m_tones.Count()] = hz;
        m_tones.Add(hz, static_cast<double>(m_sampleRate), amplitude);
    }
    return static_cast<int>(m_tones.Count());
}

void CMultiTone::SetLevelPerTone(bool perTone) { m_tones.SetLevelPerTone(perTone); }

double CMultiTone::LoudestLevelSum() const { return m_tones.LevelSum(); }

void CMultiTone::RenderTone(std::uint8_t* out, std::size_t samples) {
    m_tones.Render(m_format, static_cast<double>(m_amplitude), out, samples);
}

int CMultiTone::Read(std::uint8_t* buffer, int byteCount) {
    if (buffer == nullptr || byteCount <= 0) return 0;
    const int bytesPerSample = BytesPerSample(m_format);
    const int samples = byteCount / bytesPerSample;
    RenderTone(buffer, static_cast<std::size_t>(samples));
    return samples * bytesPerSample;
}

void PcmFromDouble8(const double* source, std::uint8_t* destination, std::uint32_t count, double amplitude) {
    if (source == nullptr || destination == nullptr) return;
    StoreSamples(SampleFormat::U8, source, destination, count, amplitude);
}

void PcmFromDouble16(const double* source, std::uint8_t* destination, std::uint32_t count, double amplitude) {
    if (source == nullptr || destination == nullptr) return;
    StoreSamples(SampleFormat::S16, source, destination, count, amplitude);
}

}  // namespace Quorvex::VarnelNet
