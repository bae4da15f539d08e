#include "varnel/generators/CGenDTMF.h"

#include <algorithm>
#include <cmath>

#include "varnel/generators/ByteLength.h"
#include "varnel/signal/DtmfKeypad.h"
#include "varnel/signal/OutputStage.h"
#include "varnel/signal/PortableMath.h"

namespace Quorvex::VarnelNet {

namespace {

using DtmfKeypad::kColumnHz;
using DtmfKeypad::kRowHz;

constexpr std::uint16_t kPause = 0xFFFF;
constexpr std::size_t kScratchSamples = 2048;

// A quantised PCM sample times a factor, truncated: 16-bit trunc(old * f), 8-bit
// trunc((old - 128) * f + 128), in 32-bit floating point.
template <SampleFormat F>
void Scale(std::uint8_t* sample, float factor) {
    if constexpr (F == SampleFormat::U8) {
        const float centred = static_cast<float>(sample[0] - 128);
        sample[0] = static_cast<std::uint8_t>(static_cast<int>(centred * factor + 128.0f));
    } else {
        const auto old = static_cast<std::int16_t>(sample[0] | (sample[1] << 8));
        const int scaled = static_cast<int>(static_cast<float>(old) * factor);
        sample[0] = static_cast<std::uint8_t>(scaled);
        sample[1] = static_cast<std::uint8_t>(scaled >> 8);
    }
}

}  // namespace

CGenDTMF::~CGenDTMF() { Clear(); }

void CGenDTMF::Clear() {
    m_digits.assign(1, DigitEntry{0, 0});
    m_current = 0;
    m_position = 0;
}

int CGenDTMF::Init(SampleFormat format, float sampleRate, float amplitude) {
    m_format = format;
    m_sampleRate = sampleRate;
    m_amplitude = amplitude;
    const bool g711 = format == SampleFormat::MuLaw || format == SampleFormat::ALaw;
    m_scratch.assign(g711 ? 2 * kScratchSamples : 0, 0);
    for (std::size_t k = 0; k < 4; ++k) {
        m_keypadTones[k] = SineOscillator::Start(Deviation().Hz(static_cast<double>(static_cast<float>(kRowHz[k]))), sampleRate);
        m_keypadTones[4 + k] =
            SineOscillator::Start(Deviation().Hz(static_cast<double>(static_cast<float>(kColumnHz[k]))), sampleRate);
    }
    return 0;
}

int CGenDTMF::SetTimes(std::int32_t toneMs, std::int32_t breakMs, std::int32_t pauseMs) {
    if (toneMs < 0 || breakMs < 0 || pauseMs < 0) return -1;
    const int outputBytes = BytesPerSample(m_format);
    const auto tone = DurationSamples(static_cast<float>(toneMs), m_sampleRate, outputBytes);
    const auto gap = DurationSamples(static_cast<float>(breakMs), m_sampleRate, outputBytes);
    const auto pause = DurationSamples(static_cast<float>(pauseMs), m_sampleRate, outputBytes);
    if (!tone || !gap || !pause) return -1;
    m_toneSamples = *tone;
    m_breakSamples = *gap;
    m_pauseSamples = *pause;
    const std::int64_t toneBytes = m_toneSamples * PcmBytesPerSample(m_format);
    const auto r = static_cast<std::int64_t>(std::trunc(static_cast<double>(toneBytes) * 0.055));
    m_rampBytes = r + r % 2;
    m_position = 0;
    return 0;
}

int CGenDTMF::SetDigits(std::string_view text) {
    m_digits.clear();
    m_digits.reserve(text.size() + 1);
    for (const char c : text) {
        if (c == ',') {
            m_digits.push_back({kPause, kPause});
            continue;
        }
        const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        const auto key = DtmfKeypad::Find(upper);
        if (!key) continue;
        m_digits.push_back({key->row, key->column});
    }
    m_digits.push_back({0, 0});
    m_current = 0;
    m_position = 0;
    return 0;
}

std::int64_t CGenDTMF::EntryLength(const DigitEntry& entry) const {
    return entry.row == kPause ? m_pauseSamples : m_toneSamples + m_breakSamples;
}

std::int64_t CGenDTMF::Length() const {
    std::int64_t samples = -m_position;
    for (std::size_t i = m_current; i < m_digits.size() && m_digits[i].row != 0; ++i) samples += EntryLength(m_digits[i]);
    return samples * BytesPerSample(m_format);
}

void CGenDTMF::ReportSymbols(const SymbolReport& report) const {
    std::int64_t start = 0;
    for (std::size_t i = 0; i < m_digits.size() && m_digits[i].row != 0; ++i) {
        const DigitEntry& entry = m_digits[i];
        if (entry.row == kPause) {
            if (m_pauseSamples > 0) report({.kind = SymbolKind::Silence, .first = start, .last = start + m_pauseSamples - 1});
        } else if (m_toneSamples > 0) {
            const auto row = static_cast<std::size_t>(std::find(kRowHz, kRowHz + 4, entry.row) - kRowHz);
            const auto column = static_cast<std::size_t>(std::find(kColumnHz, kColumnHz + 4, entry.column) - kColumnHz);
            Symbol key{.kind = SymbolKind::Key, .first = start, .last = start + m_toneSamples - 1};
            key.text = DtmfKeypad::kKeys.substr(row * 4 + column, 1);
            key.hz = {Deviation().Hz(entry.row), Deviation().Hz(entry.column), 0.0};
            key.toneCount = 2;
            report(key);
        }
        start += EntryLength(entry);
    }
}

int CGenDTMF::SetTwist(double db) {
    if (!std::isfinite(db)) return -1;
    m_highLevel = db == 0.0 ? 1.0 : PortableMath::Pow10(db / 20.0);
    return 0;
}

void CGenDTMF::SetLevelPerTone(bool perTone) { m_tones.SetLevelPerTone(perTone); }

double CGenDTMF::LoudestLevelSum() const { return 1.0 + m_highLevel; }

// The column tone first, at the twist's relative level, then the row tone at full relative
// level, both from phase 0.
void CGenDTMF::StartKey(const DigitEntry& entry) {
    const auto row = static_cast<std::size_t>(std::find(kRowHz, kRowHz + 4, entry.row) - kRowHz);
    const auto column = static_cast<std::size_t>(std::find(kColumnHz, kColumnHz + 4, entry.column) - kColumnHz);
    m_tones.Clear();
    m_tones.Add(m_keypadTones[4 + column], m_highLevel);
    m_tones.Add(m_keypadTones[row], 1.0);
}

// Fade-in: the sample at PCM byte p of the tone (p < ramp) is scaled by p / ramp. Fade-out:
// the sample at byte p in the last ramp bytes is scaled by (tone bytes - p) / ramp, so the
// last sample keeps bytes per sample / ramp of its value.
template <SampleFormat F>
void CGenDTMF::Fade(std::uint8_t* pcm, std::int64_t offset, std::size_t n) const {
    constexpr std::int64_t kPcmBytes = F == SampleFormat::U8 ? 1 : 2;
    if (m_rampBytes == 0) return;
    const float ramp = static_cast<float>(m_rampBytes);
    const std::int64_t toneBytes = m_toneSamples * kPcmBytes;
    const std::int64_t end = offset + static_cast<std::int64_t>(n);
    const std::int64_t fadeInEnd = std::min(end, m_rampBytes / kPcmBytes);
    for (std::int64_t s = offset; s < fadeInEnd; ++s) {
        const auto progress = static_cast<std::int32_t>(s * kPcmBytes);
        Scale<F>(pcm + (s - offset) * kPcmBytes, static_cast<float>(progress) / ramp);
    }
    const std::int64_t fadeOutStart = std::max(offset, m_toneSamples - m_rampBytes / kPcmBytes);
    for (std::int64_t s = fadeOutStart; s < end; ++s) {
        const auto remaining = static_cast<std::int32_t>(toneBytes - s * kPcmBytes);
        Scale<F>(pcm + (s - offset) * kPcmBytes, static_cast<float>(remaining) / ramp);
    }
}

template <SampleFormat F>
void CGenDTMF::RenderTone(std::uint8_t* out, std::int64_t offset, std::size_t n) {
    const double amplitude = static_cast<double>(m_amplitude);
    if constexpr (F == SampleFormat::U8 || F == SampleFormat::S16) {
        m_tones.Render(F, amplitude, out, n);
        Fade<F>(out, offset, n);
    } else {
        for (std::size_t done = 0; done < n;) {
            const std::size_t piece = std::min(n - done, kScratchSamples);
            m_tones.Render(SampleFormat::S16, amplitude, m_scratch.data(), piece);
            Fade<SampleFormat::S16>(m_scratch.data(), offset + static_cast<std::int64_t>(done), piece);
            EncodeFrom16(F, m_scratch.data(), out + done, piece);
            done += piece;
        }
    }
}

int CGenDTMF::Read(std::uint8_t* buffer, int byteCount) {
    if (buffer == nullptr || byteCount <= 0) return 0;
    const int bytesPerSample = BytesPerSample(m_format);
    const std::int64_t room = byteCount / bytesPerSample;
    std::int64_t written = 0;
    WithFormat(m_format, [&](auto f) {
        while (written < room && m_digits[m_current].row != 0) {
            const DigitEntry& entry = m_digits[m_current];
            const bool key = entry.row != kPause;
            const std::int64_t length = EntryLength(entry);
            if (m_position < length) {
                std::uint8_t* out = buffer + written * bytesPerSample;
                std::int64_t n;
                if (key && m_position < m_toneSamples) {
                    if (m_position == 0) StartKey(entry);
                    n = std::min(m_toneSamples - m_position, room - written);
                    RenderTone<f.value>(out, m_position, static_cast<std::size_t>(n));
                } else {
                    n = std::min(length - m_position, room - written);
                    FillSilence(m_format, out, static_cast<std::size_t>(n));
                }
                m_position += n;
                written += n;
            }
            if (m_position >= length) {
                ++m_current;
                m_position = 0;
            }
        }
    });
    return static_cast<int>(written * bytesPerSample);
}

}  // namespace Quorvex::VarnelNet
