#include "varnel/generators/CCustomTone.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "varnel/generators/ByteLength.h"

namespace Quorvex::VarnelNet {

namespace {

// trunc((float)(b * ms) * rate / 1000) bytes of b-byte PCM samples, the product in 32-bit and
// the division in 64-bit floating point, rounded up to whole samples; returned in samples, if
// their output fits (OutputSamples).
std::optional<std::int32_t> BurstSamples(std::int64_t ms, float sampleRate, int b, int outputBytes) {
    if (ms < 0 || ms > std::numeric_limits<std::int64_t>::max() / 2) return std::nullopt;
    const float x = static_cast<float>(b * ms) * sampleRate;
    const double t = std::trunc(static_cast<double>(x) / 1000.0);
    if (!(t >= 0.0 && t <= static_cast<double>(kLongestOutputBytes) * 2.0)) return std::nullopt;
    const auto bytes = static_cast<std::int64_t>(t);
    return OutputSamples(static_cast<double>((bytes + bytes % b) / b), outputBytes);
}

}  // namespace

CCustomTone::~CCustomTone() { Clear(); }

void CCustomTone::Clear() {
    m_silence.Clear();
    CMultiTone::Clear();
}

int CCustomTone::Init(SampleFormat format, float sampleRate, float amplitude) {
    const int result = CMultiTone::Init(format, sampleRate, amplitude);
    if (result != 0) return result;
    return m_silence.Init(format, sampleRate, amplitude);
}

int CCustomTone::SetTimes(std::int64_t toneMs, std::int64_t pauseMs) {
    const int b = PcmBytesPerSample(Format());
    const auto tone = BurstSamples(toneMs, SampleRate(), b, BytesPerSample(Format()));
    const auto pause = BurstSamples(pauseMs, SampleRate(), b, BytesPerSample(Format()));
    if (!tone || !pause) return -1;
    m_toneSamples = *tone;
    m_pauseSamples = *pause;
    m_position = -m_toneSamples;
    m_silence.SetSamples(m_pauseSamples);
    return 0;
}

int CCustomTone::SetTones(std::int64_t toneMs, std::int64_t pauseMs, const ToneNode* chain) {
    if (SetTimes(toneMs, pauseMs) != 0) return -1;
    AddTones(chain);
    return 0;
}

int CCustomTone::SetTone(std::int64_t toneMs, std::int64_t pauseMs, float f1, float f2, float f3) {
    ToneNode third{f3, nullptr, 0.0f};
    ToneNode second{f2, &third, 0.0f};
    ToneNode first{f1, &second, 0.0f};
    return SetTones(toneMs, pauseMs, &first);
}

void CCustomTone::ReportSymbols(const SymbolReport& report) const {
    if (m_toneSamples > 0) {
        Symbol tone{.kind = ToneCount() > 0 ? SymbolKind::Tone : SymbolKind::Silence, .first = 0, .last = m_toneSamples - 1};
        tone.hz = Frequencies();
        tone.toneCount = ToneCount();
        report(tone);
    }
    if (m_pauseSamples > 0) {
        report({.kind = SymbolKind::Silence, .first = m_toneSamples, .last = std::int64_t{m_toneSamples} + m_pauseSamples - 1});
    }
}

std::int64_t CCustomTone::Length() const {
    return (std::int64_t{m_pauseSamples} - m_position) * BytesPerSample(Format());
}

int CCustomTone::Read(std::uint8_t* buffer, int byteCount) {
    if (buffer == nullptr || byteCount <= 0) return 0;
    const int bytesPerSample = BytesPerSample(Format());
    int remaining = byteCount / bytesPerSample;
    int written = 0;
    while (remaining > 0 && m_position < m_pauseSamples) {
        int n;
        if (m_position < 0) {
            n = std::min(remaining, -m_position);
            RenderTone(buffer + written * bytesPerSample, static_cast<std::size_t>(n));
        } else {
            n = std::min(remaining, m_pauseSamples - m_position);
            m_silence.Read(buffer + written * bytesPerSample, n * bytesPerSample);
        }
        m_position += n;
        written += n;
        remaining -= n;
    }
    return written * bytesPerSample;
}

}  // namespace Quorvex::VarnelNet
