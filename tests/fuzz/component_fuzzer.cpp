// The component's UTF-8 entry points with arbitrary bytes, driven by a script (FuzzScript.h):
//
//   settings   rate N, bits N, encoding N, amp F, tone-time N, break-time N, pause-time N,
//              twist F, tty-mode N, tty-rate N, figs N, cid-format N, cid-timing N,
//              cid-standard N, cid-alert N, depth N, set OPTION INTEGER NUMBER (Set with the
//              catalog row of that tool option name)
//   generation begin (a buffer stream), end, dispose
//   destination dest TEXT (an object whose text form is TEXT; ~: null), destbox KIND VALUE (a
//              boxed i(nt32), l(ong), f(loat), d(ouble), b(ool) or s(tring)), destadapter TEXT
//              (a control named TEXT with no object behind it), destsource TAG CHANNELS RATE
//              BITS (a Sondix control whose destination lends no window and plays that format)
//   requests   dtmf TEXT, tty TEXT, ttyex BYTES, cid NUMBER|NAME|DATETIME, tone ON OFF F1 F2 F3,
//              silence F, cidex NUMBERABSENCE NAMEABSENCE NUMBER|NAME|DATETIME, vmwi N, mf KEYS,
//              r2mf BACKWARD SIGNALS, pattern MS PATTERN, plan MS COUNTRY|TONE, sit CODE,
//              modem KIND MS
//   pulls      fetch N (FetchWaveStream on exactly N bytes), fetch3 SIZE OFFSET COUNT, drain
//   queries    get (every property), queued
//   handlers   ondone COMMAND, ondebug COMMAND: run COMMAND from the OnComplete or OnDebug
//              handler (not from inside a handler; a few times)
//
// Texts are bytes (\xHH, \uHHHH as UTF-8, surrogates too). The component's exceptions are
// expected outcomes; anything else escaping is a finding.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Drain.h"
#include "FuzzScript.h"
#include "varnel/Varnel.h"
#include "varnel/engine/SettingsCatalog.h"

namespace {

using namespace Quorvex::VarnelNet;
using Fuzz::Bytes;
using Fuzz::Field;
using Fuzz::Float;
using Fuzz::Int32;

constexpr std::size_t kMaxCommands = 256;
constexpr std::int64_t kMaxPullBytes = 4 << 20;
constexpr int kMaxPulls = 64;
constexpr int kMaxRequests = 32;
constexpr int kMaxHandlerRuns = 16;

// An object of the host's whose text form is given.
class NamedObject : public Object {
public:
    explicit NamedObject(std::string name) : m_name(std::move(name)) {}
    std::string ToString() const override { return m_name; }

private:
    std::string m_name;
};

// A destination control: its text form and the object behind it.
class Control : public NamedObject, public ICustomAdapter {
public:
    Control(std::string name, std::shared_ptr<Object> underlying)
        : NamedObject(std::move(name)), m_underlying(std::move(underlying)) {}
    std::shared_ptr<Object> GetUnderlyingObject() override { return m_underlying; }

private:
    std::shared_ptr<Object> m_underlying;
};

// A destination that lends no message window (so binding it is refused, and it stays bound)
// and plays the given format, announced from an odd address.
class WindowlessSource : public CAudioDataSource {
public:
    explicit WindowlessSource(const WAVEFORMATEX& format) { std::memcpy(m_bytes + 1, &format, sizeof format); }
    std::int32_t get_RecordFormatEx() override { return 0; }
    std::int32_t set_EventHandle(std::intptr_t, std::intptr_t) override { return 0; }
    bool set_Owner(std::shared_ptr<Object>) override { return true; }
    const WAVEFORMATEX* get_PlayFormatEx() override { return reinterpret_cast<const WAVEFORMATEX*>(m_bytes + 1); }
    std::int32_t set_DestEventhande(void*, DataCallback) override { return 0; }
    HWND get_MsgWinHandle() override { return nullptr; }
    std::int32_t InternalMsg(std::int32_t, std::int32_t, std::int32_t) override { return 0; }

private:
    alignas(8) unsigned char m_bytes[1 + sizeof(WAVEFORMATEX)] = {};
};

std::shared_ptr<Object> Boxed(std::string_view kind, std::string_view value) {
    if (kind == "i") return Box(Int32(value));
    if (kind == "l") return Box(std::int64_t{Int32(value)} * 4294967296);
    if (kind == "f") return Box(Float(value));
    if (kind == "d") return Box(static_cast<double>(Float(value)));
    if (kind == "b") return Box(Int32(value) != 0);
    return Box(Bytes(value));
}

class ComponentScript {
public:
    ComponentScript() {
        m_varnel.OnComplete += m_onComplete;
        m_varnel.OnDebug += m_onDebug;
    }

    void Run(const Fuzz::Command& c) {
        try {
            if (!RunSetting(c) && !RunRequest(c)) RunOther(c);
        } catch (const Exception&) {
            // The component refused: an outcome, not a finding.
        }
    }

private:
    bool RunSetting(const Fuzz::Command& c) {
        const std::string_view a = c.args;
        if (c.word == "rate") {
            m_varnel.SampleRate(Int32(a));
        } else if (c.word == "bits") {
            m_varnel.BitsPerSample(Int32(a));
        } else if (c.word == "amp") {
            m_varnel.Amplitude(Float(a));
        } else if (c.word == "tone-time") {
            m_varnel.DTMF_ToneTime(Int32(a));
        } else if (c.word == "break-time") {
            m_varnel.DTMF_BreakTime(Int32(a));
        } else if (c.word == "pause-time") {
            m_varnel.DTMF_PauseTime(Int32(a));
        } else if (c.word == "tty-mode") {
            m_varnel.TTY_Mode(static_cast<TTY_MODE>(Int32(a)));
        } else if (c.word == "tty-rate") {
            m_varnel.TTY_Rate(static_cast<BAUDOT_RATE>(Int32(a)));
        } else if (c.word == "cid-format") {
            m_varnel.CID_Format(static_cast<CID_FORMAT>(Int32(a)));
        } else if (c.word == "cid-timing") {
            m_varnel.CID_BitTiming(static_cast<CID_BIT_TIMING>(Int32(a)));
        } else if (c.word == "figs") {
            m_varnel.TTY_FigsAfterSpace(Int32(a));
        } else if (c.word == "encoding") {
            m_varnel.Encoding(static_cast<ENCODING_TYPE>(Int32(a)));
        } else if (c.word == "cid-standard") {
            m_varnel.CID_Standard(static_cast<CID_STANDARD>(Int32(a)));
        } else if (c.word == "cid-alert") {
            m_varnel.CID_Alert(static_cast<CID_ALERT>(Int32(a)));
        } else if (c.word == "twist") {
            m_varnel.DTMF_Twist(Float(a));
        } else if (c.word == "depth") {
            m_varnel.TONE_ModulationDepth(Int32(a));
        } else if (c.word == "set") {
            if (const SettingSpec* setting = SettingsCatalog::ByOption(Field(a, 0))) {
                m_varnel.Set(*setting, SettingValue{Int32(Field(a, 1)), Float(Field(a, 2))});
            }
        } else {
            return false;
        }
        return true;
    }

    bool RunRequest(const Fuzz::Command& c) {
        const std::string_view a = c.args;
        const bool known = c.word == "dtmf" || c.word == "tty" || c.word == "ttyex" || c.word == "cid" ||
                           c.word == "tone" || c.word == "silence" || c.word == "cidex" || c.word == "vmwi" ||
                           c.word == "mf" || c.word == "r2mf" || c.word == "pattern" || c.word == "plan" ||
                           c.word == "sit" || c.word == "modem";
        if (!known) return false;
        if (m_requests++ >= kMaxRequests) return true;
        if (c.word == "dtmf") {
            m_varnel.GenerateDTMFs(Bytes(a));
        } else if (c.word == "tty") {
            m_varnel.GenerateTTY(Bytes(a));
        } else if (c.word == "ttyex") {
            const std::string bytes = Bytes(a);
            const std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
            m_varnel.GenerateTTYEx(data);
        } else if (c.word == "cid") {
            const std::vector<std::string_view> f = Fuzz::Fields(a, '|');
            m_varnel.GenerateCallerID(Bytes(f[0]), f.size() > 1 ? Bytes(f[1]) : "", f.size() > 2 ? Bytes(f[2]) : "");
        } else if (c.word == "tone") {
            m_varnel.GenerateTone(Int32(Field(a, 0)), Int32(Field(a, 1)), Float(Field(a, 2)), Float(Field(a, 3)),
                                  Float(Field(a, 4)));
        } else if (c.word == "silence") {
            m_varnel.GenerateSilence(Float(a));
        } else if (c.word == "cidex") {
            const std::vector<std::string_view> f = Fuzz::Fields(Fuzz::Rest(a, 2), '|');
            m_varnel.GenerateCallerID(Bytes(f[0]), f.size() > 1 ? Bytes(f[1]) : "", f.size() > 2 ? Bytes(f[2]) : "",
                                      static_cast<CallerIdAbsence>(Int32(Field(a, 0))),
                                      static_cast<CallerIdAbsence>(Int32(Field(a, 1))));
        } else if (c.word == "vmwi") {
            m_varnel.GenerateVMWI(Int32(a) != 0);
        } else if (c.word == "mf") {
            m_varnel.GenerateMF(Bytes(a));
        } else if (c.word == "r2mf") {
            m_varnel.GenerateR2MF(Bytes(Fuzz::Rest(a, 1)), Int32(Field(a, 0)) != 0);
        } else if (c.word == "pattern") {
            m_varnel.GeneratePattern(Bytes(Fuzz::Rest(a, 1)), Int32(Field(a, 0)));
        } else if (c.word == "plan") {
            const std::vector<std::string_view> f = Fuzz::Fields(Fuzz::Rest(a, 1), '|');
            m_varnel.GenerateTonePlan(Bytes(f[0]), f.size() > 1 ? Bytes(f[1]) : "", Int32(Field(a, 0)));
        } else if (c.word == "sit") {
            m_varnel.GenerateSIT(Bytes(a));
        } else {
            m_varnel.GenerateModemTone(static_cast<MODEM_TONE>(Int32(Field(a, 0))), Int32(Field(a, 1)));
        }
        return true;
    }

    void RunOther(const Fuzz::Command& c) {
        const std::string_view a = c.args;
        if (c.word == "begin") {
            m_varnel.GenerateBegin();
        } else if (c.word == "end") {
            m_varnel.GenerateEnd();
        } else if (c.word == "dispose") {
            m_varnel.Dispose();
        } else if (c.word == "dest") {
            m_varnel.Destination(Fuzz::IsNull(a) ? nullptr : std::make_shared<NamedObject>(Bytes(a)));
        } else if (c.word == "destbox") {
            const std::shared_ptr<Object> boxed = Boxed(Field(a, 0), Fuzz::Rest(a, 1));
            boxed->ToString();
            m_varnel.Destination(boxed);
        } else if (c.word == "destadapter") {
            m_varnel.Destination(std::make_shared<Control>(Bytes(a), nullptr));
        } else if (c.word == "destsource") {
            WAVEFORMATEX format{};
            format.wFormatTag = static_cast<std::uint16_t>(Int32(Field(a, 0)));
            format.nChannels = static_cast<std::uint16_t>(Int32(Field(a, 1)));
            format.nSamplesPerSec = Fuzz::UInt32(Field(a, 2));
            format.wBitsPerSample = static_cast<std::uint16_t>(Int32(Field(a, 3)));
            m_varnel.Destination(std::make_shared<Control>(kSondixControlTypeName, std::make_shared<WindowlessSource>(format)));
        } else if (c.word == "fetch") {
            std::int32_t size = Int32(a);
            if (!m_budget.Take(&size)) return;
            std::vector<std::uint8_t> buffer(size > 0 ? static_cast<std::size_t>(size) : 0);
            const std::int32_t n = m_varnel.FetchWaveStream(buffer);
            Fuzz::Require(n >= -1 && n <= std::max(size, 0), "FetchWaveStream reported more bytes than it was offered");
        } else if (c.word == "fetch3") {
            std::int32_t size = Int32(Field(a, 0));
            if (!m_budget.Take(&size)) return;
            std::vector<std::uint8_t> buffer(size > 0 ? static_cast<std::size_t>(size) : 0);
            const std::int32_t count = Int32(Field(a, 2));
            const std::int32_t n = m_varnel.FetchWaveStream(buffer, Int32(Field(a, 1)), count);
            Fuzz::Require(n >= -1 && n <= std::max(count, 0), "FetchWaveStream reported more bytes than it was offered");
        } else if (c.word == "get") {
            m_varnel.CID_Format();
            m_varnel.TTY_Rate();
            m_varnel.TTY_Mode();
            m_varnel.DTMF_BreakTime();
            m_varnel.DTMF_ToneTime();
            m_varnel.Amplitude();
            m_varnel.DTMF_PauseTime();
            m_varnel.BitsPerSample();
            m_varnel.SampleRate();
            m_varnel.CID_BitTiming();
            m_varnel.TTY_FigsAfterSpace();
            m_varnel.Encoding();
            m_varnel.CID_Standard();
            m_varnel.CID_Alert();
            m_varnel.DTMF_Twist();
            m_varnel.TONE_ModulationDepth();
            m_varnel.QueuedBytes();
        } else if (c.word == "drain") {
            Fuzz::Drain(m_varnel, m_budget, m_onDoneCommand.empty() && m_onDebugCommand.empty());
        } else if (c.word == "queued") {
            m_varnel.QueuedBytes();
        } else if (c.word == "ondone") {
            if (!m_inHandler) m_onDoneCommand = std::string(a);
        } else if (c.word == "ondebug") {
            if (!m_inHandler) m_onDebugCommand = std::string(a);
        }
    }

    void RunHandler(const std::string& command) {
        if (command.empty() || m_inHandler || m_handlerRuns >= kMaxHandlerRuns) return;
        ++m_handlerRuns;
        m_inHandler = true;
        Run(Fuzz::ParseCommand(command));
        m_inHandler = false;
    }

    Fuzz::PullBudget m_budget{kMaxPullBytes, kMaxPulls};
    int m_requests = 0;
    std::string m_onDoneCommand;
    std::string m_onDebugCommand;
    int m_handlerRuns = 0;
    bool m_inHandler = false;
    Varnel::Delegate_OnComplete m_onComplete{[this](Object&, const OnCompleteArgs&) { RunHandler(m_onDoneCommand); }};
    Varnel::Delegate_OnDebug m_onDebug{[this](Object&, const OnDebugArgs& e) {
        Fuzz::Require(e.InfoMsg().size() < 3 * 2048, "diagnostic line longer than 2047 characters");
        RunHandler(m_onDebugCommand);
    }};
    // Last, so that it is destroyed first, while the handlers' state still exists.
    Varnel m_varnel;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ComponentScript script;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const Fuzz::Command& command : Fuzz::ParseScript(text, kMaxCommands)) script.Run(command);
    return 0;
}
