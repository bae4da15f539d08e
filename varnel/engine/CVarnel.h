#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "varnel/engine/Enumerations.h"
#include "varnel/engine/RequestQueue.h"
#include "varnel/engine/SettingsCatalog.h"
#include "varnel/platform/Automation.h"
#include "varnel/platform/HResult.h"
#include "varnel/platform/MessageWindow.h"
#include "varnel/signal/SampleFormat.h"
#include "varnel/wave/CSoundBase.h"

namespace Quorvex::VarnelNet {

class CSoundFile;
struct TonePattern;
struct TonePlanRow;
struct SitRow;

// Receives the engine's notifications: (receiver, message, wparam, lparam) -> result.
using DataCallback = std::function<std::int32_t(void* receiver, std::int32_t msg,
                                                std::uint64_t wparam, std::int64_t lparam)>;

// Notification codes of the data callback.
constexpr std::int32_t MSG_DATA_REQUEST = 957;    // wparam: buffer, lparam: size
constexpr std::int32_t MSG_STREAM_FORMAT = 5120;  // wparam: WAVEFORMATEX*, lparam: 0
constexpr std::int32_t MSG_DEBUG_TEXT = 5122;     // wparam: const char16_t*, lparam: ref code
constexpr std::int32_t MSG_REQUEST_DONE = 5123;   // wparam: request ID, lparam: 0

// A queued request and the bytes it has still to render.
struct QueuedRequest {
    std::int32_t requestID;
    std::int64_t bytes;
};

// Generation states.
constexpr std::int32_t kIdle = 0;
constexpr std::int32_t kToFile = 1;
constexpr std::int32_t kToBufferStream = 2;

// The generation engine: settings, the request queue and the pull renderer. Requests are only
// queued by the Generate operations; audio is rendered when pulled with ExecRequest, or into
// the WAV file by GenerateEnd.
class CVarnel {
public:
    CVarnel();
    virtual ~CVarnel();
    CVarnel(const CVarnel&) = delete;
    CVarnel& operator=(const CVarnel&) = delete;

    void SetCallBack(DataCallback callback);
    std::string GetErrMsg() const;
    // Takes over the window's procedure, so that diagnostic lines and completions reach the
    // host on the window's thread; nullptr gives the window its procedure back.
    HRESULT SetMsgWin(HWND hwnd);
    // Renders up to size bytes of queued audio into buffer. Returns the bytes written, 0 when
    // nothing is queued or size is 100 or less, -1 when not generating.
    std::int32_t ExecRequest(std::uint8_t* buffer, std::int32_t size);
    // The bytes of audio queued and not yet rendered, known without rendering them.
    std::int64_t QueuedBytes() const;
    // Every queued request in order, with its bytes still to render.
    std::vector<QueuedRequest> QueuedRequests() const;
    // The sink receives the symbols of every request as rendering reaches it (null: none are
    // reported, and nothing is spent on them). It must outlive the rendering it watches.
    void SetSymbolSink(SymbolSink* sink);
    // The deviation every request queued from now on renders with (SignalDeviation.h); the
    // default is none.
    void SetSignalDeviation(const SignalDeviation& deviation);
    // ExecRequest for pullers of a buffer stream: -1 unless a buffer-stream generation runs, so
    // that a pull never takes the audio a file generation writes.
    std::int32_t ExecStreamRequest(std::uint8_t* buffer, std::int32_t size);
    // Ends the generation without rendering or notifying, for an owner that is going away:
    // queued requests are discarded, a WAV file is closed with the data written so far, and a
    // render in progress (a handler may be calling this) stops at its next notification.
    void Discard();

    // Queues a TTY request for the bytes of data up to its first zero byte (and within length
    // bytes when length > 0), without code-page conversion and without looking at the
    // generation state. Returns the request ID, or -1 when the sample rate cannot carry a TTY
    // bit (the error text says why).
    std::int32_t GenerateTTY2(const char* data, std::int32_t length);

    virtual HRESULT get_Version(std::string* pVal);
    // Queues TTY text given as a BSTR (narrowed to Windows-1252) or a SAFEARRAY of VT_UI1 bytes.
    virtual HRESULT GenerateTTYEx(const VARIANT& Data, std::int32_t* pRequestID);
    virtual HRESULT GenerateTTY(const char16_t* Text, std::int32_t* pRequestID);
    virtual HRESULT GenerateTone(std::uint32_t OnTime, std::uint32_t OffTime, float Frequency1,
                                 float Frequency2, float Frequency3, std::int32_t* pRequestID);
    virtual HRESULT GenerateSilence(float Duration, std::int32_t* pRequestID);
    virtual HRESULT get_TTY_Mode(std::int32_t* pVal);
    virtual HRESULT set_TTY_Mode(std::int32_t newVal);
    virtual HRESULT get_TTY_Rate(std::int32_t* pVal);
    virtual HRESULT set_TTY_Rate(std::int32_t newVal);
    virtual HRESULT get_Amplitude(float* pVal);
    virtual HRESULT set_Amplitude(float newVal);
    virtual HRESULT get_DTMF_PauseTime(std::int32_t* pVal);
    virtual HRESULT set_DTMF_PauseTime(std::int32_t newVal);
    virtual HRESULT get_DTMF_BreakTime(std::int32_t* pVal);
    virtual HRESULT set_DTMF_BreakTime(std::int32_t newVal);
    virtual HRESULT get_DTMF_ToneTime(std::int32_t* pVal);
    virtual HRESULT set_DTMF_ToneTime(std::int32_t newVal);
    virtual HRESULT GenerateDTMFs(const char16_t* Keys, std::int32_t* pRequestID);
    virtual HRESULT GenerateEnd();
    // nullptr or u"" starts a buffer-stream generation; a name starts a WAV file generation.
    virtual HRESULT GenerateBegin(const char16_t* OutFileName);
    virtual HRESULT get_BitsPerSample(std::int32_t* pVal);
    virtual HRESULT set_BitsPerSample(std::int32_t newVal);
    virtual HRESULT get_SampleRate(std::int32_t* pVal);
    virtual HRESULT set_SampleRate(std::int32_t newVal);
    // Renders queued audio into a VARIANT holding a one-byte-element SAFEARRAY (buffer stream only).
    virtual HRESULT FetchWaveStream(const VARIANT& Data, std::int32_t* pBytes);
    virtual HRESULT get_CID_Format(std::int32_t* pVal);
    virtual HRESULT set_CID_Format(std::int32_t newVal);
    virtual HRESULT GenerateCallerID(const char16_t* Number, const char16_t* Name,
                                     const char16_t* DataTime, std::int32_t* pRequestID);
    // Queues one custom-tone request per step of e.g. "350|440@1000,0@500".
    virtual HRESULT GenerateTones(const char16_t* Tones);
    // A CID_BIT_TIMING value: CBT_WholeSamples (default) or CBT_Exact.
    virtual HRESULT get_CID_BitTiming(std::int32_t* pVal);
    virtual HRESULT set_CID_BitTiming(std::int32_t newVal);
    // 1: in Baudot, the first figure after a space is preceded by FIGS even when the shift is
    // already figures. 0 (default): shifts only where letters and figures change.
    virtual HRESULT get_TTY_FigsAfterSpace(std::int32_t* pVal);
    virtual HRESULT set_TTY_FigsAfterSpace(std::int32_t newVal);
    // An ENCODING_TYPE value: ENC_PCM (default) writes BitsPerSample-bit PCM; ENC_MuLaw and
    // ENC_ALaw write one G.711 byte a sample, whatever BitsPerSample says.
    virtual HRESULT get_Encoding(std::int32_t* pVal);
    virtual HRESULT set_Encoding(std::int32_t newVal);
    // A CID_STANDARD value: the dialect of GenerateCallerID, GenerateCallerIDEx and GenerateVMWI
    // (CS_Bell202 by default).
    virtual HRESULT get_CID_Standard(std::int32_t* pVal);
    virtual HRESULT set_CID_Standard(std::int32_t newVal);
    // A CID_ALERT value: what goes before the Caller-ID data (CA_None by default). A request
    // refuses an alert its standard does not define.
    virtual HRESULT get_CID_Alert(std::int32_t* pVal);
    virtual HRESULT set_CID_Alert(std::int32_t newVal);
    // GenerateCallerID with absence reasons: 0, or 'O' (unavailable) or 'P' (private) in place
    // of the number or the name.
    virtual HRESULT GenerateCallerIDEx(const char16_t* Number, const char16_t* Name, const char16_t* DateTime,
                                       std::int32_t NumberAbsence, std::int32_t NameAbsence,
                                       std::int32_t* pRequestID);
    // Message waiting on (Active not 0) or off, in the Caller-ID standard and layout set.
    virtual HRESULT GenerateVMWI(std::int32_t Active, std::int32_t* pRequestID);
    // R1 (Bell MF) signals: the digits 0-9, KP (* or K), ST (# or S), and A, B, C for the other
    // end-of-pulsing signals.
    virtual HRESULT GenerateMF(const char16_t* Keys, std::int32_t* pRequestID);
    // R2 signals 1-9, 0 (10) and B-F (11-15): forward, or backward when Backward is not 0.
    virtual HRESULT GenerateR2MF(const char16_t* Signals, std::int32_t Backward, std::int32_t* pRequestID);
    // Queues a tone pattern in the notation of varnel/signal/TonePattern.h, e.g.
    // "400/375,0/375", for DurationMs: its repeating elements repeat and are cut at DurationMs; a
    // pattern of only ! elements ends when it ends. F*M tones are modulated at
    // TONE_ModulationDepth. A malformed pattern is refused with a text naming the bad element.
    virtual HRESULT GeneratePattern(const char16_t* Pattern, std::int32_t DurationMs, std::int32_t* pRequestID);
    // Queues a call-progress tone of the built-in table, by ISO country code ("uk" and "gb" both
    // name the United Kingdom) and tone name (dial, busy, ringback, congestion, callwaiting,
    // info), as GeneratePattern does. Unknown ones are refused with a text listing what exists.
    virtual HRESULT GenerateTonePlan(const char16_t* Country, const char16_t* Tone, std::int32_t DurationMs,
                                     std::int32_t* pRequestID);
    // Queues a special information tone: nc, ic, vc, ro (North American codes) or itu.
    virtual HRESULT GenerateSIT(const char16_t* Code, std::int32_t* pRequestID);
    // The three operations above with their pattern already parsed, for front ends that parse
    // once (the request language): a pattern, a row of the tone plans or of the SITs.
    HRESULT GeneratePattern(const TonePattern& Pattern, std::int32_t DurationMs, std::int32_t* pRequestID);
    HRESULT GenerateTonePlan(const TonePlanRow& Row, const TonePattern& Pattern, std::int32_t DurationMs,
                             std::int32_t* pRequestID);
    HRESULT GenerateSIT(const SitRow& Row, const TonePattern& Pattern, std::int32_t* pRequestID);
    // Queues a MODEM_TONE for DurationMs.
    virtual HRESULT GenerateModemTone(std::int32_t Kind, std::int32_t DurationMs, std::int32_t* pRequestID);
    // The DTMF high-group tone's level above the low group's, in dB (-20 to 20); the low group
    // keeps the level set. 0 (default) keeps both at the same level.
    virtual HRESULT get_DTMF_Twist(float* pVal);
    virtual HRESULT set_DTMF_Twist(float newVal);
    // The depth of F*M tones in percent (0 to 100, default 90).
    virtual HRESULT get_TONE_ModulationDepth(std::int32_t* pVal);
    virtual HRESULT set_TONE_ModulationDepth(std::int32_t newVal);
    // 1: Amplitude is the level of every tone, whatever sounds beside it (DTMF's high group at
    // Amplitude plus the twist); a request whose tones together would pass full scale is then
    // refused. 0 (default): Amplitude is the level of the mean of the tones sounding together.
    virtual HRESULT get_TONE_LevelPerTone(std::int32_t* pVal);
    virtual HRESULT set_TONE_LevelPerTone(std::int32_t newVal);

private:
    // Every operation holds this lock, and releases it only to hand a notification to the host
    // (Deliver), whose handler may call back in from this or the window's thread.
    using Lock = std::unique_lock<std::mutex>;

    static std::intptr_t MsgWinProc(HWND hwnd, std::uint32_t msg, std::uint64_t wparam, std::int64_t lparam);

    // Reads a setting under the lock into an out-parameter that may be null.
    template <class T>
    HRESULT Get(T* out, const T& setting) const {
        const Lock lock(m_mutex);
        if (!out) return E_INVALIDARG;
        *out = setting;
        return S_OK;
    }
    bool IsGeneratingToBufferStream();
    // Checks a new value of the setting (the lock held): S_OK, or the failure to return, with
    // its text stored. The output format is fixed while a file generation is open.
    HRESULT Admit(const SettingSpec& setting, std::int32_t newVal);
    HRESULT Admit(const SettingSpec& setting, float newVal);
    template <class T>
    HRESULT Store(const SettingSpec& setting, T newVal, T& stored) {
        const Lock lock(m_mutex);
        const HRESULT admitted = Admit(setting, newVal);
        if (SUCCEEDED(admitted)) stored = newVal;
        return admitted;
    }
    // Stores the text (noting it for the calling thread's FailureRecord) and returns code; Fail
    // with the lock held, Refuse without.
    HRESULT Fail(HRESULT code, const char* message);
    HRESULT Refuse(HRESULT code, const char* message);
    void Deliver(Lock& lock, std::int32_t msg, std::uint64_t wparam, std::int64_t lparam);
    void DebugLog(Lock& lock, std::int32_t refCode, const char* format, ...) __attribute__((format(printf, 4, 5)));
    std::int32_t Render(Lock& lock, std::uint8_t* buffer, std::int32_t size);

    // Ends the current generation: everything that captured the old generation sees it change.
    void NewGeneration(std::int32_t state);
    WAVEFORMATEX BuildFormat() const;
    HRESULT BeginFile(Lock& lock, std::u16string_view name);
    void BeginBufferStream(Lock& lock);

    // A generator that will render with the deviation set.
    template <class Generator>
    std::unique_ptr<Generator> NewGenerator() const {
        auto generator = std::make_unique<Generator>();
        generator->Deviate(m_deviation);
        return generator;
    }
    std::int32_t AddRequest(Lock& lock, std::unique_ptr<CGenBase> generator, REQUEST_TYPE type);
    std::int32_t AddRequest(Lock& lock, std::unique_ptr<CGenBase> generator, REQUEST_TYPE type,
                            const char* label);
    HRESULT QueueTTY(Lock& lock, const char* text, std::int32_t* pRequestID);
    // The Caller-ID requests. `legacy`: GenerateCallerID, which keeps its one text for every
    // refusal of a Bell 202 message.
    HRESULT QueueCallerID(const char16_t* Number, const char16_t* Name, const char16_t* DateTime,
                          std::int32_t NumberAbsence, std::int32_t NameAbsence, bool legacy,
                          std::int32_t* pRequestID);
    HRESULT QueueMF(const char16_t* Signals, int system, std::int32_t* pRequestID);
    // Queues a parsed pattern (the generation state already checked).
    HRESULT QueuePattern(Lock& lock, const TonePattern& pattern, std::int64_t durationMs, const char* label,
                         std::int32_t* pRequestID);
    // The settings check shared by the request operations; S_OK or the failure to return.
    HRESULT CheckRenderable();
    float LinearAmplitude() const;
    // Gives a request's generator the level rule of TONE_LevelPerTone; with the level per tone,
    // refuses one whose tones together would pass full scale. S_OK or the failure to return.
    HRESULT ApplyLevelRule(CGenBase& generator);
    // How the requests write their samples: the encoding, and for PCM the bits per sample.
    SampleFormat RequestFormat() const;

    // The settings start at the catalog's defaults.
    std::int32_t m_cidFormat;
    float m_sampleRate;
    std::int32_t m_bitsPerSample;
    std::int32_t m_dtmfBreakTime;
    std::int32_t m_dtmfToneTime;
    std::int32_t m_dtmfPauseTime;
    float m_amplitude;
    std::unique_ptr<CSoundFile> m_pWaveFile;
    std::int32_t m_state = kIdle;
    RequestQueue m_queue;
    std::int32_t m_nextRequestID = 0;
    std::int32_t m_ttyRate;
    std::int32_t m_ttyMode;
    std::int32_t m_ttyShiftState = -1;
    std::int32_t m_cidBitTiming;
    std::int32_t m_ttyFigsAfterSpace;
    std::int32_t m_encoding;
    std::int32_t m_cidStandard;
    std::int32_t m_cidAlert;
    float m_dtmfTwist;
    std::int32_t m_toneModulationDepth;
    std::int32_t m_toneLevelPerTone;
    std::string m_errorMessage;
    DataCallback m_callback;
    HWND m_hwnd = nullptr;
    WNDPROC m_savedWindowProc = nullptr;
    std::intptr_t m_savedUserData = 0;
    std::deque<std::u16string> m_pendingLines;  // diagnostic lines posted to the window
    mutable std::mutex m_mutex;
    // Counts generations, so that rendering notices when a notification handler has ended or
    // restarted the generation it was rendering.
    std::uint64_t m_generation = 0;
    SymbolSink* m_symbolSink = nullptr;
    SignalDeviation m_deviation;
};

}  // namespace Quorvex::VarnelNet
