#include "varnel/engine/CVarnel.h"

#include <cmath>
#include <cstdarg>

#include "varnel/engine/DebugLog.h"
#include "varnel/engine/ErrorTexts.h"
#include "varnel/platform/TextConversion.h"
#include "varnel/platform/Version.h"

namespace Quorvex::VarnelNet {

namespace {

// Returns S_OK after storing value through an out-parameter that may be null.
template <class T>
HRESULT Give(T* out, T value) {
    if (!out) return E_INVALIDARG;
    *out = value;
    return S_OK;
}

}  // namespace

CVarnel::CVarnel() = default;

// Discards queued requests without rendering or notifying; an open WAV file is closed with the
// data written so far.
CVarnel::~CVarnel() = default;

void CVarnel::SetCallBack(DataCallback callback) { m_callback = std::move(callback); }

std::string CVarnel::GetErrMsg() const { return m_errorMessage; }

HRESULT CVarnel::Fail(HRESULT code, const char* message) {
    m_errorMessage = message;
    return code;
}

std::int32_t CVarnel::Notify(std::int32_t msg, std::uint64_t wparam, std::int64_t lparam) {
    return m_callback ? m_callback(nullptr, msg, wparam, lparam) : 0;
}

void CVarnel::DebugLog(std::int32_t refCode, const char* format, ...) {
    char line[kDebugLineSize];
    std::va_list args;
    va_start(args, format);
    const std::size_t length = FormatDebugLine(line, GetLocalTime(), format, args);
    va_end(args);
    char16_t wide[kDebugLineSize];
    WidenFromAnsi(std::string_view(line, length), wide, kDebugLineSize);
    Notify(MSG_DEBUG_TEXT, reinterpret_cast<std::uintptr_t>(wide), refCode);
}

HRESULT CVarnel::get_Version(std::string* pVal) { return Give(pVal, std::string(kVarnelVersion)); }

HRESULT CVarnel::get_TTY_Mode(std::int32_t* pVal) { return Give(pVal, m_ttyMode); }

HRESULT CVarnel::set_TTY_Mode(std::int32_t newVal) {
    if (static_cast<std::uint32_t>(newVal) > 4) return E_INVALIDARG;
    m_ttyMode = newVal;
    return S_OK;
}

HRESULT CVarnel::get_TTY_Rate(std::int32_t* pVal) { return Give(pVal, m_ttyRate); }

HRESULT CVarnel::set_TTY_Rate(std::int32_t newVal) {
    m_ttyRate = newVal;
    return S_OK;
}

HRESULT CVarnel::get_Amplitude(float* pVal) { return Give(pVal, m_amplitude); }

HRESULT CVarnel::set_Amplitude(float newVal) {
    if (std::isnan(newVal)) return Fail(E_INVALIDARG, ErrorText::kAmplitudeNaN);
    // The level never goes above full scale: a positive value stands for -1 dB.
    m_amplitude = newVal > 0.0f ? -1.0f : newVal;
    return S_OK;
}

HRESULT CVarnel::get_DTMF_PauseTime(std::int32_t* pVal) { return Give(pVal, m_dtmfPauseTime); }

HRESULT CVarnel::set_DTMF_PauseTime(std::int32_t newVal) {
    m_dtmfPauseTime = newVal;
    return S_OK;
}

HRESULT CVarnel::get_DTMF_BreakTime(std::int32_t* pVal) { return Give(pVal, m_dtmfBreakTime); }

HRESULT CVarnel::set_DTMF_BreakTime(std::int32_t newVal) {
    m_dtmfBreakTime = newVal;
    return S_OK;
}

HRESULT CVarnel::get_DTMF_ToneTime(std::int32_t* pVal) { return Give(pVal, m_dtmfToneTime); }

HRESULT CVarnel::set_DTMF_ToneTime(std::int32_t newVal) {
    m_dtmfToneTime = newVal;
    return S_OK;
}

HRESULT CVarnel::get_BitsPerSample(std::int32_t* pVal) { return Give(pVal, m_bitsPerSample); }

HRESULT CVarnel::set_BitsPerSample(std::int32_t newVal) {
    if (newVal != 8 && newVal != 16) return E_INVALIDARG;
    m_bitsPerSample = newVal;
    return S_OK;
}

HRESULT CVarnel::get_SampleRate(std::int32_t* pVal) {
    // The float nearest to the largest rates is 2^31, one past what an int32 holds.
    const std::int32_t rate = m_sampleRate >= 2147483648.0f ? std::int32_t{2147483647}
                                                            : static_cast<std::int32_t>(m_sampleRate);
    return Give(pVal, rate);
}

HRESULT CVarnel::set_SampleRate(std::int32_t newVal) {
    m_sampleRate = static_cast<float>(newVal);
    return S_OK;
}

HRESULT CVarnel::get_CID_BitTiming(std::int32_t* pVal) { return Give(pVal, m_cidBitTiming); }

HRESULT CVarnel::set_CID_BitTiming(std::int32_t newVal) {
    if (newVal != CBT_WholeSamples && newVal != CBT_Exact) return E_INVALIDARG;
    m_cidBitTiming = newVal;
    return S_OK;
}

HRESULT CVarnel::get_TTY_FigsAfterSpace(std::int32_t* pVal) { return Give(pVal, m_ttyFigsAfterSpace); }

HRESULT CVarnel::set_TTY_FigsAfterSpace(std::int32_t newVal) {
    if (newVal != 0 && newVal != 1) return E_INVALIDARG;
    m_ttyFigsAfterSpace = newVal;
    return S_OK;
}

HRESULT CVarnel::get_CID_Format(std::int32_t* pVal) { return Give(pVal, m_cidFormat); }

HRESULT CVarnel::set_CID_Format(std::int32_t newVal) {
    m_cidFormat = newVal;
    return S_OK;
}

}  // namespace Quorvex::VarnelNet
