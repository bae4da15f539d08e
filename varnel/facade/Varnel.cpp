#include "varnel/facade/Varnel.h"

#include <limits>
#include <utility>
#include <vector>

#include "varnel/platform/TextConversion.h"

namespace Quorvex::VarnelNet {

namespace {

constexpr const char* kEngineGone = "This Varnel component has been disposed: its engine is released.";

// A UTF-8 argument as the engine's UTF-16 text; an empty text travels as null.
class WideArgument {
public:
    explicit WideArgument(std::string_view text) : m_text(Utf8ToUtf16(text)) {}
    const char16_t* get() const { return m_text.empty() ? nullptr : m_text.c_str(); }

private:
    std::u16string m_text;
};

}  // namespace

Varnel::Varnel() : m_pTE(std::make_unique<CVarnel>()) {
    _Status_CBDelegate._Delegate = [this](void* receive, std::int32_t msg, std::uint64_t wparam, std::int64_t lparam) {
        return OnWriteData(receive, msg, wparam, lparam);
    };
    m_pTE->SetCallBack(_Status_CBDelegate._Delegate);
}

Varnel::~Varnel() { Dispose(true); }

// The destination is told first, so that it never calls into a released engine; then the
// engine gives its window back and is destroyed.
void Varnel::Dispose(bool /*disposing*/) {
    if (!m_pTE) return;
    clear_Destination();
    m_pTE.reset();
}

CVarnel& Varnel::Engine() const {
    if (!m_pTE) throw COMException(kEngineGone, E_FAIL);
    return *m_pTE;
}

void Varnel::Check(HRESULT hr) const {
    if (FAILED(hr)) ThrowExceptionForHR(hr, m_pTE->GetErrMsg());
}

std::int32_t Varnel::OnWriteData(void* /*Receive*/, std::int32_t uMsg, std::uint64_t wparam, std::int64_t lparam) {
    switch (uMsg) {
        case MSG_DATA_REQUEST:
            return m_pTE ? m_pTE->ExecRequest(reinterpret_cast<std::uint8_t*>(wparam), static_cast<std::int32_t>(lparam))
                         : -1;
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
    CVarnel& engine = Engine();
    if (!newVal) {
        clear_Destination();
        return;
    }
    if (newVal->GetTypeCode() != TypeCode::Object) return;
    if (newVal->ToString() != kSondixControlTypeName) throw ArgumentException();
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
    if (!window) throw ArgumentException("Version of Sondix.Net too old!");
    engine.SetMsgWin(nullptr);
    engine.SetMsgWin(window);
    if (source->set_DestEventhande(&_Status_CBDelegate, _Status_CBDelegate._Delegate) == 0) {
        Log_Debug(0, "Associated with Sondix.Net component.");
    }
}

void Varnel::clear_Destination() {
    if (const auto previous = SwapDestination(nullptr)) previous->set_DestEventhande(nullptr, DataCallback());
    m_pTE->SetMsgWin(nullptr);
}

std::shared_ptr<CAudioDataSource> Varnel::SwapDestination(std::shared_ptr<CAudioDataSource> source) {
    const std::lock_guard<std::mutex> guard(m_destinationMutex);
    return std::exchange(m_SondixCtrl, std::move(source));
}

std::shared_ptr<CAudioDataSource> Varnel::BoundDestination() const {
    const std::lock_guard<std::mutex> guard(m_destinationMutex);
    return m_SondixCtrl;
}

CID_FORMAT Varnel::CID_Format() const {
    std::int32_t value = 0;
    Engine().get_CID_Format(&value);
    return static_cast<CID_FORMAT>(value);
}
void Varnel::CID_Format(CID_FORMAT newVal) { Check(Engine().set_CID_Format(newVal)); }

BAUDOT_RATE Varnel::TTY_Rate() const {
    std::int32_t value = 0;
    Engine().get_TTY_Rate(&value);
    return static_cast<BAUDOT_RATE>(value);
}
void Varnel::TTY_Rate(BAUDOT_RATE newVal) { Check(Engine().set_TTY_Rate(newVal)); }

TTY_MODE Varnel::TTY_Mode() const {
    std::int32_t value = 0;
    Engine().get_TTY_Mode(&value);
    return static_cast<TTY_MODE>(value);
}
void Varnel::TTY_Mode(TTY_MODE newVal) { Check(Engine().set_TTY_Mode(newVal)); }

#define VARNEL_TRANSLATED_PROPERTY(Type, Name)        \
    Type Varnel::Name() const {                       \
        Type value{};                                 \
        Check(Engine().get_##Name(&value));           \
        return value;                                 \
    }                                                 \
    void Varnel::Name(Type newVal) { Check(Engine().set_##Name(newVal)); }

VARNEL_TRANSLATED_PROPERTY(std::int32_t, DTMF_BreakTime)
VARNEL_TRANSLATED_PROPERTY(std::int32_t, DTMF_ToneTime)
VARNEL_TRANSLATED_PROPERTY(float, Amplitude)
VARNEL_TRANSLATED_PROPERTY(std::int32_t, DTMF_PauseTime)
VARNEL_TRANSLATED_PROPERTY(std::int32_t, BitsPerSample)
VARNEL_TRANSLATED_PROPERTY(std::int32_t, SampleRate)
VARNEL_TRANSLATED_PROPERTY(std::int32_t, TTY_FigsAfterSpace)
VARNEL_TRANSLATED_PROPERTY(float, DTMF_Twist)
VARNEL_TRANSLATED_PROPERTY(std::int32_t, TONE_ModulationDepth)
#undef VARNEL_TRANSLATED_PROPERTY

CID_BIT_TIMING Varnel::CID_BitTiming() const {
    std::int32_t value = 0;
    Check(Engine().get_CID_BitTiming(&value));
    return static_cast<CID_BIT_TIMING>(value);
}
void Varnel::CID_BitTiming(CID_BIT_TIMING newVal) { Check(Engine().set_CID_BitTiming(newVal)); }

ENCODING_TYPE Varnel::Encoding() const {
    std::int32_t value = 0;
    Check(Engine().get_Encoding(&value));
    return static_cast<ENCODING_TYPE>(value);
}
void Varnel::Encoding(ENCODING_TYPE newVal) { Check(Engine().set_Encoding(newVal)); }

CID_STANDARD Varnel::CID_Standard() const {
    std::int32_t value = 0;
    Check(Engine().get_CID_Standard(&value));
    return static_cast<CID_STANDARD>(value);
}
void Varnel::CID_Standard(CID_STANDARD newVal) { Check(Engine().set_CID_Standard(newVal)); }

CID_ALERT Varnel::CID_Alert() const {
    std::int32_t value = 0;
    Check(Engine().get_CID_Alert(&value));
    return static_cast<CID_ALERT>(value);
}
void Varnel::CID_Alert(CID_ALERT newVal) { Check(Engine().set_CID_Alert(newVal)); }

void Varnel::Set(const SettingSpec& setting, const SettingValue& newVal) {
    Check(SettingsCatalog::Apply(Engine(), setting, newVal));
}

SettingValue Varnel::Get(const SettingSpec& setting) const {
    SettingValue value;
    Check(SettingsCatalog::Read(Engine(), setting, &value));
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
    CVarnel& engine = Engine();
    if (const auto destination = BoundDestination()) {
        const WAVEFORMATEX* format = destination->get_PlayFormatEx();
        if (!format || format->wFormatTag != WAVE_FORMAT_PCM || format->nChannels != 1) {
            Log_Debug(0, "Supports the PCM mono-channel data from Sondix.Net only!");
            return;
        }
        AdoptSetting(&CVarnel::get_SampleRate, &CVarnel::set_SampleRate, static_cast<std::int32_t>(format->nSamplesPerSec));
        AdoptSetting(&CVarnel::get_BitsPerSample, &CVarnel::set_BitsPerSample, format->wBitsPerSample);
        AdoptSetting(&CVarnel::get_Encoding, &CVarnel::set_Encoding, ENC_PCM);
    }
    Check(engine.GenerateBegin(OutFileName));
}

// A value the engine refuses leaves its setting as it was, except that a format that cannot
// change now (a file generation is open) is reported: the destination would get the wrong one.
void Varnel::AdoptSetting(HRESULT (CVarnel::*get)(std::int32_t*), HRESULT (CVarnel::*set)(std::int32_t),
                          std::int32_t newVal) {
    CVarnel& engine = Engine();
    std::int32_t current = 0;
    if ((engine.*get)(&current) == S_OK && current == newVal) return;
    const HRESULT hr = (engine.*set)(newVal);
    if (hr == E_FAIL) Check(hr);
}

// Never throws for the engine's own outcome, except when the WAV file could not be written.
void Varnel::GenerateEnd() { Check(Engine().GenerateEnd()); }

std::int32_t Varnel::GenerateDTMFs(std::string_view Keys) {
    std::int32_t id = 0;
    Check(Engine().GenerateDTMFs(WideArgument(Keys).get(), &id));
    return id;
}

std::int32_t Varnel::GenerateSilence(float Duration) {
    std::int32_t id = 0;
    Check(Engine().GenerateSilence(Duration, &id));
    return id;
}

std::int32_t Varnel::GenerateTone(std::int32_t OnTime, std::int32_t OffTime, float Frequency1,
                                  float Frequency2, float Frequency3) {
    std::int32_t id = 0;
    Check(Engine().GenerateTone(static_cast<std::uint32_t>(OnTime), static_cast<std::uint32_t>(OffTime),
                                Frequency1, Frequency2, Frequency3, &id));
    return id;
}

std::int32_t Varnel::GenerateTTY(std::string_view Text) {
    std::int32_t id = 0;
    Check(Engine().GenerateTTY(WideArgument(Text).get(), &id));
    return id;
}

// The bytes up to the first zero are sent as they are. Throws only for an empty array, or when
// the sample rate cannot carry a TTY bit.
std::int32_t Varnel::GenerateTTYEx(std::span<const std::uint8_t> BinaryData) {
    CVarnel& engine = Engine();
    if (BinaryData.empty()) throw ArgumentException();
    std::vector<char> text(BinaryData.begin(), BinaryData.end());
    text.push_back('\0');
    const auto length = static_cast<std::int32_t>(
        std::min<std::size_t>(BinaryData.size(), std::numeric_limits<std::int32_t>::max()));
    const std::int32_t id = engine.GenerateTTY2(text.data(), length);
    if (id == -1) throw ArgumentException(engine.GetErrMsg());
    return id;
}

std::int32_t Varnel::GenerateCallerID(std::string_view Number, std::string_view Name, std::string_view DataTime) {
    CVarnel& engine = Engine();
    if (Number.empty()) throw ArgumentException();
    std::int32_t id = 0;
    Check(engine.GenerateCallerID(WideArgument(Number).get(), WideArgument(Name).get(),
                                  WideArgument(DataTime).get(), &id));
    return id;
}

std::int32_t Varnel::GenerateCallerID(std::string_view Number, std::string_view Name, std::string_view DataTime,
                                      CallerIdAbsence NumberAbsence, CallerIdAbsence NameAbsence) {
    CVarnel& engine = Engine();
    if (Number.empty() && NumberAbsence == CallerIdAbsence::None) throw ArgumentException();
    std::int32_t id = 0;
    Check(engine.GenerateCallerIDEx(WideArgument(Number).get(), WideArgument(Name).get(), WideArgument(DataTime).get(),
                                    static_cast<std::int32_t>(NumberAbsence), static_cast<std::int32_t>(NameAbsence),
                                    &id));
    return id;
}

std::int32_t Varnel::GenerateVMWI(bool Active) {
    std::int32_t id = 0;
    Check(Engine().GenerateVMWI(Active ? 1 : 0, &id));
    return id;
}

std::int32_t Varnel::GenerateMF(std::string_view Keys) {
    std::int32_t id = 0;
    Check(Engine().GenerateMF(WideArgument(Keys).get(), &id));
    return id;
}

std::int32_t Varnel::GenerateR2MF(std::string_view Signals, bool Backward) {
    std::int32_t id = 0;
    Check(Engine().GenerateR2MF(WideArgument(Signals).get(), Backward ? 1 : 0, &id));
    return id;
}

std::int32_t Varnel::GeneratePattern(std::string_view Pattern, std::int32_t DurationMs) {
    std::int32_t id = 0;
    Check(Engine().GeneratePattern(WideArgument(Pattern).get(), DurationMs, &id));
    return id;
}

std::int32_t Varnel::GenerateTonePlan(std::string_view Country, std::string_view Tone, std::int32_t DurationMs) {
    std::int32_t id = 0;
    Check(Engine().GenerateTonePlan(WideArgument(Country).get(), WideArgument(Tone).get(), DurationMs, &id));
    return id;
}

std::int32_t Varnel::GenerateSIT(std::string_view Code) {
    std::int32_t id = 0;
    Check(Engine().GenerateSIT(WideArgument(Code).get(), &id));
    return id;
}

std::int32_t Varnel::GenerateModemTone(MODEM_TONE Kind, std::int32_t DurationMs) {
    std::int32_t id = 0;
    Check(Engine().GenerateModemTone(Kind, DurationMs, &id));
    return id;
}

std::int64_t Varnel::QueuedBytes() const { return Engine().QueuedBytes(); }

std::int32_t Varnel::FetchWaveStream(std::span<std::uint8_t> AudioData) {
    const auto count = static_cast<std::int32_t>(
        std::min<std::size_t>(AudioData.size(), std::numeric_limits<std::int32_t>::max()));
    return FetchWaveStream(AudioData, 0, count);
}

// Renders straight into AudioData from Offset on; returns the bytes written, 0 when nothing is
// queued or Count is 100 or less, -1 when not generating.
std::int32_t Varnel::FetchWaveStream(std::span<std::uint8_t> AudioData, std::int32_t Offset, std::int32_t Count) {
    CVarnel& engine = Engine();
    const std::size_t size = AudioData.size();
    if (Offset < 0 || Count < 0 || static_cast<std::size_t>(Offset) > size ||
        static_cast<std::size_t>(Count) > size - static_cast<std::size_t>(Offset)) {
        throw ArgumentException();
    }
    return engine.ExecRequest(AudioData.data() + Offset, Count);
}

}  // namespace Quorvex::VarnelNet
