#include "EngineScript.h"

#include <cstring>
#include <vector>

#include "Drain.h"

namespace Quorvex::VarnelNet::Fuzz {

namespace {

constexpr int kMaxRequests = 32;
constexpr int kMaxHandlerRuns = 16;

// A UTF-16 argument: the null text for ~, otherwise the unescaped field.
class WideArg {
public:
    explicit WideArg(std::string_view field) : m_null(IsNull(field)), m_text(Wide(field)) {}
    const char16_t* get() const { return m_null ? nullptr : m_text.c_str(); }

private:
    bool m_null;
    std::u16string m_text;
};

}  // namespace

EngineScript::EngineScript(CVarnel& engine, PullBudget& budget) : m_engine(engine), m_budget(budget) {
    m_engine.SetCallBack([this](void*, std::int32_t msg, std::uint64_t wparam, std::int64_t lparam) {
        return OnNotification(msg, wparam, lparam);
    });
}

EngineScript::~EngineScript() { m_engine.SetCallBack(nullptr); }

std::int32_t EngineScript::OnNotification(std::int32_t msg, std::uint64_t wparam, std::int64_t lparam) {
    if (msg == MSG_DEBUG_TEXT) {
        // The line must be a terminated text that lives through the call.
        const auto* line = reinterpret_cast<const char16_t*>(wparam);
        Require(line != nullptr, "MSG_DEBUG_TEXT without a text");
        Require(std::u16string_view(line).size() < 2048, "diagnostic line longer than 2047 characters");
        Require(lparam == 0, "diagnostic line with a reference code other than 0");
        RunHandler(m_onDebug);
    } else if (msg == MSG_STREAM_FORMAT) {
        WAVEFORMATEX format;
        std::memcpy(&format, reinterpret_cast<const void*>(wparam), sizeof format);
        const bool known = format.wFormatTag == WAVE_FORMAT_PCM || format.wFormatTag == WAVE_FORMAT_ALAW ||
                           format.wFormatTag == WAVE_FORMAT_MULAW;
        Require(known && format.nChannels == 1, "stream format is not PCM or G.711 mono");
    } else if (msg == MSG_REQUEST_DONE) {
        RunHandler(m_onDone);
    }
    return 0;
}

void EngineScript::RunHandler(const std::string& command) {
    if (command.empty() || m_inHandler || m_handlerRuns >= kMaxHandlerRuns) return;
    ++m_handlerRuns;
    m_inHandler = true;
    Run(ParseCommand(command));
    m_inHandler = false;
}

bool EngineScript::MayQueue() { return m_requests++ < kMaxRequests; }

bool EngineScript::Run(const Command& c) {
    if (RunSetting(c) || RunRequest(c)) return true;
    if (c.word == "begin") {
        m_engine.GenerateBegin(nullptr);
    } else if (c.word == "end") {
        m_engine.GenerateEnd();
    } else if (c.word == "pull") {
        Pull(Int32(c.args), false);
    } else if (c.word == "pullnull") {
        Pull(Int32(c.args), true);
    } else if (c.word == "drain") {
        Drain();
    } else if (c.word == "queued") {
        m_engine.QueuedBytes();
    } else if (c.word == "get") {
        QueryAll();
    } else if (c.word == "version") {
        std::string version;
        m_engine.get_Version(&version);
        m_engine.get_Version(nullptr);
    } else if (c.word == "ondone") {
        if (!m_inHandler) m_onDone = std::string(c.args);
    } else if (c.word == "ondebug") {
        if (!m_inHandler) m_onDebug = std::string(c.args);
    } else {
        return false;
    }
    return true;
}

bool EngineScript::RunSetting(const Command& c) {
    const std::string_view a = c.args;
    if (c.word == "rate") {
        m_engine.set_SampleRate(Int32(a));
    } else if (c.word == "bits") {
        m_engine.set_BitsPerSample(Int32(a));
    } else if (c.word == "amp") {
        m_engine.set_Amplitude(Float(a));
    } else if (c.word == "tone-time") {
        m_engine.set_DTMF_ToneTime(Int32(a));
    } else if (c.word == "break-time") {
        m_engine.set_DTMF_BreakTime(Int32(a));
    } else if (c.word == "pause-time") {
        m_engine.set_DTMF_PauseTime(Int32(a));
    } else if (c.word == "tty-mode") {
        m_engine.set_TTY_Mode(Int32(a));
    } else if (c.word == "tty-rate") {
        m_engine.set_TTY_Rate(Int32(a));
    } else if (c.word == "cid-format") {
        m_engine.set_CID_Format(Int32(a));
    } else if (c.word == "cid-timing") {
        m_engine.set_CID_BitTiming(Int32(a));
    } else if (c.word == "figs") {
        m_engine.set_TTY_FigsAfterSpace(Int32(a));
    } else if (c.word == "encoding") {
        m_engine.set_Encoding(Int32(a));
    } else if (c.word == "cid-standard") {
        m_engine.set_CID_Standard(Int32(a));
    } else if (c.word == "cid-alert") {
        m_engine.set_CID_Alert(Int32(a));
    } else if (c.word == "twist") {
        m_engine.set_DTMF_Twist(Float(a));
    } else if (c.word == "depth") {
        m_engine.set_TONE_ModulationDepth(Int32(a));
    } else if (c.word == "per-tone") {
        m_engine.set_TONE_LevelPerTone(Int32(a));
    } else {
        return false;
    }
    return true;
}

bool EngineScript::RunRequest(const Command& c) {
    const std::string_view a = c.args;
    std::int32_t id = 0;
    if (c.word == "dtmf") {
        if (MayQueue()) m_engine.GenerateDTMFs(WideArg(a).get(), &id);
    } else if (c.word == "tone") {
        if (MayQueue()) {
            m_engine.GenerateTone(UInt32(Field(a, 0)), UInt32(Field(a, 1)), Float(Field(a, 2)), Float(Field(a, 3)),
                                  Float(Field(a, 4)), &id);
        }
    } else if (c.word == "silence") {
        if (MayQueue()) m_engine.GenerateSilence(Float(a), &id);
    } else if (c.word == "tones") {
        if (MayQueue()) {
            m_budget.Weigh(TonesPerStep(Bytes(a)));
            m_engine.GenerateTones(WideArg(a).get());
        }
    } else if (c.word == "tty") {
        if (MayQueue()) m_engine.GenerateTTY(WideArg(a).get(), &id);
    } else if (c.word == "tty2") {
        if (MayQueue()) {
            const std::int32_t length = Int32(Field(a, 0));
            const std::string bytes = Bytes(Rest(a, 1));
            if (length > 0) {
                // Exactly the bytes, so that reading past them is caught.
                const std::vector<char> data(bytes.begin(), bytes.end());
                const auto size = static_cast<std::int32_t>(data.size());
                m_engine.GenerateTTY2(data.data(), length < size ? length : size);
            } else {
                m_engine.GenerateTTY2(bytes.c_str(), length);
            }
        }
    } else if (c.word == "cid") {
        if (MayQueue()) {
            const std::vector<std::string_view> f = Fields(a, '|');
            const WideArg number(f[0]);
            const WideArg name(f.size() > 1 ? f[1] : "~");
            const WideArg dateTime(f.size() > 2 ? f[2] : "~");
            m_engine.GenerateCallerID(number.get(), name.get(), dateTime.get(), &id);
        }
    } else if (c.word == "cidex") {
        if (MayQueue()) {
            const std::vector<std::string_view> f = Fields(Rest(a, 2), '|');
            const WideArg number(f[0]);
            const WideArg name(f.size() > 1 ? f[1] : "~");
            const WideArg dateTime(f.size() > 2 ? f[2] : "~");
            m_engine.GenerateCallerIDEx(number.get(), name.get(), dateTime.get(), Int32(Field(a, 0)),
                                        Int32(Field(a, 1)), &id);
        }
    } else if (c.word == "vmwi") {
        if (MayQueue()) m_engine.GenerateVMWI(Int32(a), &id);
    } else if (c.word == "mf") {
        if (MayQueue()) m_engine.GenerateMF(WideArg(a).get(), &id);
    } else if (c.word == "r2mf") {
        if (MayQueue()) m_engine.GenerateR2MF(WideArg(Rest(a, 1)).get(), Int32(Field(a, 0)), &id);
    } else if (c.word == "pattern") {
        if (MayQueue()) m_engine.GeneratePattern(WideArg(Rest(a, 1)).get(), Int32(Field(a, 0)), &id);
    } else if (c.word == "plan") {
        if (MayQueue()) {
            const std::vector<std::string_view> f = Fields(Rest(a, 1), '|');
            m_engine.GenerateTonePlan(WideArg(f[0]).get(), WideArg(f.size() > 1 ? f[1] : "~").get(),
                                      Int32(Field(a, 0)), &id);
        }
    } else if (c.word == "sit") {
        if (MayQueue()) m_engine.GenerateSIT(WideArg(a).get(), &id);
    } else if (c.word == "modem") {
        if (MayQueue()) m_engine.GenerateModemTone(Int32(Field(a, 0)), Int32(Field(a, 1)), &id);
    } else {
        return false;
    }
    return true;
}

void EngineScript::Pull(std::int32_t size, bool nullBuffer) {
    if (!m_budget.Take(&size)) return;
    // Exactly size bytes, so that writing past them is caught.
    std::vector<std::uint8_t> buffer(size > 0 ? static_cast<std::size_t>(size) : 0);
    const std::int32_t n = m_engine.ExecRequest(nullBuffer ? nullptr : buffer.data(), size);
    Require(n >= -1 && n <= (size > 0 ? size : 0), "ExecRequest reported more bytes than it was offered");
    if (nullBuffer) Require(n <= 0, "ExecRequest rendered into a null buffer");
}

void EngineScript::Drain() { Fuzz::Drain(m_engine, m_budget, m_onDone.empty() && m_onDebug.empty()); }

void EngineScript::QueryAll() {
    std::int32_t i = 0;
    float f = 0.0f;
    m_engine.get_TTY_Mode(&i);
    m_engine.get_TTY_Rate(&i);
    m_engine.get_Amplitude(&f);
    m_engine.get_DTMF_PauseTime(&i);
    m_engine.get_DTMF_BreakTime(&i);
    m_engine.get_DTMF_ToneTime(&i);
    m_engine.get_BitsPerSample(&i);
    m_engine.get_SampleRate(&i);
    m_engine.get_CID_Format(&i);
    m_engine.get_CID_BitTiming(&i);
    m_engine.get_TTY_FigsAfterSpace(&i);
    m_engine.get_Encoding(&i);
    m_engine.get_CID_Standard(&i);
    m_engine.get_CID_Alert(&i);
    m_engine.get_DTMF_Twist(&f);
    m_engine.get_TONE_ModulationDepth(&i);
    m_engine.get_TONE_LevelPerTone(&i);
    m_engine.get_TTY_Mode(nullptr);
    m_engine.get_TTY_Rate(nullptr);
    m_engine.get_Amplitude(nullptr);
    m_engine.get_DTMF_PauseTime(nullptr);
    m_engine.get_DTMF_BreakTime(nullptr);
    m_engine.get_DTMF_ToneTime(nullptr);
    m_engine.get_BitsPerSample(nullptr);
    m_engine.get_SampleRate(nullptr);
    m_engine.get_CID_Format(nullptr);
    m_engine.get_CID_BitTiming(nullptr);
    m_engine.get_TTY_FigsAfterSpace(nullptr);
    m_engine.get_Encoding(nullptr);
    m_engine.get_CID_Standard(nullptr);
    m_engine.get_CID_Alert(nullptr);
    m_engine.get_DTMF_Twist(nullptr);
    m_engine.get_TONE_ModulationDepth(nullptr);
    m_engine.GetErrMsg();
    m_engine.QueuedBytes();
}

}  // namespace Quorvex::VarnelNet::Fuzz
