#include "varnel/generators/CGenDTMF.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "varnel/generators/ByteLength.h"

namespace Quorvex::VarnelNet {

namespace {

constexpr std::string_view kKeypad = "123A456B789C*0#D";
constexpr std::uint16_t kRowHz[4] = {697, 770, 852, 941};
constexpr std::uint16_t kColumnHz[4] = {1209, 1336, 1477, 1633};
constexpr std::uint16_t kPause = 0xFFFF;

}  // namespace

CGenDTMF::~CGenDTMF() { Clear(); }

void CGenDTMF::Clear() {
    m_digits.assign(1, DigitEntry{0, 0});
    m_current = 0;
}

int CGenDTMF::Init(std::uint8_t is16Bit, float sampleRate, float amplitude) {
    m_is16Bit = is16Bit ? 1 : 0;
    m_sampleRate = sampleRate;
    m_amplitude = amplitude;
    return m_synth.Init(is16Bit, sampleRate, amplitude);
}

int CGenDTMF::SetTimes(std::int32_t toneMs, std::int32_t breakMs, std::int32_t pauseMs) {
    if (toneMs < 0 || breakMs < 0 || pauseMs < 0) return -1;
    const int bytesPerSample = m_is16Bit + 1;
    const auto tone = DurationBytes(static_cast<float>(toneMs), m_sampleRate, bytesPerSample);
    const auto gap = DurationBytes(static_cast<float>(breakMs), m_sampleRate, bytesPerSample);
    const auto pause = DurationBytes(static_cast<float>(pauseMs), m_sampleRate, bytesPerSample);
    if (!tone || !gap || !pause) return -1;
    m_toneLength = *tone;
    m_breakLength = *gap;
    m_pauseLength = *pause;
    const auto r = static_cast<std::int32_t>(std::trunc(m_toneLength * 0.055));
    m_rampLength = r + r % 2;
    m_countdown = m_toneLength;
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
        const std::size_t p = kKeypad.find(upper);
        if (p == std::string_view::npos) continue;
        m_digits.push_back({kRowHz[p / 4], kColumnHz[p % 4]});
    }
    m_digits.push_back({0, 0});
    m_current = 0;
    return 0;
}

void CGenDTMF::StartEntry() {
    const DigitEntry& entry = m_digits[m_current];
    if (entry.row == kPause) {
        m_countdown = 0;
        m_gapLength = m_pauseLength;
        m_fadeInProgress = -1;
        m_fadeOutRemaining = -1;
        return;
    }
    ToneNode row{static_cast<float>(entry.row), nullptr, 0.0f};
    ToneNode column{static_cast<float>(entry.column), &row, 0.0f};
    m_synth.Clear();
    m_synth.AddTones(&column);
    m_gapLength = m_breakLength;
    m_fadeOutRemaining = m_rampLength;
    m_fadeInProgress = 0;
}

int CGenDTMF::Read(std::uint8_t* buffer, int byteCount) {
    int remaining = byteCount - byteCount % (m_is16Bit + 1);
    int written = 0;
    std::uint8_t* position = buffer;
    while (remaining > 0 && m_digits[m_current].row != 0) {
        if (m_countdown == m_toneLength) StartEntry();

        int n;
        if (m_countdown > 0) {
            n = std::min(m_countdown, remaining);
            m_synth.Read(position, n);
        } else {
            n = std::min(m_countdown + m_gapLength, remaining);
            std::memset(position, m_is16Bit ? 0 : kSilence8, static_cast<std::size_t>(n));
        }

        if (m_fadeInProgress < m_rampLength && m_toneLength - m_countdown < m_rampLength) {
            FadeIn(position, n);
        }
        remaining -= n;
        written += n;
        position += n;
        m_countdown -= n;
        if (m_countdown >= 0 && m_fadeOutRemaining > 0 && m_countdown < m_rampLength) {
            FadeOut(position, n);
        }

        if (-m_countdown >= m_gapLength) {
            ++m_current;
            m_countdown = m_toneLength;
        }
    }
    return written;
}

void CGenDTMF::Scale(std::uint8_t* sample, float factor) const {
    if (m_is16Bit) {
        const auto old = static_cast<std::int16_t>(sample[0] | (sample[1] << 8));
        const int scaled = static_cast<int>(static_cast<float>(old) * factor);
        sample[0] = static_cast<std::uint8_t>(scaled);
        sample[1] = static_cast<std::uint8_t>(scaled >> 8);
    } else {
        const float centred = static_cast<float>(sample[0] - 128);
        sample[0] = static_cast<std::uint8_t>(static_cast<int>(centred * factor + 128.0f));
    }
}

void CGenDTMF::FadeIn(std::uint8_t* chunk, int n) {
    const int bytesPerSample = m_is16Bit + 1;
    const float ramp = static_cast<float>(m_rampLength);
    for (int i = 0; i < n && m_fadeInProgress != m_rampLength; i += bytesPerSample) {
        Scale(chunk + i, static_cast<float>(m_fadeInProgress) / ramp);
        m_fadeInProgress += bytesPerSample;
    }
}

void CGenDTMF::FadeOut(std::uint8_t* chunkEnd, int n) {
    const int bytesPerSample = m_is16Bit + 1;
    const float ramp = static_cast<float>(m_rampLength);
    const int k = std::min(n, m_fadeOutRemaining - m_countdown);
    for (std::uint8_t* sample = chunkEnd - k; sample < chunkEnd; sample += bytesPerSample) {
        Scale(sample, static_cast<float>(m_fadeOutRemaining) / ramp);
        m_fadeOutRemaining -= bytesPerSample;
    }
}

}  // namespace Quorvex::VarnelNet
