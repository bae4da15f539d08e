#include "varnel/generators/CGenPattern.h"

#include <cmath>
#include <utility>

#include "varnel/generators/StepSymbols.h"

namespace Quorvex::VarnelNet {

CGenPattern::~CGenPattern() { Clear(); }

void CGenPattern::Clear() { m_sequence.Start({}, 0, 0.0, m_format, 0.0, 0.0); }

bool CGenPattern::Usable() const {
    return m_sampleRate > 0.0f && std::isfinite(m_sampleRate) && m_amplitude >= 0.0f && m_amplitude <= 1.0f;
}

int CGenPattern::Init(SampleFormat format, float sampleRate, float amplitude) {
    m_format = format;
    m_sampleRate = sampleRate;
    m_amplitude = amplitude;
    Clear();
    return Usable() ? 0 : -1;
}

int CGenPattern::SetSteps(std::vector<ToneSequence::Step> steps, std::int64_t totalMs, double depth) {
    if (!Usable() || !(depth >= 0.0 && depth <= 1.0)) return -1;
    DeviateSteps(steps, Deviation());
    m_sequence.Start(std::move(steps), totalMs, static_cast<double>(m_sampleRate), m_format,
                     static_cast<double>(m_amplitude), depth, ToneSequence::Clock::Milliseconds);
    return 0;
}

int CGenPattern::SetPattern(const TonePattern& pattern, std::int64_t totalMs, double depth) {
    return SetSteps(PatternSteps(pattern, totalMs), totalMs, depth);
}

void CGenPattern::SetLevelPerTone(bool perTone) { m_sequence.SetLevelPerTone(perTone); }

double CGenPattern::LoudestLevelSum() const { return m_sequence.MostTonesTogether(); }

std::int64_t CGenPattern::Length() const {
    return (m_sequence.TotalSamples() - m_sequence.Position()) * BytesPerSample(m_format);
}

void CGenPattern::ReportSymbols(const SymbolReport& report) const {
    m_sequence.ForEachPlayed([&](std::size_t step, std::int64_t first, std::int64_t samples) {
        report(StepSymbol(m_sequence.Steps()[step], step, first, samples));
    });
}

int CGenPattern::Read(std::uint8_t* buffer, int byteCount) {
    if (buffer == nullptr || byteCount <= 0) return 0;
    const int bytesPerSample = BytesPerSample(m_format);
    const std::size_t samples = m_sequence.Render(buffer, static_cast<std::size_t>(byteCount / bytesPerSample));
    return static_cast<int>(samples) * bytesPerSample;
}

}  // namespace Quorvex::VarnelNet
