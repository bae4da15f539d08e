#include "varnel/facade/Varnel.h"

#include <limits>
#include <utility>
#include <vector>

#include "varnel/engine/FailureRecord.h"
#include "varnel/facade/Refusals.h"
#include "varnel/platform/TextConversion.h"
#include "varnel/script/Parser.h"
#include "varnel/script/Printer.h"
#include "varnel/script/Queue.h"
#include "varnel/script/RequestError.h"
#include "varnel/script/SettingText.h"
#include "varnel/script/TextFiles.h"

namespace Quorvex::VarnelNet {

// Callers pass *Engine(): that reference lives until the whole call has returned.
template <class Operation>
void Varnel::Translate(CVarnel& engine, Operation&& operation, const char* refusal) const {
    const FailureRecord record;
    const HRESULT hr = operation(engine);
    if (FAILED(hr)) Throw(hr, record, refusal);
}

// A call that a handler's disposal cut short fails for that reason.
void Varnel::Throw(HRESULT hr, const FailureRecord& record, const std::string& refusal) const {
    if (!CurrentEngine()) throw COMException(Refusal::kDisposed, E_FAIL);
    ThrowExceptionForHR(hr, record.Text().empty() ? refusal : record.Text());
}

Varnel::Varnel() : m_pTE(std::make_shared<CVarnel>()) {
    _Status_CBDelegate._Delegate = [this](void* receive, std::int32_t msg, std::uint64_t wparam, std::int64_t lparam) {
        return OnWriteData(receive, msg, wparam, lparam);
    };
    m_pTE->SetCallBack(_Status_CBDelegate._Delegate);
}

Varnel::~Varnel() { Dispose(true); }

// The destination is told first, so that it never calls into the engine again; then the engine
// gives its window back, stops rendering and drops the callback. A call in progress (the one a
// disposing handler interrupts, or one on another thread) holds the engine until it returns.
void Varnel::Dispose(bool /*disposing*/) {
    std::shared_ptr<CVarnel> engine;
    {
        const std::lock_guard<std::mutex> guard(m_mutex);
        engine = std::exchange(m_pTE, nullptr);
    }
    if (!engine) return;
    clear_Destination(*engine);
    engine->Discard();
    engine->SetCallBack(DataCallback());
}

std::shared_ptr<CVarnel> Varnel::CurrentEngine() const {
    const std::lock_guard<std::mutex> guard(m_mutex);
    return m_pTE;
}

std::shared_ptr<CVarnel> Varnel::Engine() const {
    std::shared_ptr<CVarnel> engine = CurrentEngine();
    if (!engine) throw COMException(Refusal::kDisposed, E_FAIL);
    return engine;
}

std::int32_t Varnel::OnWriteData(void* /*Receive*/, std::int32_t uMsg, std::uint64_t wparam, std::int64_t lparam) {
    switch (uMsg) {
        case MSG_DATA_REQUEST: {
            const std::shared_ptr<CVarnel> engine = CurrentEngine();
            if (!engine) return -1;
            const auto size = static_cast<std::int32_t>(lparam);
            return engine->ExecStreamRequest(reinterpret_cast<std::uint8_t*>(wparam), size);
        }
        case MSG_DEBUG_TEXT:
            raise_OnDebug(*this, OnDebugArgs(Utf16ToUtf8(WideView(reinterpret_cast<const char16_t*>(wparam))),
                                             static_cast<std::int32_t>(lparam)));
            return 0;
        case MSG_REQUEST_DONE:
            raise_OnComplete(*this, OnCompleteArgs(static_cast<std::int32_t>(wparam)));
            return 0;
        default:
            return 0;
    }
}

void Varnel::Log_Debug(std::int32_t iRefCode, std::string sMsg) { raise_OnDebug(*this, OnDebugArgs(std::move(sMsg), iRefCode)); }

void Varnel::Destination(std::shared_ptr<Object> newVal) {
    const std::shared_ptr<CVarnel> engine = Engine();
    if (!newVal) {
        clear_Destination(*engine);
        return;
    }
    if (newVal->GetTypeCode() != TypeCode::Object) return;
    if (const std::string name = newVal->ToString(); name != kSondixControlTypeName) {
        throw ArgumentException(Refusal::ForDestination(name));
    }
    auto* adapter = dynamic_cast<ICustomAdapter*>(newVal.get());
    if (!adapter) return;
    const auto source = std::dynamic_pointer_cast<CAudioDataSource>(adapter->GetUnderlyingObject());
    // A destination replaced by another is told first, so that it never calls into this
    // component after it is gone.
    const auto previous = SwapDestination(source);
    if (previous && previous != source) previous->set_DestEventhande(nullptr, DataCallback());
    if (!source) return;
    source->set_Owner(newVal);
    const HWND window = source->get_MsgWinHandle();
    if (!window) throw ArgumentException(Refusal::kTooOld);
    engine->SetMsgWin(nullptr);
    engine->SetMsgWin(window);
    const bool accepted = source->set_DestEventhande(&_Status_CBDelegate, _Status_CBDelegate._Delegate) == 0;
    // A handler on another thread may have disposed the component since the swap above, before
    // this binding existed for Dispose to undo.
    if (!CurrentEngine()) {
        source->set_DestEventhande(nullptr, DataCallback());
        return;
    }
    if (accepted) Log_Debug(0, "Associated with Sondix.Net component.");
}

void Varnel::clear_Destination(CVarnel& engine) {
    if (const auto previous = SwapDestination(nullptr)) previous->set_DestEventhande(nullptr, DataCallback());
    engine.SetMsgWin(nullptr);
}

std::shared_ptr<CAudioDataSource> Varnel::SwapDestination(std::shared_ptr<CAudioDataSource> source) {
    const std::lock_guard<std::mutex> guard(m_mutex);
    return std::exchange(m_SondixCtrl, std::move(source));
}

std::shared_ptr<CAudioDataSource> Varnel::BoundDestination() const {
    const std::lock_guard<std::mutex> guard(m_mutex);
    return m_SondixCtrl;
}

// Every setter is its catalog row applied: the row's engine setter, and the component's reason
// from the row where the engine refuses without a text.
void Varnel::Set(const SettingSpec& setting, const SettingValue& newVal) {
    const std::shared_ptr<CVarnel> engine = Engine();
    const FailureRecord record;
    const HRESULT hr = SettingsCatalog::Apply(*engine, setting, newVal);
    if (FAILED(hr)) Throw(hr, record, Refusal::ForSetting(setting));
}

CID_FORMAT Varnel::CID_Format() const {
    std::int32_t value = 0;
    Engine()->get_CID_Format(&value);
    return static_cast<CID_FORMAT>(value);
}
void Varnel::CID_Format(CID_FORMAT newVal) { Set(SettingsCatalog::kCidFormat, {.integer = newVal}); }

BAUDOT_RATE Varnel::TTY_Rate() const {
    std::int32_t value = 0;
    Engine()->get_TTY_Rate(&value);
    return static_cast<BAUDOT_RATE>(value);
}
void Varnel::TTY_Rate(BAUDOT_RATE newVal) { Set(SettingsCatalog::kTtyRate, {.integer = newVal}); }

TTY_MODE Varnel::TTY_Mode() const {
    std::int32_t value = 0;
    Engine()->get_TTY_Mode(&value);
    return static_cast<TTY_MODE>(value);
}
void Varnel::TTY_Mode(TTY_MODE newVal) { Set(SettingsCatalog::kTtyMode, {.integer = newVal}); }

#define VARNEL_TRANSLATED_GETTER(Type, Name)                                                                 \
    Type Varnel::Name() const {                                                                             \
        std::int32_t value{};                                                                               \
        Translate(*Engine(), [&](CVarnel& e) { return e.get_##Name(&value); }, #Name " could not be read."); \
        return static_cast<Type>(value);                                                                    \
    }

VARNEL_TRANSLATED_GETTER(std::int32_t, DTMF_BreakTime)
VARNEL_TRANSLATED_GETTER(std::int32_t, DTMF_ToneTime)
VARNEL_TRANSLATED_GETTER(std::int32_t, DTMF_PauseTime)
VARNEL_TRANSLATED_GETTER(std::int32_t, BitsPerSample)
VARNEL_TRANSLATED_GETTER(std::int32_t, SampleRate)
VARNEL_TRANSLATED_GETTER(CID_BIT_TIMING, CID_BitTiming)
VARNEL_TRANSLATED_GETTER(std::int32_t, TTY_FigsAfterSpace)
VARNEL_TRANSLATED_GETTER(ENCODING_TYPE, Encoding)
VARNEL_TRANSLATED_GETTER(CID_STANDARD, CID_Standard)
VARNEL_TRANSLATED_GETTER(CID_ALERT, CID_Alert)
VARNEL_TRANSLATED_GETTER(std::int32_t, TONE_ModulationDepth)
VARNEL_TRANSLATED_GETTER(std::int32_t, TONE_LevelPerTone)
#undef VARNEL_TRANSLATED_GETTER

float Varnel::Amplitude() const {
    float value = 0.0f;
    Translate(*Engine(), [&](CVarnel& e) { return e.get_Amplitude(&value); }, "Amplitude could not be read.");
    return value;
}

float Varnel::DTMF_Twist() const {
    float value = 0.0f;
    Translate(*Engine(), [&](CVarnel& e) { return e.get_DTMF_Twist(&value); }, "DTMF_Twist could not be read.");
    return value;
}

void Varnel::DTMF_BreakTime(std::int32_t newVal) { Set(SettingsCatalog::kDtmfBreakTime, {.integer = newVal}); }
void Varnel::DTMF_ToneTime(std::int32_t newVal) { Set(SettingsCatalog::kDtmfToneTime, {.integer = newVal}); }
void Varnel::Amplitude(float newVal) { Set(SettingsCatalog::kAmplitude, {.number = newVal}); }
void Varnel::DTMF_PauseTime(std::int32_t newVal) { Set(SettingsCatalog::kDtmfPauseTime, {.integer = newVal}); }
void Varnel::BitsPerSample(std::int32_t newVal) { Set(SettingsCatalog::kBitsPerSample, {.integer = newVal}); }
void Varnel::SampleRate(std::int32_t newVal) { Set(SettingsCatalog::kSampleRate, {.integer = newVal}); }
void Varnel::CID_BitTiming(CID_BIT_TIMING newVal) { Set(SettingsCatalog::kCidBitTiming, {.integer = newVal}); }
void Varnel::TTY_FigsAfterSpace(std::int32_t newVal) { Set(SettingsCatalog::kTtyFigsAfterSpace, {.integer = newVal}); }
void Varnel::Encoding(ENCODING_TYPE newVal) { Set(SettingsCatalog::kEncoding, {.integer = newVal}); }
void Varnel::CID_Standard(CID_STANDARD newVal) { Set(SettingsCatalog::kCidStandard, {.integer = newVal}); }
void Varnel::CID_Alert(CID_ALERT newVal) { Set(SettingsCatalog::kCidAlert, {.integer = newVal}); }
void Varnel::DTMF_Twist(float newVal) { Set(SettingsCatalog::kDtmfTwist, {.number = newVal}); }
void Varnel::TONE_ModulationDepth(std::int32_t newVal) { Set(SettingsCatalog::kToneModulationDepth, {.integer = newVal}); }
void Varnel::TONE_LevelPerTone(std::int32_t newVal) { Set(SettingsCatalog::kToneLevelPerTone, {.integer = newVal}); }

SettingValue Varnel::Get(const SettingSpec& setting) const {
    const std::shared_ptr<CVarnel> engine = Engine();
    SettingValue value;
    const FailureRecord record;
    const HRESULT hr = SettingsCatalog::Read(*engine, setting, &value);
    if (FAILED(hr)) Throw(hr, record, Refusal::ForReading(setting));
    return value;
}

void Varnel::GenerateBegin() { StartGeneration(nullptr); }

void Varnel::GenerateBegin(std::string_view OutFileName) {
    const WideArgument name(OutFileName);
    StartGeneration(name.get());
}

// A bound destination's playback format becomes the engine's format first; a destination that
// does not play PCM mono gets no generation.
void Varnel::StartGeneration(const char16_t* OutFileName) {
    const std::shared_ptr<CVarnel> engine = Engine();
    if (const auto destination = BoundDestination()) {
        const WAVEFORMATEX* format = destination->get_PlayFormatEx();
        if (!format || format->wFormatTag != WAVE_FORMAT_PCM || format->nChannels != 1) {
            Log_Debug(0, "Supports the PCM mono-channel data from Sondix.Net only!");
            return;
        }
        AdoptSetting(*engine, SettingsCatalog::kSampleRate, static_cast<std::int32_t>(format->nSamplesPerSec));
        AdoptSetting(*engine, SettingsCatalog::kBitsPerSample, format->wBitsPerSample);
        AdoptSetting(*engine, SettingsCatalog::kEncoding, ENC_PCM);
    }
    Translate(*engine, [&](CVarnel& e) { return e.GenerateBegin(OutFileName); },
              "GenerateBegin could not start a generation.");
}

// A value the engine refuses leaves its setting as it was, except that a format that cannot
// change now (a file generation is open) is reported: the destination would get the wrong one.
void Varnel::AdoptSetting(CVarnel& engine, const SettingSpec& setting, std::int32_t newVal) {
    std::int32_t current = 0;
    if ((engine.*setting.getInteger)(&current) == S_OK && current == newVal) return;
    const FailureRecord record;
    const HRESULT hr = SettingsCatalog::Apply(engine, setting, {.integer = newVal});
    if (hr == E_FAIL) Throw(hr, record, Refusal::ForSetting(setting));
}

// Never throws for the engine's own outcome, except when the WAV file could not be written.
void Varnel::GenerateEnd() {
    Translate(*Engine(), [](CVarnel& e) { return e.GenerateEnd(); }, "GenerateEnd could not end the generation.");
}

std::int32_t Varnel::GenerateDTMFs(std::string_view Keys) {
    const WideArgument keys(Keys);
    std::int32_t id = 0;
    Translate(*Engine(), [&](CVarnel& e) { return e.GenerateDTMFs(keys.get(), &id); },
              "GenerateDTMFs could not queue this request.");
    return id;
}

std::int32_t Varnel::GenerateSilence(float Duration) {
    std::int32_t id = 0;
    Translate(*Engine(), [&](CVarnel& e) { return e.GenerateSilence(Duration, &id); },
              "GenerateSilence could not queue this request.");
    return id;
}

std::int32_t Varnel::GenerateTone(std::int32_t OnTime, std::int32_t OffTime, float Frequency1,
                                  float Frequency2, float Frequency3) {
    std::int32_t id = 0;
    Translate(*Engine(),
              [&](CVarnel& e) {
                  return e.GenerateTone(static_cast<std::uint32_t>(OnTime), static_cast<std::uint32_t>(OffTime),
                                        Frequency1, Frequency2, Frequency3, &id);
              },
              "GenerateTone could not queue this request.");
    return id;
}

std::int32_t Varnel::GenerateTTY(std::string_view Text) {
    const WideArgument text(Text);
    std::int32_t id = 0;
    Translate(*Engine(), [&](CVarnel& e) { return e.GenerateTTY(text.get(), &id); },
              "GenerateTTY could not queue this request.");
    return id;
}

// The bytes up to the first zero are sent as they are. Throws only for an empty array, or when
// the sample rate cannot carry a TTY bit.
std::int32_t Varnel::GenerateTTYEx(std::span<const std::uint8_t> BinaryData) {
    const std::shared_ptr<CVarnel> engine = Engine();
    if (BinaryData.empty()) throw ArgumentException(Refusal::kTTYExEmpty);
    std::vector<char> text(BinaryData.begin(), BinaryData.end());
    text.push_back('\0');
    const auto length = static_cast<std::int32_t>(
        std::min<std::size_t>(BinaryData.size(), std::numeric_limits<std::int32_t>::max()));
    std::int32_t id = -1;
    Translate(*engine,
              [&](CVarnel& e) {
                  id = e.GenerateTTY2(text.data(), length);
                  return id == -1 ? E_INVALIDARG : S_OK;
              },
              "GenerateTTYEx could not queue this request.");
    return id;
}

std::int32_t Varnel::GenerateCallerID(std::string_view Number, std::string_view Name, std::string_view DataTime) {
    const std::shared_ptr<CVarnel> engine = Engine();
    if (Number.empty()) throw ArgumentException(Refusal::kCallerIdNumber);
    const WideArgument number(Number), name(Name), dataTime(DataTime);
    std::int32_t id = 0;
    Translate(*engine, [&](CVarnel& e) { return e.GenerateCallerID(number.get(), name.get(), dataTime.get(), &id); },
              "GenerateCallerID could not queue this request.");
    return id;
}

std::int32_t Varnel::GenerateCallerID(std::string_view Number, std::string_view Name, std::string_view DataTime,
                                      CallerIdAbsence NumberAbsence, CallerIdAbsence NameAbsence) {
    const std::shared_ptr<CVarnel> engine = Engine();
    if (Number.empty() && NumberAbsence == CallerIdAbsence::None) throw ArgumentException(Refusal::kCallerIdNumberOrAbsence);
    const WideArgument number(Number), name(Name), dataTime(DataTime);
    std::int32_t id = 0;
    Translate(*engine,
              [&](CVarnel& e) {
                  return e.GenerateCallerIDEx(number.get(), name.get(), dataTime.get(),
                                              static_cast<std::int32_t>(NumberAbsence),
                                              static_cast<std::int32_t>(NameAbsence), &id);
              },
              "GenerateCallerID could not queue this request.");
    return id;
}

std::int32_t Varnel::GenerateVMWI(bool Active) {
    std::int32_t id = 0;
    Translate(*Engine(), [&](CVarnel& e) { return e.GenerateVMWI(Active ? 1 : 0, &id); },
              "GenerateVMWI could not queue this request.");
    return id;
}

std::int32_t Varnel::GenerateMF(std::string_view Keys) {
    const WideArgument keys(Keys);
    std::int32_t id = 0;
    Translate(*Engine(), [&](CVarnel& e) { return e.GenerateMF(keys.get(), &id); },
              "GenerateMF could not queue this request.");
    return id;
}

std::int32_t Varnel::GenerateR2MF(std::string_view Signals, bool Backward) {
    const WideArgument signals(Signals);
    std::int32_t id = 0;
    Translate(*Engine(), [&](CVarnel& e) { return e.GenerateR2MF(signals.get(), Backward ? 1 : 0, &id); },
              "GenerateR2MF could not queue this request.");
    return id;
}

std::int32_t Varnel::GeneratePattern(std::string_view Pattern, std::int32_t DurationMs) {
    const WideArgument pattern(Pattern);
    std::int32_t id = 0;
    Translate(*Engine(), [&](CVarnel& e) { return e.GeneratePattern(pattern.get(), DurationMs, &id); },
              "GeneratePattern could not queue this request.");
    return id;
}

std::int32_t Varnel::GenerateTonePlan(std::string_view Country, std::string_view Tone, std::int32_t DurationMs) {
    const WideArgument country(Country), tone(Tone);
    std::int32_t id = 0;
    Translate(*Engine(), [&](CVarnel& e) { return e.GenerateTonePlan(country.get(), tone.get(), DurationMs, &id); },
              "GenerateTonePlan could not queue this request.");
    return id;
}

std::int32_t Varnel::GenerateSIT(std::string_view Code) {
    const WideArgument code(Code);
    std::int32_t id = 0;
    Translate(*Engine(), [&](CVarnel& e) { return e.GenerateSIT(code.get(), &id); },
              "GenerateSIT could not queue this request.");
    return id;
}

std::int32_t Varnel::GenerateModemTone(MODEM_TONE Kind, std::int32_t DurationMs) {
    std::int32_t id = 0;
    Translate(*Engine(), [&](CVarnel& e) { return e.GenerateModemTone(Kind, DurationMs, &id); },
              "GenerateModemTone could not queue this request.");
    return id;
}

std::vector<std::int32_t> Varnel::GenerateScript(std::string_view Text) {
    const std::shared_ptr<CVarnel> engine = Engine();
    try {
        Script::Requests requests = Script::ParseScript(Text);
        Script::LoadTextFiles(requests);
        // A trial on an engine of its own, with the same settings, finds any refusal before a
        // request is queued here.
        CVarnel trial;
        Script::SettingValues::Of(*engine).ApplyTo(trial);
        trial.GenerateBegin(nullptr);
        for (const Script::Entry& entry : requests) Script::QueueEntry(trial, entry);
        std::vector<std::int32_t> ids;
        for (const Script::Entry& entry : requests) {
            const std::vector<std::int32_t> queued = Script::QueueEntry(*engine, entry);
            ids.insert(ids.end(), queued.begin(), queued.end());
        }
        return ids;
    } catch (const Script::RequestError& e) {
        if (!CurrentEngine()) throw COMException(Refusal::kDisposed, E_FAIL);
        ThrowExceptionForHR(e.Code(), e.what());
    }
}

std::vector<std::int32_t> Varnel::Generate(const Script::Request& Request) {
    const std::shared_ptr<CVarnel> engine = Engine();
    try {
        return Script::QueueEntry(*engine, Script::Entry{Request, Script::Print(Request), 0, 0, {}});
    } catch (const Script::RequestError& e) {
        if (!CurrentEngine()) throw COMException(Refusal::kDisposed, E_FAIL);
        ThrowExceptionForHR(e.Code(), e.Reason());
    }
}

std::int64_t Varnel::QueuedBytes() const { return Engine()->QueuedBytes(); }

std::int32_t Varnel::FetchWaveStream(std::span<std::uint8_t> AudioData) {
    const auto count = static_cast<std::int32_t>(
        std::min<std::size_t>(AudioData.size(), std::numeric_limits<std::int32_t>::max()));
    return FetchWaveStream(AudioData, 0, count);
}

// Renders straight into AudioData from Offset on; returns the bytes written, 0 when nothing is
// queued or Count is 100 or less, -1 when no buffer-stream generation runs (a file generation's
// audio stays with the file).
std::int32_t Varnel::FetchWaveStream(std::span<std::uint8_t> AudioData, std::int32_t Offset, std::int32_t Count) {
    const std::shared_ptr<CVarnel> engine = Engine();
    const std::size_t size = AudioData.size();
    if (Offset < 0) throw ArgumentException(Refusal::kOffsetNegative);
    if (Count < 0) throw ArgumentException(Refusal::kCountNegative);
    if (static_cast<std::size_t>(Offset) > size) throw ArgumentException(Refusal::kOffsetBeyond);
    if (static_cast<std::size_t>(Count) > size - static_cast<std::size_t>(Offset)) {
        throw ArgumentException(Refusal::kCountBeyond);
    }
    return engine->ExecStreamRequest(AudioData.data() + Offset, Count);
}

}  // namespace Quorvex::VarnelNet
