// The extension module varnel._varnel: the component (as varnel.Varnel's base), its events, the
// exceptions, render/write_wav through the library's request language, and the SDL destination
// when built.
// Every call into the component runs without the GIL, so that a destination's threads and other
// Python threads can raise events and pull audio meanwhile.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "Errors.h"
#include "Handlers.h"
#include "Detect.h"
#include "Kit.h"
#include "Render.h"
#include "Rtp.h"
#include "varnel/Varnel.h"
#include "varnel/engine/SettingsCatalog.h"
#include "varnel/platform/Version.h"
#include "varnel/options/OptionRegistry.h"
#include "varnel/script/RequestError.h"
#include "varnel/script/SettingText.h"
#include "varnel/script/TextFiles.h"
#if VARNEL_HAVE_SONDIX
#include "sondix/SondixControl.h"
#endif

namespace py = pybind11;
using namespace Quorvex::VarnelNet;

namespace varnel_python {

namespace {

using NoGil = py::call_guard<py::gil_scoped_release>;

// A Varnel with the Python handlers of its two events. The component is destroyed without the
// GIL: unbinding a destination waits for its threads, which may be waiting for the GIL to call
// a handler.
class PyVarnel {
public:
    PyVarnel()
        : m_varnel(std::make_unique<Varnel>()),
          m_complete(std::make_shared<Handlers>("varnel.Varnel.on_complete handler")),
          m_debug(std::make_shared<Handlers>("varnel.Varnel.on_debug handler")) {
        auto complete = m_complete;
        m_varnel->OnComplete += Varnel::Delegate_OnComplete(
            [complete](Object&, const OnCompleteArgs& e) { complete->Raise(e.RequestID()); });
        auto debug = m_debug;
        m_varnel->OnDebug += Varnel::Delegate_OnDebug(
            [debug](Object&, const OnDebugArgs& e) { debug->Raise(e.InfoMsg(), e.RefCode()); });
    }
    ~PyVarnel() {
        py::gil_scoped_release nogil;
        m_varnel.reset();
    }
    PyVarnel(const PyVarnel&) = delete;
    PyVarnel& operator=(const PyVarnel&) = delete;

    Varnel& Get() { return *m_varnel; }
    std::shared_ptr<Handlers> OnComplete() const { return m_complete; }
    std::shared_ptr<Handlers> OnDebug() const { return m_debug; }

    // The samples FetchWaveStream writes are 16-bit PCM, or one byte each.
    bool Wide() { return m_varnel->Encoding() == ENC_PCM && m_varnel->BitsPerSample() == 16; }

private:
    std::unique_ptr<Varnel> m_varnel;
    std::shared_ptr<Handlers> m_complete;
    std::shared_ptr<Handlers> m_debug;
};

// A property of the component; enumerations travel as their integers (varnel/__init__.py turns
// them into IntEnums).
template <class T>
void Property(py::class_<PyVarnel>& cls, const char* name, T (Varnel::*get)() const, void (Varnel::*set)(T),
              const char* doc) {
    using Value = std::conditional_t<std::is_enum_v<T>, std::int32_t, T>;
    cls.def_property(
        name,
        py::cpp_function([get](PyVarnel& self) { return static_cast<Value>((self.Get().*get)()); }, NoGil()),
        py::cpp_function([set](PyVarnel& self, Value value) { (self.Get().*set)(static_cast<T>(value)); }, NoGil()),
        doc);
}

// fetch_wave_stream(nbytes): a new array of up to nbytes bytes of samples.
py::object FetchNew(PyVarnel& self, std::int64_t nbytes) {
    if (nbytes < 0 || nbytes > INT32_MAX) throw py::value_error("nbytes must be from 0 to 2147483647");
    bool wide = false;
    {
        py::gil_scoped_release nogil;
        wide = self.Wide();
    }
    py::array_t<std::uint8_t> bytes(static_cast<py::ssize_t>(nbytes));
    std::uint8_t* data = bytes.mutable_data();
    std::int32_t written = 0;
    {
        py::gil_scoped_release nogil;
        written = self.Get().FetchWaveStream(std::span<std::uint8_t>(data, static_cast<std::size_t>(nbytes)));
    }
    if (written < 0) return py::none();
    py::object samples = bytes[py::slice(0, written, 1)];
    return wide ? samples.attr("view")("int16") : samples;
}

// fetch_wave_stream(buffer, offset, count): into a writable C-contiguous buffer, without a copy.
py::object FetchInto(PyVarnel& self, const py::object& buffer, std::int32_t offset, std::optional<std::int32_t> count) {
    Py_buffer view;
    if (PyObject_GetBuffer(buffer.ptr(), &view, PyBUF_WRITABLE | PyBUF_C_CONTIGUOUS) != 0) throw py::error_already_set();
    std::int32_t written = 0;
    try {
        py::gil_scoped_release nogil;
        const std::span<std::uint8_t> span(static_cast<std::uint8_t*>(view.buf), static_cast<std::size_t>(view.len));
        const std::int64_t rest = std::min<std::int64_t>(view.len, INT32_MAX) - std::int64_t{offset};
        const auto whole = static_cast<std::int32_t>(std::clamp<std::int64_t>(rest, INT32_MIN, INT32_MAX));
        written = self.Get().FetchWaveStream(span, offset, count.value_or(whole));
    } catch (...) {
        PyBuffer_Release(&view);
        throw;
    }
    PyBuffer_Release(&view);
    if (written < 0) return py::none();
    return py::int_(written);
}

// A setting by any of its names (the property "SampleRate", the option "rate" or "sample-rate"
// with '_' for '-'), with a value as the tool takes it ("8000", "etsi", "ULAW").
Script::Set SettingOf(const std::string& name, const std::string& value) { return Script::ParseNamedSetting(name, value); }

void SetByName(PyVarnel& self, const std::string& name, const std::string& value) {
    const Script::Set setting = SettingOf(name, value);
    self.Get().Set(*setting.spec, setting.value);
}

// The option registry's rows that keyword arguments take (the settings', the impairments' and
// the RTP session's) as Python data: (keyword, target, kind, placeholder, default, help).
py::list OptionRows() {
    constexpr std::string_view kTargets[] = {"tool", "setting", "impairment", "session", "kit"};
    constexpr std::string_view kKinds[] = {"flag", "whole", "number", "keyword", "time", "address", "share", "compound", "text"};
    py::list rows;
    for (const Option::OptionRow* row : Option::All()) {
        if (row->target == Option::Target::Tool || row->target == Option::Target::Kit) continue;
        std::string keyword(row->name);
        std::replace(keyword.begin(), keyword.end(), '-', '_');
        rows.append(py::make_tuple(keyword, std::string(kTargets[static_cast<int>(row->target)]),
                                   std::string(kKinds[static_cast<int>(row->kind)]), std::string(row->placeholder),
                                   std::string(row->fallback), std::string(row->help)));
    }
    return rows;
}

// The catalog as Python data: (property, option, kind, keywords) per setting.
py::list Settings() {
    py::list rows;
    for (const SettingSpec* spec : SettingsCatalog::All()) {
        py::list words;
        for (const SettingKeyword& k : spec->keywords) words.append(py::make_tuple(std::string(k.word), k.value));
        rows.append(py::make_tuple(std::string(spec->name), std::string(spec->option), words));
    }
    return rows;
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

// The requests (a script as one text, or a list of requests) with their options and level,
// parsed by the library: the keyword arguments as (name, text) pairs through the option
// registry, into the job's settings and impairments and, where there is one, the session's
// options (which the session checks together). ttyfile: requests are read.
Render::Job JobOf(const py::object& requests, const Pairs& options, std::optional<float> dbm0,
                  Rtp::SessionOptions* session = nullptr) {
    Render::Job job;
    if (py::isinstance<py::str>(requests)) {
        const std::string script = requests.cast<std::string>();
        py::gil_scoped_release nogil;
        job.requests = Script::ParseScript(script);
    } else {
        const auto texts = requests.cast<std::vector<std::string>>();
        py::gil_scoped_release nogil;
        job.requests = Script::ParseEach(texts);
    }
    Option::ApplyOptions(job.options, session, options);
    job.options.dbm0 = dbm0;
    py::gil_scoped_release nogil;
    Script::LoadTextFiles(job.requests);
    return job;
}

// Called between blocks of a render that runs without the GIL: a pending signal (Ctrl-C)
// raises its exception (KeyboardInterrupt) and stops the render.
void CheckPythonSignals() {
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
}

py::array ToArray(RenderedAudio rendering) {
    auto* owner = new std::vector<std::uint8_t>(std::move(rendering.bytes));
    py::capsule free(owner, [](void* p) { delete static_cast<std::vector<std::uint8_t>*>(p); });
    if (rendering.wide) {
        return py::array_t<std::int16_t>(static_cast<py::ssize_t>(owner->size() / 2),
                                         reinterpret_cast<const std::int16_t*>(owner->data()), free);
    }
    return py::array_t<std::uint8_t>(static_cast<py::ssize_t>(owner->size()), owner->data(), free);
}

// A label as a dict with the keys of a line of `varnel --labels FILE.jsonl`.
py::dict LabelDict(const Script::Label& label) {
    py::dict d;
    d["request"] = label.position;
    d["kind"] = std::string(label.kind);
    d["symbol"] = std::string(Script::SymbolWord(label.symbol));
    d["start"] = label.first;
    d["end"] = label.end - 1;  // the last sample, as the label files write it
    if (!label.text.empty()) d["text"] = Script::Utf8Text(label.text);
    if (!label.hz.empty()) d["hz"] = label.hz;
    if (label.index >= 0) d["index"] = label.index;
    if (label.value >= 0) d["value"] = label.value;
    if (label.mixed) d["mix"] = true;
    if (!label.fields.empty()) {
        py::dict fields;
        for (const auto& [name, value] : label.fields) fields[py::str(name)] = Script::Utf8Text(value);
        d["fields"] = fields;
    }
    return d;
}

py::object RenderArray(const py::object& requests, const Pairs& options, std::optional<float> dbm0, std::uint64_t maxBytes,
                       bool labels) {
    Render::Job job = JobOf(requests, options, dbm0);
    job.options.labels = labels;
    RenderedAudio rendering;
    {
        py::gil_scoped_release nogil;
        rendering = RenderSamples(job, maxBytes, CheckPythonSignals);
    }
    py::list labelList;
    for (const Script::Label& label : rendering.labels) labelList.append(LabelDict(label));
    py::array audio = ToArray(std::move(rendering));
    if (!labels) return audio;
    return py::make_tuple(audio, labelList);
}

void WriteWav(const std::string& path, const py::object& requests, const Pairs& options, std::optional<float> dbm0) {
    const Render::Job job = JobOf(requests, options, dbm0);
    py::gil_scoped_release nogil;
    WriteWaveFile(job, path, CheckPythonSignals);
}

std::uint64_t WritePcap(const std::string& path, const py::object& requests, const Pairs& pairs, std::optional<float> dbm0) {
    Rtp::SessionOptions options;
    const Render::Job job = JobOf(requests, pairs, dbm0, &options);
    py::gil_scoped_release nogil;
    return WritePcapFile(job, options, path, CheckPythonSignals);
}

std::uint64_t SendRtpTo(const std::string& host, std::uint16_t port, const py::object& requests, const Pairs& pairs,
                        std::optional<float> dbm0) {
    Rtp::SessionOptions options;
    const Render::Job job = JobOf(requests, pairs, dbm0, &options);
    py::gil_scoped_release nogil;
    return SendRtp(job, options, host, port, CheckPythonSignals);
}

void BindVarnel(py::module_& m) {
    py::class_<PyVarnel> cls(m, "_Varnel",
        "The telephony signal component (Quorvex.VarnelNet.Varnel). Use varnel.Varnel.");
    cls.def(py::init<>());
    Property(cls, "cid_format", &Varnel::CID_Format, &Varnel::CID_Format, "CID_Format: Caller-ID layout (CidFormat).");
    Property(cls, "tty_rate", &Varnel::TTY_Rate, &Varnel::TTY_Rate, "TTY_Rate: TTY bit rate (BaudotRate).");
    Property(cls, "tty_mode", &Varnel::TTY_Mode, &Varnel::TTY_Mode, "TTY_Mode: TTY coding (TtyMode, or 3 and 4).");
    Property(cls, "dtmf_break_time", &Varnel::DTMF_BreakTime, &Varnel::DTMF_BreakTime, "DTMF_BreakTime: ms between keys.");
    Property(cls, "dtmf_tone_time", &Varnel::DTMF_ToneTime, &Varnel::DTMF_ToneTime, "DTMF_ToneTime: ms of each key.");
    Property(cls, "amplitude", &Varnel::Amplitude, &Varnel::Amplitude, "Amplitude: level in dB of full scale.");
    Property(cls, "dtmf_pause_time", &Varnel::DTMF_PauseTime, &Varnel::DTMF_PauseTime, "DTMF_PauseTime: ms of a ','.");
    Property(cls, "bits_per_sample", &Varnel::BitsPerSample, &Varnel::BitsPerSample, "BitsPerSample: 8 or 16.");
    Property(cls, "sample_rate", &Varnel::SampleRate, &Varnel::SampleRate, "SampleRate: Hz, 1 to 16777216.");
    Property(cls, "cid_bit_timing", &Varnel::CID_BitTiming, &Varnel::CID_BitTiming, "CID_BitTiming (CidBitTiming).");
    Property(cls, "tty_figs_after_space", &Varnel::TTY_FigsAfterSpace, &Varnel::TTY_FigsAfterSpace,
             "TTY_FigsAfterSpace: 0 or 1.");
    Property(cls, "encoding", &Varnel::Encoding, &Varnel::Encoding, "Encoding: PCM or G.711 (Encoding).");
    Property(cls, "cid_standard", &Varnel::CID_Standard, &Varnel::CID_Standard, "CID_Standard (CidStandard).");
    Property(cls, "cid_alert", &Varnel::CID_Alert, &Varnel::CID_Alert, "CID_Alert (CidAlert).");
    Property(cls, "dtmf_twist", &Varnel::DTMF_Twist, &Varnel::DTMF_Twist, "DTMF_Twist: dB, -20 to 20.");
    Property(cls, "tone_modulation_depth", &Varnel::TONE_ModulationDepth, &Varnel::TONE_ModulationDepth,
             "TONE_ModulationDepth: percent, 0 to 100.");
    Property(cls, "tone_level_per_tone", &Varnel::TONE_LevelPerTone, &Varnel::TONE_LevelPerTone,
             "TONE_LevelPerTone: 0 or 1; 1: Amplitude is every tone's level.");

    cls.def_property_readonly("on_complete", &PyVarnel::OnComplete,
        "OnComplete: handlers called as fn(request_id) once a request is rendered completely.");
    cls.def_property_readonly("on_debug", &PyVarnel::OnDebug,
        "OnDebug: handlers called as fn(message, ref_code) for each diagnostic line.");
    cls.def("set", &SetByName, py::arg("name"), py::arg("value"), NoGil(),
        "Set(SettingSpec, SettingValue): a setting by property name or tool option, value as text.");
    cls.def("generate_begin", [](PyVarnel& self) { self.Get().GenerateBegin(); }, NoGil(),
        "GenerateBegin(): starts a buffer stream generation.");
    cls.def("generate_begin", [](PyVarnel& self, const std::string& path) { self.Get().GenerateBegin(path); },
        py::arg("path"), NoGil(), "GenerateBegin(OutFileName): starts a generation into a WAV file.");
    cls.def("generate_end", [](PyVarnel& self) { self.Get().GenerateEnd(); }, NoGil(),
        "GenerateEnd(): renders what a file generation queued and closes it; a stream drops what is queued.");
    cls.def("generate_dtmfs", [](PyVarnel& self, const std::string& keys) { return self.Get().GenerateDTMFs(keys); },
        py::arg("keys"), NoGil(), "GenerateDTMFs(Keys) -> request id.");
    cls.def("generate_silence", [](PyVarnel& self, float ms) { return self.Get().GenerateSilence(ms); },
        py::arg("duration"), NoGil(), "GenerateSilence(Duration): ms -> request id.");
    cls.def("generate_tone",
        [](PyVarnel& self, std::int32_t on, std::int32_t off, float f1, float f2, float f3) {
            return self.Get().GenerateTone(on, off, f1, f2, f3);
        },
        py::arg("on_time"), py::arg("off_time"), py::arg("frequency1"), py::arg("frequency2") = 0.0f,
        py::arg("frequency3") = 0.0f, NoGil(), "GenerateTone(OnTime, OffTime, Frequency1, Frequency2, Frequency3).");
    cls.def("generate_tty", [](PyVarnel& self, const std::string& text) { return self.Get().GenerateTTY(text); },
        py::arg("text"), NoGil(), "GenerateTTY(Text) -> request id.");
    cls.def("generate_tty_ex",
        [](PyVarnel& self, const py::bytes& data) {
            const std::string bytes = data;
            py::gil_scoped_release nogil;
            return self.Get().GenerateTTYEx(
                std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
        },
        py::arg("data"), "GenerateTTYEx(BinaryData): the bytes up to the first zero -> request id.");
    cls.def("generate_caller_id",
        [](PyVarnel& self, const std::string& number, const std::string& name, const std::string& dateTime,
           std::int32_t numberAbsence, std::int32_t nameAbsence) {
            return self.Get().GenerateCallerID(number, name, dateTime, static_cast<CallerIdAbsence>(numberAbsence),
                                               static_cast<CallerIdAbsence>(nameAbsence));
        },
        py::arg("number"), py::arg("name") = "", py::arg("date_time") = "", py::arg("number_absence") = 0,
        py::arg("name_absence") = 0, NoGil(),
        "GenerateCallerID(Number, Name, DataTime, NumberAbsence, NameAbsence) -> request id.");
    cls.def("generate_vmwi", [](PyVarnel& self, bool active) { return self.Get().GenerateVMWI(active); },
        py::arg("active"), NoGil(), "GenerateVMWI(Active) -> request id.");
    cls.def("generate_mf", [](PyVarnel& self, const std::string& keys) { return self.Get().GenerateMF(keys); },
        py::arg("keys"), NoGil(), "GenerateMF(Keys): R1 signals -> request id.");
    cls.def("generate_r2mf",
        [](PyVarnel& self, const std::string& signals, bool backward) { return self.Get().GenerateR2MF(signals, backward); },
        py::arg("signals"), py::arg("backward") = false, NoGil(), "GenerateR2MF(Signals, Backward) -> request id.");
    cls.def("generate_pattern",
        [](PyVarnel& self, const std::string& pattern, std::int32_t ms) { return self.Get().GeneratePattern(pattern, ms); },
        py::arg("pattern"), py::arg("duration_ms"), NoGil(), "GeneratePattern(Pattern, DurationMs) -> request id.");
    cls.def("generate_tone_plan",
        [](PyVarnel& self, const std::string& country, const std::string& tone, std::int32_t ms) {
            return self.Get().GenerateTonePlan(country, tone, ms);
        },
        py::arg("country"), py::arg("tone"), py::arg("duration_ms") = 4000, NoGil(),
        "GenerateTonePlan(Country, Tone, DurationMs) -> request id.");
    cls.def("generate_sit", [](PyVarnel& self, const std::string& code) { return self.Get().GenerateSIT(code); },
        py::arg("code"), NoGil(), "GenerateSIT(Code) -> request id.");
    cls.def("generate_modem_tone",
        [](PyVarnel& self, std::int32_t kind, std::int32_t ms) {
            return self.Get().GenerateModemTone(static_cast<MODEM_TONE>(kind), ms);
        },
        py::arg("kind"), py::arg("duration_ms") = 3300, NoGil(), "GenerateModemTone(Kind, DurationMs) -> request id.");
    cls.def_property_readonly("queued_bytes", py::cpp_function([](PyVarnel& self) { return self.Get().QueuedBytes(); }, NoGil()),
        "QueuedBytes: bytes queued and not yet rendered, known without rendering them.");
    cls.def("generate_script", [](PyVarnel& self, const std::string& script) { return self.Get().GenerateScript(script); },
        py::arg("script"), NoGil(),
        "GenerateScript(Text) -> list of request ids: every request of a script in the tool's notation "
        "(\"dtmf:555 silence:200 plan:uk:busy:3000\"); a script with any refused request queues nothing.");
    cls.def("fetch_wave_stream", &FetchNew, py::arg("nbytes"),
        "FetchWaveStream(AudioData): up to nbytes of samples as a new numpy array (int16 for 16-bit PCM, "
        "else uint8); empty when nothing is queued (or nbytes <= 100), None when no generation runs.");
    cls.def("fetch_wave_stream", &FetchInto, py::arg("buffer"), py::arg("offset") = 0, py::arg("count") = py::none(),
        "FetchWaveStream(AudioData, Offset, Count): into a writable buffer (bytearray, numpy array) without a "
        "copy; returns the bytes written, or None when no generation runs.");
    cls.def("dispose", [](PyVarnel& self) { self.Get().Dispose(); }, NoGil(),
        "Dispose(): unbinds the destination and releases the engine.");
    cls.def("__repr__", [](PyVarnel& self) { return "<" + self.Get().ToString() + ">"; });
#if VARNEL_HAVE_SONDIX
    cls.def("_set_destination",
        [](PyVarnel& self, std::shared_ptr<Quorvex::SondixNet::SondixControl> control) {
            self.Get().Destination(std::move(control));
        },
        py::arg("control").none(true), NoGil());
#endif
}

#if VARNEL_HAVE_SONDIX
// Destroys a control without the GIL: closing it joins threads that may wait for the GIL.
struct ReleasingDelete {
    void operator()(Quorvex::SondixNet::SondixControl* control) const {
        if (PyGILState_Check()) {
            py::gil_scoped_release nogil;
            delete control;
        } else {
            delete control;
        }
    }
};

void BindSondix(py::module_& m) {
    using Quorvex::SondixNet::SondixControl;
    py::class_<SondixControl, std::shared_ptr<SondixControl>>(m, "SondixControl",
        "Quorvex.SondixNet.SondixControl: plays a bound Varnel through SDL2 audio (SDL_AUDIODRIVER applies).")
        .def(py::init([](std::int32_t rate, std::int32_t bits, std::optional<std::string> driver,
                         std::uint16_t samplesPerBuffer) {
                 SondixControl::Options options{rate, bits, driver ? driver->c_str() : nullptr, samplesPerBuffer};
                 py::gil_scoped_release nogil;
                 return std::shared_ptr<SondixControl>(new SondixControl(options), ReleasingDelete());
             }),
             py::arg("rate") = 8000, py::arg("bits") = 16, py::arg("driver") = py::none(),
             py::arg("samples_per_buffer") = 1024)
        .def_property_readonly("is_playing", &SondixControl::IsPlaying, "IsPlaying()")
        .def_property_readonly("error", &SondixControl::Error, "Error()")
        .def_property_readonly("driver", &SondixControl::Driver, "Driver()")
        .def("wait_until_drained",
             [](SondixControl& control, double seconds) {
                 return control.WaitUntilDrained(std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000.0)));
             },
             py::arg("timeout"), NoGil(), "WaitUntilDrained(timeout): timeout in seconds.")
        .def("__repr__", [](SondixControl& control) { return "<" + control.ToString() + ">"; });
}
#endif

}  // namespace

}  // namespace varnel_python

PYBIND11_MODULE(_varnel, m) {
    using namespace varnel_python;
    m.doc() = "varnel: telephony signal synthesis (the extension behind the varnel package)";
    RegisterErrors(m);
    RegisterHandlers(m);
    BindVarnel(m);
#if VARNEL_HAVE_SONDIX
    BindSondix(m);
    m.attr("HAVE_SONDIX") = true;
#else
    m.attr("HAVE_SONDIX") = false;
#endif
    m.attr("__version__") = kVarnelVersion;
    m.attr("E_INVALIDARG") = py::int_(static_cast<std::int32_t>(E_INVALIDARG));
    m.attr("E_FAIL") = py::int_(static_cast<std::int32_t>(E_FAIL));
    m.def("_render", &RenderArray, py::arg("requests"), py::arg("options"), py::arg("dbm0"), py::arg("max_bytes"),
          py::arg("labels"));
    m.def("_write_wav", &WriteWav, py::arg("path"), py::arg("requests"), py::arg("options"), py::arg("dbm0"));
    m.def("_write_pcap", &WritePcap, py::arg("path"), py::arg("requests"), py::arg("options"), py::arg("dbm0"));
    m.def("_send_rtp", &SendRtpTo, py::arg("host"), py::arg("port"), py::arg("requests"), py::arg("options"), py::arg("dbm0"));
    m.def("_options", &OptionRows);
    m.def("_settings", &Settings);
    m.def("_suite", &WriteSuiteFolder, py::arg("name"), py::arg("folder"), py::arg("seed"), py::arg("shard"), py::arg("shards"),
          py::arg("encoding"), py::arg("families"), py::arg("repeat"));
    m.def("_score", &ScoreFolderJson, py::arg("folder"), py::arg("receiver"), py::arg("pattern"), py::arg("families"),
          py::arg("timeout"), py::arg("key_map"), py::arg("jobs"));
    m.def("_detect", &HeardJson, py::arg("samples"), py::arg("rate"));
    py::class_<KeyListener>(m, "_KeyListener")
        .def(py::init<int>(), py::arg("rate"))
        .def("feed", &KeyListener::Feed, py::arg("samples"))
        .def("finish", &KeyListener::Finish);
    py::class_<TextListener>(m, "_TextListener")
        .def(py::init<int>(), py::arg("rate"))
        .def("feed", &TextListener::Feed, py::arg("samples"))
        .def("finish", &TextListener::Finish);
    py::class_<CallerIdListener>(m, "_CallerIdListener")
        .def(py::init<int, std::optional<std::string>>(), py::arg("rate"), py::arg("standard"))
        .def("feed", &CallerIdListener::Feed, py::arg("samples"))
        .def("finish", &CallerIdListener::Finish);
    py::class_<ToneListener>(m, "_ToneListener")
        .def(py::init<int>(), py::arg("rate"))
        .def("feed", &ToneListener::Feed, py::arg("samples"))
        .def("finish", &ToneListener::Finish);
    m.def("_score_shard", &ScoreShard, py::arg("folder"), py::arg("receiver"), py::arg("pattern"), py::arg("families"),
          py::arg("timeout"), py::arg("key_map"), py::arg("jobs"), py::arg("shard"), py::arg("shards"));
    m.def("_score_outcomes", &ScoreOutcomesJson, py::arg("folder"), py::arg("receiver"), py::arg("pattern"), py::arg("families"),
          py::arg("key_map"), py::arg("outcomes"));
    m.def("_corpus", &WriteCorpusFolder, py::arg("recipe"), py::arg("folder"), py::arg("shard"), py::arg("shards"));
    m.def("_keyword_of", [](const std::string& option, std::int32_t value) {
        const SettingSpec* spec = Script::FindSetting(option);
        return spec ? std::string(SettingsCatalog::KeywordOf(*spec, value)) : std::string();
    });
}
