// The request operations of the tone library: patterns, the built-in tone plans and special
// information tones, and modem tones.

#include <limits>
#include <string>

#include "varnel/engine/CVarnel.h"
#include "varnel/engine/ErrorTexts.h"
#include "varnel/generators/CGenPattern.h"
#include "varnel/platform/TextConversion.h"
#include "varnel/signal/ModemTones.h"
#include "varnel/signal/TonePattern.h"
#include "varnel/signal/ToneTables.h"

namespace Quorvex::VarnelNet {

namespace {

constexpr std::size_t kQuotedLength = 40;

// The caller's text in quotes, cut after 40 characters.
std::string Quoted(std::string_view text) {
    std::string quoted(1, '"');
    quoted.append(text.substr(0, kQuotedLength)).append(text.size() > kQuotedLength ? "...\"" : "\"");
    return quoted;
}

std::string Label(std::string_view kind, std::string_view name) {
    std::string label(kind);
    label.append(" ").append(name);
    return label;
}

}  // namespace

HRESULT CVarnel::QueuePattern(Lock& lock, const TonePattern& pattern, std::int64_t durationMs, const char* label,
                              std::int32_t* pRequestID) {
    if (const HRESULT hr = CheckRenderable(); FAILED(hr)) return hr;
    auto generator = NewGenerator<CGenPattern>();
    generator->Init(RequestFormat(), m_sampleRate, LinearAmplitude());
    if (generator->SetPattern(pattern, durationMs, m_toneModulationDepth / 100.0) != 0) {
        return Fail(E_INVALIDARG, ErrorText::kInvalidParameter);
    }
    if (const HRESULT hr = ApplyLevelRule(*generator); FAILED(hr)) return hr;
    const std::int32_t id = AddRequest(lock, std::move(generator), RT_TonePattern, label);
    if (pRequestID) *pRequestID = id;
    return S_OK;
}

HRESULT CVarnel::GeneratePattern(const char16_t* Pattern, std::int32_t DurationMs, std::int32_t* pRequestID) {
    TonePattern pattern;
    std::string error;
    if (!ParseTonePattern(NarrowToAnsi(WideView(Pattern)), pattern, error)) {
        const Lock lock(m_mutex);
        if (m_state == kIdle) return Fail(E_FAIL, ErrorText::kNotGenerating);
        if (DurationMs <= 0) return Fail(E_INVALIDARG, ErrorText::kToneDuration);
        return Fail(E_INVALIDARG, error.c_str());
    }
    return GeneratePattern(pattern, DurationMs, pRequestID);
}

HRESULT CVarnel::GeneratePattern(const TonePattern& Pattern, std::int32_t DurationMs, std::int32_t* pRequestID) {
    Lock lock(m_mutex);
    if (m_state == kIdle) return Fail(E_FAIL, ErrorText::kNotGenerating);
    if (DurationMs <= 0) return Fail(E_INVALIDARG, ErrorText::kToneDuration);
    return QueuePattern(lock, Pattern, DurationMs, RequestTypeLabel(RT_TonePattern), pRequestID);
}

HRESULT CVarnel::GenerateTonePlan(const char16_t* Country, const char16_t* Tone, std::int32_t DurationMs,
                                  std::int32_t* pRequestID) {
    const std::string country = NarrowToAnsi(WideView(Country));
    const std::string tone = NarrowToAnsi(WideView(Tone));
    const TonePlanRow* row = FindTonePlan(country, tone);
    if (!row) {
        const Lock lock(m_mutex);
        if (m_state == kIdle) return Fail(E_FAIL, ErrorText::kNotGenerating);
        const std::string text =
            HasTonePlanCountry(country)
                ? "Country " + Quoted(country) + " has no tone " + Quoted(tone) + ": its tones are " + TonePlanTones(country) + "."
                : "Unknown country " + Quoted(country) + ": the tone plans are for " + TonePlanCountries() + " (gb is uk).";
        return Fail(E_INVALIDARG, text.c_str());
    }
    TonePattern pattern;
    std::string error;
    ParseTonePattern(row->pattern, pattern, error);
    return GenerateTonePlan(*row, pattern, DurationMs, pRequestID);
}

HRESULT CVarnel::GenerateTonePlan(const TonePlanRow& Row, const TonePattern& Pattern, std::int32_t DurationMs,
                                  std::int32_t* pRequestID) {
    Lock lock(m_mutex);
    if (m_state == kIdle) return Fail(E_FAIL, ErrorText::kNotGenerating);
    if (DurationMs <= 0) return Fail(E_INVALIDARG, ErrorText::kToneDuration);
    const std::string label = Label("Tone Plan", Label(Row.country, Row.tone));
    return QueuePattern(lock, Pattern, DurationMs, label.c_str(), pRequestID);
}

HRESULT CVarnel::GenerateSIT(const char16_t* Code, std::int32_t* pRequestID) {
    const std::string code = NarrowToAnsi(WideView(Code));
    const SitRow* row = FindSit(code);
    if (!row) {
        const Lock lock(m_mutex);
        if (m_state == kIdle) return Fail(E_FAIL, ErrorText::kNotGenerating);
        const std::string text = "Unknown special information tone " + Quoted(code) + ": the codes are " + SitCodes() + ".";
        return Fail(E_INVALIDARG, text.c_str());
    }
    TonePattern pattern;
    std::string error;
    ParseTonePattern(SitPattern(*row), pattern, error);
    return GenerateSIT(*row, pattern, pRequestID);
}

HRESULT CVarnel::GenerateSIT(const SitRow& Row, const TonePattern& Pattern, std::int32_t* pRequestID) {
    Lock lock(m_mutex);
    if (m_state == kIdle) return Fail(E_FAIL, ErrorText::kNotGenerating);
    // Its elements are played once: it ends after its three segments.
    const std::string label = Label("SIT", Row.code);
    return QueuePattern(lock, Pattern, std::numeric_limits<std::int32_t>::max(), label.c_str(), pRequestID);
}

HRESULT CVarnel::GenerateModemTone(std::int32_t Kind, std::int32_t DurationMs, std::int32_t* pRequestID) {
    Lock lock(m_mutex);
    if (m_state == kIdle) return Fail(E_FAIL, ErrorText::kNotGenerating);
    if (Kind < MT_CNG || Kind > MT_ANSAM_PR) return Fail(E_INVALIDARG, ErrorText::kModemTone);
    if (DurationMs <= 0) return Fail(E_INVALIDARG, ErrorText::kToneDuration);
    if (const HRESULT hr = CheckRenderable(); FAILED(hr)) return hr;
    const ModemToneSpec& spec = kModemTones[Kind];
    auto generator = NewGenerator<CGenPattern>();
    generator->Init(RequestFormat(), m_sampleRate, LinearAmplitude());
    if (generator->SetSteps(ModemToneSteps(spec, DurationMs), DurationMs, spec.depth) != 0) {
        return Fail(E_INVALIDARG, ErrorText::kInvalidParameter);
    }
    if (const HRESULT hr = ApplyLevelRule(*generator); FAILED(hr)) return hr;
    const std::string label = Label("Modem Tone", spec.name);
    const std::int32_t id = AddRequest(lock, std::move(generator), RT_ModemTone, label.c_str());
    if (pRequestID) *pRequestID = id;
    return S_OK;
}

}  // namespace Quorvex::VarnelNet
