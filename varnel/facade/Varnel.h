#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "varnel/engine/CVarnel.h"
#include "varnel/engine/Enumerations.h"
#include "varnel/engine/SettingsCatalog.h"
#include "varnel/facade/CAudioDataSource.h"
#include "varnel/facade/Component.h"
#include "varnel/facade/Delegate.h"
#include "varnel/facade/EventArgs.h"
#include "varnel/facade/Exceptions.h"
#include "varnel/script/Request.h"

namespace Quorvex::VarnelNet {

// Holds the component's data callback for as long as the component lives; its address is the
// Receiver a destination passes back.
struct Managed_DataCB_Delegate {
    DataCallback _Delegate;
};

class FailureRecord;

// The telephony signal component: settings, Generate requests and the two events, in front of
// one engine. Texts are UTF-8. A refused call throws ArgumentException (E_INVALIDARG) or
// COMException (E_FAIL) whose text is the reason for that call: the engine's, or the
// component's own where the engine gives none.
//
// A handler may dispose the component, on either thread: the call it interrupts keeps the
// engine until it returns, its rendering stops, and every later call throws. The object itself
// may be destroyed only once none of its handlers is running.
class Varnel : public Component {
public:
    Varnel();
    ~Varnel() override;
    using Component::Dispose;  // Dispose() stays callable beside the Dispose(bool) override

    using Delegate_OnDebug = Delegate<void(Object& sender, const OnDebugArgs& e)>;
    using Delegate_OnComplete = Delegate<void(Object& sender, const OnCompleteArgs& e)>;
    // Raised on the thread that delivers the engine's notification: the caller's thread, or the
    // destination's window thread while a destination is bound.
    Event<Delegate_OnDebug> OnDebug;
    Event<Delegate_OnComplete> OnComplete;

    // Binds a stream destination control (nullptr unbinds).
    void Destination(std::shared_ptr<Object> newVal);

    CID_FORMAT CID_Format() const;
    void CID_Format(CID_FORMAT newVal);
    BAUDOT_RATE TTY_Rate() const;
    void TTY_Rate(BAUDOT_RATE newVal);
    TTY_MODE TTY_Mode() const;
    void TTY_Mode(TTY_MODE newVal);
    std::int32_t DTMF_BreakTime() const;
    void DTMF_BreakTime(std::int32_t newVal);
    std::int32_t DTMF_ToneTime() const;
    void DTMF_ToneTime(std::int32_t newVal);
    float Amplitude() const;
    void Amplitude(float newVal);
    std::int32_t DTMF_PauseTime() const;
    void DTMF_PauseTime(std::int32_t newVal);
    std::int32_t BitsPerSample() const;
    void BitsPerSample(std::int32_t newVal);
    std::int32_t SampleRate() const;
    void SampleRate(std::int32_t newVal);
    CID_BIT_TIMING CID_BitTiming() const;
    void CID_BitTiming(CID_BIT_TIMING newVal);
    std::int32_t TTY_FigsAfterSpace() const;
    void TTY_FigsAfterSpace(std::int32_t newVal);
    ENCODING_TYPE Encoding() const;
    void Encoding(ENCODING_TYPE newVal);
    CID_STANDARD CID_Standard() const;
    void CID_Standard(CID_STANDARD newVal);
    CID_ALERT CID_Alert() const;
    void CID_Alert(CID_ALERT newVal);
    float DTMF_Twist() const;
    void DTMF_Twist(float newVal);
    std::int32_t TONE_ModulationDepth() const;
    void TONE_ModulationDepth(std::int32_t newVal);
    std::int32_t TONE_LevelPerTone() const;
    void TONE_LevelPerTone(std::int32_t newVal);
    // Sets any setting of the catalog (varnel/engine/SettingsCatalog.h) as its property does.
    void Set(const SettingSpec& setting, const SettingValue& newVal);
    // Reads any setting of the catalog as its property does.
    SettingValue Get(const SettingSpec& setting) const;

    void GenerateBegin();
    void GenerateBegin(std::string_view OutFileName);
    void GenerateEnd();
    std::int32_t GenerateDTMFs(std::string_view Keys);
    std::int32_t GenerateSilence(float Duration);
    std::int32_t GenerateTone(std::int32_t OnTime, std::int32_t OffTime, float Frequency1,
                              float Frequency2, float Frequency3);
    std::int32_t GenerateTTY(std::string_view Text);
    std::int32_t GenerateTTYEx(std::span<const std::uint8_t> BinaryData);
    std::int32_t GenerateCallerID(std::string_view Number, std::string_view Name,
                                  std::string_view DataTime);
    // With absence reasons: a reason other than None replaces the number or the name, and the
    // number may then be empty.
    std::int32_t GenerateCallerID(std::string_view Number, std::string_view Name, std::string_view DataTime,
                                  CallerIdAbsence NumberAbsence, CallerIdAbsence NameAbsence);
    // Message waiting on or off, in the Caller-ID standard and layout set.
    std::int32_t GenerateVMWI(bool Active);
    // R1 (Bell MF) signals; R2 signals forward or backward.
    std::int32_t GenerateMF(std::string_view Keys);
    std::int32_t GenerateR2MF(std::string_view Signals, bool Backward);
    // A tone pattern, e.g. "400*25/400,0/200,400*25/400,0/2000", for DurationMs.
    std::int32_t GeneratePattern(std::string_view Pattern, std::int32_t DurationMs);
    // A call-progress tone of the built-in table, e.g. ("uk", "busy", 3000).
    std::int32_t GenerateTonePlan(std::string_view Country, std::string_view Tone, std::int32_t DurationMs);
    // A special information tone: nc, ic, vc, ro or itu.
    std::int32_t GenerateSIT(std::string_view Code);
    std::int32_t GenerateModemTone(MODEM_TONE Kind, std::int32_t DurationMs);
    // Queues every request of a script in the text notation (varnel/script/Parser.h), e.g.
    // "dtmf:5550123 silence:500 plan:uk:busy:3000", and returns their request IDs in order (one
    // per step of a tones: request; set: requests change the setting on the way and have none).
    // ttyfile: requests read their files first. A script that does not parse, or with any
    // request that would be refused with the settings it meets, queues nothing and throws
    // ArgumentException naming the request (its position, line and text) and the reason.
    std::vector<std::int32_t> GenerateScript(std::string_view Text);
    // Queues one parsed request as GenerateScript would; returns its request IDs.
    std::vector<std::int32_t> Generate(const Script::Request& Request);
    std::int32_t FetchWaveStream(std::span<std::uint8_t> AudioData);
    // The bytes of audio queued and not yet rendered, known without rendering them (0 when
    // nothing is queued).
    std::int64_t QueuedBytes() const;
    std::int32_t FetchWaveStream(std::span<std::uint8_t> AudioData, std::int32_t Offset,
                                 std::int32_t Count);

    std::string ToString() const override { return "Quorvex.VarnelNet.Varnel"; }

protected:
    // Unbinds the destination, ends the generation without rendering and lets the engine go;
    // it is destroyed when the last call still using it returns. Later calls throw.
    void Dispose(bool disposing) override;
    void raise_OnDebug(Object& sender, const OnDebugArgs& e) { OnDebug.Raise(sender, e); }
    void raise_OnComplete(Object& sender, const OnCompleteArgs& e) { OnComplete.Raise(sender, e); }

private:
    std::int32_t OnWriteData(void* Receive, std::int32_t uMsg, std::uint64_t wparam, std::int64_t lparam);
    void clear_Destination(CVarnel& engine);
    std::shared_ptr<CAudioDataSource> SwapDestination(std::shared_ptr<CAudioDataSource> source);
    std::shared_ptr<CAudioDataSource> BoundDestination() const;
    void Log_Debug(std::int32_t iRefCode, std::string sMsg);
    void StartGeneration(const char16_t* OutFileName);
    void AdoptSetting(CVarnel& engine, const SettingSpec& setting, std::int32_t newVal);
    // The engine for one call: held until the call returns, so a handler that disposes the
    // component cannot free it under the call. Throws once the component is disposed.
    std::shared_ptr<CVarnel> Engine() const;
    std::shared_ptr<CVarnel> CurrentEngine() const;  // nullptr once disposed
    // Runs one engine operation. A failure throws with the reason the engine gave for this call,
    // or with refusal when it gave none (its store then still holds an earlier failure's text).
    template <class Operation>
    void Translate(CVarnel& engine, Operation&& operation, const char* refusal) const;
    [[noreturn]] void Throw(HRESULT hr, const FailureRecord& record, const std::string& refusal) const;

    mutable std::mutex m_mutex;  // guards m_SondixCtrl and m_pTE, which handlers read and Dispose clears
    std::shared_ptr<CAudioDataSource> m_SondixCtrl;
    Managed_DataCB_Delegate _Status_CBDelegate;
    std::shared_ptr<CVarnel> m_pTE;
};

}  // namespace Quorvex::VarnelNet
