#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "varnel/engine/CVarnel.h"
#include "varnel/engine/ErrorTexts.h"
#include "varnel/generators/CCustomTone.h"
#include "varnel/generators/CGenDTMF.h"
#include "varnel/generators/CGenSilence.h"
#include "varnel/platform/TextConversion.h"
#include "varnel/signal/PortableMath.h"

namespace Quorvex::VarnelNet {

namespace {

constexpr double kLn10 = 2.302585092994046;

bool IsValidFrequency(float f) { return f >= 0.0f && !std::isinf(f); }

// Splits text at every separator, skipping empty pieces.
std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    while (!text.empty()) {
        const std::size_t end = text.find(separator);
        const std::string_view piece = text.substr(0, end);
        if (!piece.empty()) pieces.push_back(piece);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return pieces;
}

// Reads a base-10 integer the way strtol does: leading space and a sign are accepted, reading
// stops at the first non-digit, and text without digits gives 0.
long ReadInteger(std::string_view text) {
    const std::string copy(text);
    return std::strtol(copy.c_str(), nullptr, 10);
}

}  // namespace

HRESULT CVarnel::CheckRenderable() {
    const SettingSpec& rate = SettingsCatalog::kSampleRate;
    if (!(m_sampleRate >= static_cast<float>(rate.minimum) && m_sampleRate <= static_cast<float>(rate.maximum))) {
        return Fail(E_INVALIDARG, rate.refusal);
    }
    return S_OK;
}

float CVarnel::LinearAmplitude() const {
    return static_cast<float>(PortableMath::Exp(kLn10 * static_cast<double>(m_amplitude) / 20.0));
}

HRESULT CVarnel::ApplyLevelRule(CGenBase& generator) {
    if (m_toneLevelPerTone == 0) return S_OK;
    generator.SetLevelPerTone(true);
    const double sum = generator.LoudestLevelSum();
    if (static_cast<double>(LinearAmplitude()) * sum <= 1.0) return S_OK;
    // The highest Amplitude that keeps them within full scale, rounded down to hundredths.
    const double highest = std::floor(-20.0 * std::log10(sum) * 100.0) / 100.0;
    char text[256];
    std::snprintf(text, sizeof text,
                  "Level per tone (TONE_LevelPerTone): the tones of this request sound together above full scale at "
                  "Amplitude %.2f dB; set Amplitude to %.2f dB or lower.",
                  static_cast<double>(m_amplitude), highest);
    return Fail(E_INVALIDARG, text);
}

HRESULT CVarnel::GenerateDTMFs(const char16_t* Keys, std::int32_t* pRequestID) {
    Lock lock(m_mutex);
    if (m_state == kIdle) return Fail(E_FAIL, ErrorText::kNotGenerating);
    if (!Keys || !*Keys || m_dtmfToneTime < 0 || m_dtmfBreakTime < 0 || m_dtmfPauseTime < 0) {
        return Fail(E_INVALIDARG, ErrorText::kInvalidParameters);
    }
    if (const HRESULT hr = CheckRenderable(); FAILED(hr)) return hr;
    // Each tone is half the level; with twist, their peaks together must stay within full scale.
    const double highLevel = PortableMath::Pow10(static_cast<double>(m_dtmfTwist) / 20.0);
    if (m_toneLevelPerTone == 0 && static_cast<double>(LinearAmplitude()) * (1.0 + highLevel) / 2.0 > 1.0) {
        return Fail(E_INVALIDARG, ErrorText::kDtmfTwistLevel);
    }
    auto dtmf = NewGenerator<CGenDTMF>();
    dtmf->Init(RequestFormat(), m_sampleRate, LinearAmplitude());
    if (dtmf->SetTimes(m_dtmfToneTime, m_dtmfBreakTime, m_dtmfPauseTime) != 0) {
        return Fail(E_INVALIDARG, ErrorText::kDurationRange);
    }
    dtmf->SetTwist(static_cast<double>(m_dtmfTwist));
    if (const HRESULT hr = ApplyLevelRule(*dtmf); FAILED(hr)) return hr;
    dtmf->SetDigits(NarrowToAnsi(WideView(Keys)));
    const std::int32_t id = AddRequest(lock, std::move(dtmf), RT_DTMF);
    if (pRequestID) *pRequestID = id;
    return S_OK;
}

HRESULT CVarnel::GenerateTone(std::uint32_t OnTime, std::uint32_t OffTime, float Frequency1,
                              float Frequency2, float Frequency3, std::int32_t* pRequestID) {
    Lock lock(m_mutex);
    if (m_state == kIdle) return Fail(E_FAIL, ErrorText::kNotGenerating);
    if (!IsValidFrequency(Frequency1) || !IsValidFrequency(Frequency2) || !IsValidFrequency(Frequency3)) {
        return Fail(E_INVALIDARG, ErrorText::kNegativeFrequency);
    }
    if (const HRESULT hr = CheckRenderable(); FAILED(hr)) return hr;
    auto tone = NewGenerator<CCustomTone>();
    tone->Init(RequestFormat(), m_sampleRate, LinearAmplitude());
    if (tone->SetTone(OnTime, OffTime, Frequency1, Frequency2, Frequency3) != 0) {
        return Fail(E_INVALIDARG, ErrorText::kDurationRange);
    }
    if (const HRESULT hr = ApplyLevelRule(*tone); FAILED(hr)) return hr;
    const std::int32_t id = AddRequest(lock, std::move(tone), RT_CustomTone);
    if (pRequestID) *pRequestID = id;
    return S_OK;
}

HRESULT CVarnel::GenerateSilence(float Duration, std::int32_t* pRequestID) {
    Lock lock(m_mutex);
    if (m_state == kIdle) return Fail(E_FAIL, ErrorText::kNotGenerating);
    if (!(0.0f < Duration) || std::isinf(Duration)) {
        return Fail(E_INVALIDARG, ErrorText::kDurationNotPositive);
    }
    if (const HRESULT hr = CheckRenderable(); FAILED(hr)) return hr;
    auto silence = NewGenerator<CGenSilence>();
    silence->Init(RequestFormat(), m_sampleRate, 0.0f);
    if (silence->SetDuration(Duration) != 0) return Fail(E_INVALIDARG, ErrorText::kDurationRange);
    const std::int32_t id = AddRequest(lock, std::move(silence), RT_Silence);
    if (pRequestID) *pRequestID = id;
    return S_OK;
}

HRESULT CVarnel::GenerateTones(const char16_t* Tones) {
    Lock lock(m_mutex);
    if (!Tones || !*Tones) return E_INVALIDARG;
    if (const HRESULT hr = CheckRenderable(); FAILED(hr)) return hr;
    const float amplitude = LinearAmplitude();
    const std::string text = NarrowToAnsi(WideView(Tones));

    // Every step is built before any is queued, so a bad step queues nothing.
    std::vector<std::unique_ptr<CCustomTone>> steps;
    for (const std::string_view step : Split(text, ',')) {
        auto tone = NewGenerator<CCustomTone>();
        tone->Init(RequestFormat(), m_sampleRate, amplitude);
        long duration = 500;
        bool allZero = true;
        const std::size_t at = step.find('@');
        if (at != std::string_view::npos) {
            for (const std::string_view piece : Split(step.substr(0, at), '|')) {
                const ToneNode node{static_cast<float>(ReadInteger(piece)), nullptr, 0.0f};
                tone->AddTones(&node);
                if (node.frequency != 0.0f) allZero = false;
            }
            duration = ReadInteger(step.substr(at + 1));
        }
        const int timed = allZero ? tone->SetTimes(0, duration) : tone->SetTimes(duration, 0);
        if (timed != 0) return Fail(E_INVALIDARG, ErrorText::kDurationRange);
        if (const HRESULT hr = ApplyLevelRule(*tone); FAILED(hr)) return hr;
        steps.push_back(std::move(tone));
    }
    for (auto& step : steps) AddRequest(lock, std::move(step), RT_CustomTone);
    return S_OK;
}

}  // namespace Quorvex::VarnelNet
