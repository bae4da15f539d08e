// The signalling requests: Caller-ID in every standard, message waiting, and MF.

#include <memory>
#include <string>

#include "varnel/engine/CVarnel.h"
#include "varnel/engine/ErrorTexts.h"
#include "varnel/engine/SettingsCatalog.h"
#include "varnel/generators/CGenCallerID.h"
#include "varnel/generators/CGenMF.h"
#include "varnel/platform/TextConversion.h"

namespace Quorvex::VarnelNet {

namespace {

// A narrow copy of a text the Caller-ID builders read; null stays null.
struct NarrowText {
    explicit NarrowText(const char16_t* text) : isNull(text == nullptr), bytes(NarrowToAnsi(WideView(text))) {}
    const char* get() const { return isNull ? nullptr : bytes.c_str(); }
    bool isNull;
    std::string bytes;
};

bool IsAbsence(std::int32_t value) { return value == 0 || value == 'O' || value == 'P'; }

// The log label of a Caller-ID request: "Caller-ID" for Bell 202 between rings, as always.
std::string CallerIdLabel(const char* what, CallerIdStandard standard, CallerIdAlert alert) {
    if (standard == CallerIdStandard::Bell202 && alert == CallerIdAlert::None) return what;
    std::string label = std::string(what) + " (" + std::string(CallerIdPlan::Name(standard));
    if (alert == CallerIdAlert::Dtas) label += ", DT-AS";
    if (alert == CallerIdAlert::OffHook) label += ", call waiting";
    return label + ")";
}

}  // namespace

HRESULT CVarnel::get_CID_Standard(std::int32_t* pVal) { return Get(pVal, m_cidStandard); }

HRESULT CVarnel::set_CID_Standard(std::int32_t newVal) {
    return Store(SettingsCatalog::kCidStandard, newVal, m_cidStandard);
}

HRESULT CVarnel::get_CID_Alert(std::int32_t* pVal) { return Get(pVal, m_cidAlert); }

HRESULT CVarnel::set_CID_Alert(std::int32_t newVal) { return Store(SettingsCatalog::kCidAlert, newVal, m_cidAlert); }

HRESULT CVarnel::GenerateCallerIDEx(const char16_t* Number, const char16_t* Name, const char16_t* DateTime,
                                    std::int32_t NumberAbsence, std::int32_t NameAbsence, std::int32_t* pRequestID) {
    return QueueCallerID(Number, Name, DateTime, NumberAbsence, NameAbsence, false, pRequestID);
}

HRESULT CVarnel::QueueCallerID(const char16_t* Number, const char16_t* Name, const char16_t* DateTime,
                               std::int32_t NumberAbsence, std::int32_t NameAbsence, bool legacy,
                               std::int32_t* pRequestID) {
    Lock lock(m_mutex);
    if (m_state == kIdle) return Fail(E_FAIL, ErrorText::kNotGenerating);
    if (const HRESULT hr = CheckRenderable(); FAILED(hr)) return hr;
    const auto standard = static_cast<CallerIdStandard>(m_cidStandard);
    const auto alert = static_cast<CallerIdAlert>(m_cidAlert);
    const bool bell = standard == CallerIdStandard::Bell202;
    if (const std::string refusal = CallerIdPlan::CheckAlert(standard, alert); !refusal.empty()) {
        return Fail(E_INVALIDARG, refusal.c_str());
    }
    auto callerId = NewGenerator<CGenCallerID>();
    callerId->Init(RequestFormat(), m_sampleRate, LinearAmplitude());
    callerId->SetBitTiming(m_cidBitTiming == CBT_Exact ? BitTiming::Exact : BitTiming::WholeSamples);
    callerId->SetStandard(standard, alert);
    if (callerId->MinimumSamplesPerBit() == 0) return Fail(E_INVALIDARG, ErrorText::kBitWithoutSamples);
    if (m_cidFormat < CID_SDMF || m_cidFormat > CID_RAW) {
        return Fail(E_INVALIDARG, legacy && bell ? ErrorText::kCallerIdParameters : ErrorText::kCidFormatUnknown);
    }
    if (!IsAbsence(NumberAbsence) || !IsAbsence(NameAbsence)) return Fail(E_INVALIDARG, ErrorText::kAbsence);

    const NarrowText number(Number);
    const NarrowText name(Name);
    const NarrowText dateTime(DateTime);
    CallerIdContent content;
    content.number = number.get();
    content.name = name.get();
    content.dateTime = dateTime.get();
    content.numberAbsence = static_cast<char>(NumberAbsence);
    content.nameAbsence = static_cast<char>(NameAbsence);
    const std::string refusal = callerId->BuildCallerID(static_cast<CallerIdLayout>(m_cidFormat), content);
    if (!refusal.empty()) {
        return Fail(E_INVALIDARG, legacy && bell ? ErrorText::kCallerIdParameters : refusal.c_str());
    }
    if (const HRESULT hr = ApplyLevelRule(*callerId); FAILED(hr)) return hr;
    const std::string label = CallerIdLabel("Caller-ID", standard, alert);
    const std::int32_t id = AddRequest(lock, std::move(callerId), RT_CallerID, label.c_str());
    if (pRequestID) *pRequestID = id;
    return S_OK;
}

HRESULT CVarnel::GenerateVMWI(std::int32_t Active, std::int32_t* pRequestID) {
    Lock lock(m_mutex);
    if (m_state == kIdle) return Fail(E_FAIL, ErrorText::kNotGenerating);
    if (const HRESULT hr = CheckRenderable(); FAILED(hr)) return hr;
    const auto standard = static_cast<CallerIdStandard>(m_cidStandard);
    const auto alert = static_cast<CallerIdAlert>(m_cidAlert);
    if (const std::string refusal = CallerIdPlan::CheckAlert(standard, alert); !refusal.empty()) {
        return Fail(E_INVALIDARG, refusal.c_str());
    }
    auto callerId = NewGenerator<CGenCallerID>();
    callerId->Init(RequestFormat(), m_sampleRate, LinearAmplitude());
    callerId->SetBitTiming(m_cidBitTiming == CBT_Exact ? BitTiming::Exact : BitTiming::WholeSamples);
    callerId->SetStandard(standard, alert);
    if (callerId->MinimumSamplesPerBit() == 0) return Fail(E_INVALIDARG, ErrorText::kBitWithoutSamples);
    if (m_cidFormat < CID_SDMF || m_cidFormat > CID_RAW) return Fail(E_INVALIDARG, ErrorText::kCidFormatUnknown);
    const std::string refusal = callerId->BuildVMWI(static_cast<CallerIdLayout>(m_cidFormat), Active != 0);
    if (!refusal.empty()) return Fail(E_INVALIDARG, refusal.c_str());
    if (const HRESULT hr = ApplyLevelRule(*callerId); FAILED(hr)) return hr;
    const std::string label = CallerIdLabel(Active != 0 ? "Message waiting on" : "Message waiting off", standard, alert);
    const std::int32_t id = AddRequest(lock, std::move(callerId), RT_CallerID, label.c_str());
    if (pRequestID) *pRequestID = id;
    return S_OK;
}

HRESULT CVarnel::GenerateMF(const char16_t* Keys, std::int32_t* pRequestID) {
    return QueueMF(Keys, static_cast<int>(MfSystem::R1), pRequestID);
}

HRESULT CVarnel::GenerateR2MF(const char16_t* Signals, std::int32_t Backward, std::int32_t* pRequestID) {
    const MfSystem system = Backward != 0 ? MfSystem::R2Backward : MfSystem::R2Forward;
    return QueueMF(Signals, static_cast<int>(system), pRequestID);
}

HRESULT CVarnel::QueueMF(const char16_t* Signals, int system, std::int32_t* pRequestID) {
    Lock lock(m_mutex);
    if (m_state == kIdle) return Fail(E_FAIL, ErrorText::kNotGenerating);
    if (!Signals || !*Signals) return Fail(E_INVALIDARG, ErrorText::kSignalsEmpty);
    if (const HRESULT hr = CheckRenderable(); FAILED(hr)) return hr;
    const auto mf = static_cast<MfSystem>(system);
    auto generator = NewGenerator<CGenMF>();
    generator->Init(RequestFormat(), m_sampleRate, LinearAmplitude());
    const std::string refusal = generator->SetSignals(mf, NarrowToAnsi(WideView(Signals)));
    if (!refusal.empty()) return Fail(E_INVALIDARG, refusal.c_str());
    if (const HRESULT hr = ApplyLevelRule(*generator); FAILED(hr)) return hr;
    const char* label = mf == MfSystem::R1 ? "MF (R1)" : mf == MfSystem::R2Forward ? "R2 MF forward" : "R2 MF backward";
    const std::int32_t id = AddRequest(lock, std::move(generator), RT_CustomTone, label);
    if (pRequestID) *pRequestID = id;
    return S_OK;
}

}  // namespace Quorvex::VarnelNet
