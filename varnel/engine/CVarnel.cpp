#include "varnel/engine/CVarnel.h"

#include <cstdarg>
#include <utility>

#include "varnel/engine/DebugLog.h"
#include "varnel/engine/ErrorTexts.h"
#include "varnel/engine/FailureRecord.h"
#include "varnel/engine/OutputFormat.h"
#include "varnel/platform/TextConversion.h"
#include "varnel/platform/Version.h"
#include "varnel/wave/CSoundFile.h"

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

CVarnel::CVarnel()
    : m_cidFormat(SettingsCatalog::kCidFormat.defaultValue.integer),
      m_sampleRate(static_cast<float>(SettingsCatalog::kSampleRate.defaultValue.integer)),
      m_bitsPerSample(SettingsCatalog::kBitsPerSample.defaultValue.integer),
      m_dtmfBreakTime(SettingsCatalog::kDtmfBreakTime.defaultValue.integer),
      m_dtmfToneTime(SettingsCatalog::kDtmfToneTime.defaultValue.integer),
      m_dtmfPauseTime(SettingsCatalog::kDtmfPauseTime.defaultValue.integer),
      m_amplitude(SettingsCatalog::kAmplitude.defaultValue.number),
      m_ttyRate(SettingsCatalog::kTtyRate.defaultValue.integer),
      m_ttyMode(SettingsCatalog::kTtyMode.defaultValue.integer),
      m_cidBitTiming(SettingsCatalog::kCidBitTiming.defaultValue.integer),
      m_ttyFigsAfterSpace(SettingsCatalog::kTtyFigsAfterSpace.defaultValue.integer),
      m_encoding(SettingsCatalog::kEncoding.defaultValue.integer),
      m_cidStandard(SettingsCatalog::kCidStandard.defaultValue.integer),
      m_cidAlert(SettingsCatalog::kCidAlert.defaultValue.integer),
      m_dtmfTwist(SettingsCatalog::kDtmfTwist.defaultValue.number),
      m_toneModulationDepth(SettingsCatalog::kToneModulationDepth.defaultValue.integer),
      m_toneLevelPerTone(SettingsCatalog::kToneLevelPerTone.defaultValue.integer) {}

// Gives the message window back, then discards queued requests without rendering or
// notifying; an open WAV file is closed with the data written so far.
CVarnel::~CVarnel() { SetMsgWin(nullptr); }

void CVarnel::SetCallBack(DataCallback callback) {
    const Lock lock(m_mutex);
    m_callback = std::move(callback);
}

std::string CVarnel::GetErrMsg() const {
    const Lock lock(m_mutex);
    return m_errorMessage;
}

HRESULT CVarnel::Fail(HRESULT code, const char* message) {
    m_errorMessage = message;
    FailureRecord::Note(message);
    return code;
}

HRESULT CVarnel::Admit(const SettingSpec& setting, std::int32_t newVal) {
    if (setting.format && m_state == kToFile) return Fail(E_FAIL, ErrorText::kFormatFixed);
    if (SettingsCatalog::Accepts(setting, newVal)) return S_OK;
    return setting.refusal ? Fail(E_INVALIDARG, setting.refusal) : E_INVALIDARG;
}

HRESULT CVarnel::Admit(const SettingSpec& setting, float newVal) {
    if (setting.format && m_state == kToFile) return Fail(E_FAIL, ErrorText::kFormatFixed);
    if (SettingsCatalog::Accepts(setting, newVal)) return S_OK;
    return setting.refusal ? Fail(E_INVALIDARG, setting.refusal) : E_INVALIDARG;
}

SampleFormat CVarnel::RequestFormat() const { return OutputSampleFormat(m_encoding, m_bitsPerSample); }

// Hands a notification to the host with the lock released, so that its handler may call back
// in. With a message window, completions and diagnostic lines are posted to its thread: the
// engine never waits for that thread, which may itself be waiting for a pull in progress (a
// destination being unbound from a handler). Lines wait in a queue of their own until then.
void CVarnel::Deliver(Lock& lock, std::int32_t msg, std::uint64_t wparam, std::int64_t lparam) {
    const HWND window = (msg == MSG_STREAM_FORMAT) ? nullptr : m_hwnd;
    if (window) {
        if (msg == MSG_DEBUG_TEXT) {
            m_pendingLines.emplace_back(reinterpret_cast<const char16_t*>(wparam));
            wparam = 0;
        }
        PostMessageA(window, static_cast<std::uint32_t>(msg), wparam, lparam);
        return;
    }
    const DataCallback callback = m_callback;
    lock.unlock();
    if (callback) callback(nullptr, msg, wparam, lparam);
    lock.lock();
}

void CVarnel::DebugLog(Lock& lock, std::int32_t refCode, const char* format, ...) {
    char line[kDebugLineSize];
    std::va_list args;
    va_start(args, format);
    const std::size_t length = FormatDebugLine(line, GetLocalTime(), format, args);
    va_end(args);
    char16_t wide[kDebugLineSize];
    WidenFromAnsi(std::string_view(line, length), wide, kDebugLineSize);
    Deliver(lock, MSG_DEBUG_TEXT, reinterpret_cast<std::uintptr_t>(wide), refCode);
}

HRESULT CVarnel::SetMsgWin(HWND hwnd) {
    if (!hwnd) {
        Lock lock(m_mutex);
        const HWND window = std::exchange(m_hwnd, nullptr);
        const WNDPROC saved = std::exchange(m_savedWindowProc, nullptr);
        const std::intptr_t savedUserData = std::exchange(m_savedUserData, 0);
        m_pendingLines.clear();
        lock.unlock();
        // Waits for a message the window thread is handling, so that none reaches this engine
        // afterwards.
        if (window && saved) {
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<std::intptr_t>(saved));
            SetWindowLongPtrA(window, GWLP_USERDATA, savedUserData);
        }
        return E_FAIL;
    }
    const std::intptr_t previous = SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<std::intptr_t>(&MsgWinProc));
    if (previous == 0) return E_FAIL;
    // The window's own procedure keeps its user data; until the engine's reference is stored,
    // the engine's procedure passes nothing on.
    const std::intptr_t userData = SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<std::intptr_t>(this));
    const Lock lock(m_mutex);
    m_hwnd = hwnd;
    m_savedWindowProc = reinterpret_cast<WNDPROC>(previous);
    m_savedUserData = userData;
    return S_OK;
}

std::intptr_t CVarnel::MsgWinProc(HWND hwnd, std::uint32_t msg, std::uint64_t wparam, std::int64_t lparam) {
    auto* engine = reinterpret_cast<CVarnel*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!engine) return 0;
    Lock lock(engine->m_mutex);
    if (msg == MSG_DEBUG_TEXT) {
        if (engine->m_pendingLines.empty()) return 0;
        const std::u16string line = std::move(engine->m_pendingLines.front());
        engine->m_pendingLines.pop_front();
        const DataCallback callback = engine->m_callback;
        lock.unlock();
        if (callback) callback(nullptr, MSG_DEBUG_TEXT, reinterpret_cast<std::uintptr_t>(line.c_str()), lparam);
        return 0;
    }
    if (msg == MSG_REQUEST_DONE) {
        const DataCallback callback = engine->m_callback;
        lock.unlock();
        if (callback) callback(nullptr, MSG_REQUEST_DONE, wparam, lparam);
        return 0;
    }
    const WNDPROC saved = engine->m_savedWindowProc;
    lock.unlock();
    return saved ? CallWindowProcA(saved, hwnd, msg, wparam, lparam) : 0;
}

HRESULT CVarnel::get_Version(std::string* pVal) { return Give(pVal, std::string(kVarnelVersion)); }

HRESULT CVarnel::get_TTY_Mode(std::int32_t* pVal) { return Get(pVal, m_ttyMode); }

HRESULT CVarnel::set_TTY_Mode(std::int32_t newVal) { return Store(SettingsCatalog::kTtyMode, newVal, m_ttyMode); }

HRESULT CVarnel::get_TTY_Rate(std::int32_t* pVal) { return Get(pVal, m_ttyRate); }

HRESULT CVarnel::set_TTY_Rate(std::int32_t newVal) { return Store(SettingsCatalog::kTtyRate, newVal, m_ttyRate); }

HRESULT CVarnel::get_Amplitude(float* pVal) { return Get(pVal, m_amplitude); }

// The level never goes above full scale: a positive value stands for -1 dB.
HRESULT CVarnel::set_Amplitude(float newVal) {
    return Store(SettingsCatalog::kAmplitude, newVal > 0.0f ? -1.0f : newVal, m_amplitude);
}

HRESULT CVarnel::get_DTMF_PauseTime(std::int32_t* pVal) { return Get(pVal, m_dtmfPauseTime); }

HRESULT CVarnel::set_DTMF_PauseTime(std::int32_t newVal) {
    return Store(SettingsCatalog::kDtmfPauseTime, newVal, m_dtmfPauseTime);
}

HRESULT CVarnel::get_DTMF_BreakTime(std::int32_t* pVal) { return Get(pVal, m_dtmfBreakTime); }

HRESULT CVarnel::set_DTMF_BreakTime(std::int32_t newVal) {
    return Store(SettingsCatalog::kDtmfBreakTime, newVal, m_dtmfBreakTime);
}

HRESULT CVarnel::get_DTMF_ToneTime(std::int32_t* pVal) { return Get(pVal, m_dtmfToneTime); }

HRESULT CVarnel::set_DTMF_ToneTime(std::int32_t newVal) {
    return Store(SettingsCatalog::kDtmfToneTime, newVal, m_dtmfToneTime);
}

HRESULT CVarnel::get_BitsPerSample(std::int32_t* pVal) { return Get(pVal, m_bitsPerSample); }

HRESULT CVarnel::set_BitsPerSample(std::int32_t newVal) {
    return Store(SettingsCatalog::kBitsPerSample, newVal, m_bitsPerSample);
}

// Every rate the setter admits is an integer the float holds exactly.
HRESULT CVarnel::get_SampleRate(std::int32_t* pVal) {
    const Lock lock(m_mutex);
    return Give(pVal, static_cast<std::int32_t>(m_sampleRate));
}

HRESULT CVarnel::set_SampleRate(std::int32_t newVal) {
    const Lock lock(m_mutex);
    const HRESULT admitted = Admit(SettingsCatalog::kSampleRate, newVal);
    if (SUCCEEDED(admitted)) m_sampleRate = static_cast<float>(newVal);
    return admitted;
}

HRESULT CVarnel::get_CID_BitTiming(std::int32_t* pVal) { return Get(pVal, m_cidBitTiming); }

HRESULT CVarnel::set_CID_BitTiming(std::int32_t newVal) {
    return Store(SettingsCatalog::kCidBitTiming, newVal, m_cidBitTiming);
}

HRESULT CVarnel::get_TTY_FigsAfterSpace(std::int32_t* pVal) { return Get(pVal, m_ttyFigsAfterSpace); }

HRESULT CVarnel::set_TTY_FigsAfterSpace(std::int32_t newVal) {
    return Store(SettingsCatalog::kTtyFigsAfterSpace, newVal, m_ttyFigsAfterSpace);
}

HRESULT CVarnel::get_Encoding(std::int32_t* pVal) { return Get(pVal, m_encoding); }

HRESULT CVarnel::set_Encoding(std::int32_t newVal) { return Store(SettingsCatalog::kEncoding, newVal, m_encoding); }

HRESULT CVarnel::get_DTMF_Twist(float* pVal) { return Get(pVal, m_dtmfTwist); }

HRESULT CVarnel::set_DTMF_Twist(float newVal) { return Store(SettingsCatalog::kDtmfTwist, newVal, m_dtmfTwist); }

HRESULT CVarnel::get_TONE_ModulationDepth(std::int32_t* pVal) { return Get(pVal, m_toneModulationDepth); }

HRESULT CVarnel::set_TONE_ModulationDepth(std::int32_t newVal) {
    return Store(SettingsCatalog::kToneModulationDepth, newVal, m_toneModulationDepth);
}

HRESULT CVarnel::get_TONE_LevelPerTone(std::int32_t* pVal) { return Get(pVal, m_toneLevelPerTone); }

HRESULT CVarnel::set_TONE_LevelPerTone(std::int32_t newVal) {
    return Store(SettingsCatalog::kToneLevelPerTone, newVal, m_toneLevelPerTone);
}

HRESULT CVarnel::get_CID_Format(std::int32_t* pVal) { return Get(pVal, m_cidFormat); }

HRESULT CVarnel::set_CID_Format(std::int32_t newVal) { return Store(SettingsCatalog::kCidFormat, newVal, m_cidFormat); }

}  // namespace Quorvex::VarnelNet
