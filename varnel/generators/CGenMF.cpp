#include "varnel/generators/CGenMF.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace Quorvex::VarnelNet {

void CGenMF::Clear() { m_sequence.Start({}, 0, 0.0, m_format, 0.0, 0.0); }

int CGenMF::Init(SampleFormat format, float sampleRate, float amplitude) {
    m_format = format;
    m_sampleRate = sampleRate;
    m_amplitude = amplitude;
    Clear();
    return 0;
}

std::string CGenMF::SetSignals(MfSystem system, std::string_view signals) {
    std::vector<ToneSequence::Step> steps;
    std::string refusal = MfSignals::Build(system, signals, static_cast<double>(m_sampleRate), steps);
    if (!refusal.empty()) steps.clear();
    m_sequence.Start(std::move(steps), INT64_MAX, static_cast<double>(m_sampleRate), m_format,
                     static_cast<double>(m_amplitude), 0.0);
    return refusal;
}

void CGenMF::SetLevelPerTone(bool perTone) { m_sequence.SetLevelPerTone(perTone); }

double CGenMF::LoudestLevelSum() const { return m_sequence.MostTonesTogether(); }

std::int64_t CGenMF::Length() const {
    return (m_sequence.TotalSamples() - m_sequence.Position()) * BytesPerSample(m_format);
}

int CGenMF::Read(std::uint8_t* buffer, int byteCount) {
    if (buffer == nullptr || byteCount <= 0) return 0;
    const int bytesPerSample = BytesPerSample(m_format);
    const auto room = static_cast<std::size_t>(byteCount / bytesPerSample);
    return static_cast<int>(m_sequence.Render(buffer, room)) * bytesPerSample;
}

}  // namespace Quorvex::VarnelNet
