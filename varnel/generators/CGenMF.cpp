#include "varnel/generators/CGenMF.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "varnel/generators/StepSymbols.h"

namespace Quorvex::VarnelNet {

void CGenMF::Clear() {
    m_sequence.Start({}, 0, 0.0, m_format, 0.0, 0.0);
    m_signals.clear();
}

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
    DeviateSteps(steps, Deviation());
    m_signals.clear();
    if (refusal.empty()) {
        for (const char c : signals) m_signals += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    } else {
        steps.clear();
    }
    m_sequence.Start(std::move(steps), INT64_MAX, static_cast<double>(m_sampleRate), m_format,
                     static_cast<double>(m_amplitude), 0.0);
    return refusal;
}

void CGenMF::SetLevelPerTone(bool perTone) { m_sequence.SetLevelPerTone(perTone); }

double CGenMF::LoudestLevelSum() const { return m_sequence.MostTonesTogether(); }

std::int64_t CGenMF::Length() const {
    return (m_sequence.TotalSamples() - m_sequence.Position()) * BytesPerSample(m_format);
}

void CGenMF::ReportSymbols(const SymbolReport& report) const {
    m_sequence.ForEachPlayed([&](std::size_t step, std::int64_t first, std::int64_t samples) {
        if (step % 2 != 0) return;
        Symbol key = StepSymbol(m_sequence.Steps()[step], step / 2, first, samples);
        key.kind = SymbolKind::Key;
        key.text = std::string_view(m_signals).substr(step / 2, 1);
        report(key);
    });
}

int CGenMF::Read(std::uint8_t* buffer, int byteCount) {
    if (buffer == nullptr || byteCount <= 0) return 0;
    const int bytesPerSample = BytesPerSample(m_format);
    const auto room = static_cast<std::size_t>(byteCount / bytesPerSample);
    return static_cast<int>(m_sequence.Render(buffer, room)) * bytesPerSample;
}

}  // namespace Quorvex::VarnelNet
