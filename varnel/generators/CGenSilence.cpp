#include "varnel/generators/CGenSilence.h"

#include <algorithm>

#include "varnel/generators/ByteLength.h"
#include "varnel/signal/OutputStage.h"

namespace Quorvex::VarnelNet {

CGenSilence::~CGenSilence() { Clear(); }

void CGenSilence::Clear() { m_remaining = 0; }

int CGenSilence::Init(SampleFormat format, float sampleRate, float /*amplitude*/) {
    m_format = format;
    m_sampleRate = sampleRate;
    return 0;
}

int CGenSilence::SetDuration(float ms) {
    const auto samples = DurationSamples(ms, m_sampleRate, BytesPerSample(m_format));
    if (!samples) return -1;
    m_remaining = *samples;
    return 0;
}

void CGenSilence::ReportSymbols(const SymbolReport& report) const {
    if (m_remaining > 0) report({.kind = SymbolKind::Silence, .first = 0, .last = m_remaining - 1});
}

std::int64_t CGenSilence::Length() const { return std::int64_t{m_remaining} * BytesPerSample(m_format); }

int CGenSilence::Read(std::uint8_t* buffer, int byteCount) {
    if (buffer == nullptr || byteCount < 1) return 0;
    const int bytesPerSample = BytesPerSample(m_format);
    const int n = std::min(m_remaining, byteCount / bytesPerSample);
    FillSilence(m_format, buffer, static_cast<std::size_t>(n));
    m_remaining -= n;
    return n * bytesPerSample;
}

}  // namespace Quorvex::VarnelNet
