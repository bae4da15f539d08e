#include "varnel/script/ScriptRun.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "varnel/engine/FailureRecord.h"
#include "varnel/engine/OutputFormat.h"
#include "varnel/platform/TextConversion.h"
#include "varnel/script/Level.h"
#include "varnel/script/Queue.h"
#include "varnel/script/RequestError.h"

namespace Quorvex::VarnelNet::Script {

namespace {

[[noreturn]] void Refuse(const Entry& entry, const std::string& reason) {
    throw RequestError(kNamesOptions, reason, entry.text, entry.index, entry.line);
}

// Applies an option's setting; the language has checked its value, so the engine takes it.
void ApplyOption(CVarnel& engine, const Set& setting) {
    const FailureRecord record;
    if (const HRESULT hr = SettingsCatalog::Apply(engine, *setting.spec, setting.value); FAILED(hr)) {
        throw RequestError(kNamesOptions, "{" + std::string(setting.spec->option) + "}: " + Literal(EngineReason(hr, record.Text())));
    }
}

const Set* AmplitudeSetting(const std::vector<Set>& settings) {
    for (const Set& s : settings) {
        if (s.spec == &SettingsCatalog::kAmplitude) return &s;
    }
    return nullptr;
}

// A twist that lifts the FSK space tone must keep it within full scale.
std::string CheckSpaceLevel(const Request& request, const SettingValues& settings, const Impairments& impairments) {
    if (impairments.fskTwistDb <= 0.0) return {};
    const bool callerId = std::holds_alternative<CallerId>(request) || std::holds_alternative<Vmwi>(request);
    const bool text = std::holds_alternative<Tty>(request) || std::holds_alternative<TtyHex>(request) ||
                      std::holds_alternative<TtyFile>(request);
    if (!text && !(callerId && settings.Integer(SettingsCatalog::kCidStandard) != CS_DTMF)) return {};
    const double amplitude = settings.Number(SettingsCatalog::kAmplitude);
    if (amplitude + impairments.fskTwistDb <= 0.0) return {};
    char reason[160];
    std::snprintf(reason, sizeof reason,
                  "{fsk-twist} %g puts the FSK space tone past full scale at an amplitude of %g dB: the mark may be at "
                  "most %g dB",
                  impairments.fskTwistDb, amplitude, -impairments.fskTwistDb);
    return reason;
}

}  // namespace

SampleFormat LinePcmOf(const SettingValues& settings) {
    const bool eightBit = settings.Integer(SettingsCatalog::kEncoding) == ENC_PCM && settings.Integer(SettingsCatalog::kBitsPerSample) == 8;
    return eightBit ? SampleFormat::U8 : SampleFormat::S16;
}

std::vector<Set> StartingSettings(const RenderOptions& options) {
    if (options.dbm0 && AmplitudeSetting(options.settings)) {
        throw RequestError(kNamesOptions, "{dbm0} and {amplitude} both set the level: give one");
    }
    std::vector<Set> settings = RenderDefaults();
    settings.insert(settings.end(), options.settings.begin(), options.settings.end());
    if (options.dbm0) {
        const std::vector<Set> level = Dbm0Settings(*options.dbm0);
        settings.insert(settings.end(), level.begin(), level.end());
    }
    return settings;
}

ScriptRun::ScriptRun(const RenderOptions& options, const Requests& requests, bool enginePcm, DebugLine debugLine)
    : m_engine(std::make_unique<CVarnel>()), m_debugLine(std::move(debugLine)) {
    if (m_debugLine) {
        m_engine->SetCallBack([this](void*, std::int32_t msg, std::uint64_t wparam, std::int64_t) {
            if (msg == MSG_DEBUG_TEXT) m_debugLine(Utf16ToUtf8(WideView(reinterpret_cast<const char16_t*>(wparam))));
            return 0;
        });
    }
    Queue(options, requests, enginePcm);
    if (options.labels) ExpectLabels();
}

ScriptRun::~ScriptRun() {
    m_engine->SetSymbolSink(nullptr);
    m_engine->Discard();
}

void ScriptRun::Queue(const RenderOptions& options, const Requests& requests, bool enginePcm) {
    CVarnel& engine = *m_engine;
    for (const Set& setting : StartingSettings(options)) ApplyOption(engine, setting);
    // The set: requests before the first signal shape the output's format.
    std::size_t next = 0;
    for (; next < requests.size() && IsSetting(requests[next].request); ++next) {
        if (options.dbm0 && std::get<Set>(requests[next].request).spec == &SettingsCatalog::kAmplitude) {
            Refuse(requests[next], "{dbm0} sets the level of every request");
        }
        QueueEntry(engine, requests[next], options.dbm0);
    }
    m_start = SettingValues::Of(engine);
    if (std::optional<Option::Refusal> refusal = CheckImpairments(options.impairments, m_start.Integer(SettingsCatalog::kSampleRate))) {
        throw Option::OptionRefused(std::move(*refusal));
    }
    if (enginePcm && m_start.Integer(SettingsCatalog::kEncoding) != ENC_PCM) {
        // G.711 carries the 16-bit samples: the line takes those, and its output stage encodes.
        engine.set_Encoding(ENC_PCM);
        engine.set_BitsPerSample(16);
    }
    engine.SetSignalDeviation(options.impairments.Deviation());
    {
        const FailureRecord record;
        if (const HRESULT hr = engine.GenerateBegin(nullptr); FAILED(hr)) throw RequestError(EngineReason(hr, record.Text()));
    }
    const std::uint64_t outputBytes = Format().nBlockAlign;
    m_engineBytesPerSample = enginePcm ? static_cast<std::uint64_t>(BytesPerSample(LinePcmOf(m_start))) : outputBytes;
    for (; next < requests.size(); ++next) {
        const Entry& entry = requests[next];
        if (const Set* set = std::get_if<Set>(&entry.request)) {
            if (set->spec->format) {
                Refuse(entry, "it comes after the first signal request: the output's format (rate, bits, encoding) can "
                              "only be set before it");
            }
            if (options.dbm0 && set->spec == &SettingsCatalog::kAmplitude) {
                Refuse(entry, "{dbm0} sets the level of every request");
            }
            QueueEntry(engine, entry, options.dbm0);
            continue;
        }
        MeasuredRequest measured;
        measured.entry = &entry;
        measured.settings = SettingValues::Of(engine);
        measured.bytesPerSecond = static_cast<double>(Format().nAvgBytesPerSec);
        if (const std::string refusal = CheckSpaceLevel(entry.request, measured.settings, options.impairments); !refusal.empty()) {
            Refuse(entry, refusal);
        }
        const std::int64_t before = engine.QueuedBytes();
        measured.ids = QueueEntry(engine, entry, options.dbm0);
        const std::uint64_t samples = static_cast<std::uint64_t>(engine.QueuedBytes() - before) / m_engineBytesPerSample;
        measured.bytes = samples * outputBytes;
        m_samples += samples;
        m_measured.push_back(std::move(measured));
    }
}

void ScriptRun::ExpectLabels() {
    m_labels = std::make_unique<LabelRecorder>();
    std::map<std::int32_t, const Entry*> entries;
    for (const MeasuredRequest& m : m_measured) {
        for (const std::int32_t id : m.ids) entries[id] = m.entry;
    }
    std::uint64_t byte = 0;
    for (const QueuedRequest& request : m_engine->QueuedRequests()) {
        if (const auto entry = entries.find(request.requestID); entry != entries.end()) {
            m_labels->Expect(request.requestID, *entry->second, byte / m_engineBytesPerSample);
        }
        byte += static_cast<std::uint64_t>(std::max<std::int64_t>(request.bytes, 0));
    }
    m_engine->SetSymbolSink(m_labels.get());
}

const std::vector<Label>& ScriptRun::Labels() const {
    static const std::vector<Label> kNone;
    return m_labels ? m_labels->Labels() : kNone;
}

WAVEFORMATEX ScriptRun::Format() const {
    return OutputWaveFormat(m_start.Integer(SettingsCatalog::kEncoding), m_start.Integer(SettingsCatalog::kBitsPerSample),
                            static_cast<std::uint32_t>(m_start.Integer(SettingsCatalog::kSampleRate)));
}

std::size_t ScriptRun::Pull(std::span<std::uint8_t> out) {
    const std::int32_t n = m_engine->ExecStreamRequest(out.data(), static_cast<std::int32_t>(std::min<std::size_t>(out.size(), INT32_MAX)));
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

}  // namespace Quorvex::VarnelNet::Script
