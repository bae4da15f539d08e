#include "varnel/script/Rendering.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "varnel/engine/FailureRecord.h"
#include "varnel/engine/OutputFormat.h"
#include "varnel/platform/TextConversion.h"
#include "varnel/script/Level.h"
#include "varnel/script/Queue.h"
#include "varnel/script/RequestError.h"
#include "varnel/wave/WaveHeader.h"

namespace Quorvex::VarnelNet::Script {

namespace {

[[noreturn]] void Refuse(const Entry& entry, const std::string& reason) {
    throw RequestError(reason, entry.text, entry.index, entry.line);
}

// Applies an option's setting; the language has checked its value, so the engine takes it.
void ApplyOption(CVarnel& engine, const Set& setting) {
    const FailureRecord record;
    if (const HRESULT hr = SettingsCatalog::Apply(engine, *setting.spec, setting.value); FAILED(hr)) {
        throw RequestError("--" + std::string(setting.spec->option) + ": " + EngineReason(hr, record.Text()));
    }
}

const Set* AmplitudeSetting(const std::vector<Set>& settings) {
    for (const Set& s : settings) {
        if (s.spec == &SettingsCatalog::kAmplitude) return &s;
    }
    return nullptr;
}

}  // namespace

std::vector<Set> StartingSettings(const RenderOptions& options) {
    if (options.dbm0 && AmplitudeSetting(options.settings)) {
        throw RequestError("--dbm0 and --amplitude both set the level: give one");
    }
    std::vector<Set> settings = RenderDefaults();
    settings.insert(settings.end(), options.settings.begin(), options.settings.end());
    if (options.dbm0) {
        const std::vector<Set> level = Dbm0Settings(*options.dbm0);
        settings.insert(settings.end(), level.begin(), level.end());
    }
    return settings;
}

Rendering::Rendering(const RenderOptions& options, const Requests& requests, DebugLine debugLine)
    : m_engine(std::make_unique<CVarnel>()), m_debugLine(std::move(debugLine)) {
    CVarnel& engine = *m_engine;
    if (m_debugLine) {
        engine.SetCallBack([this](void*, std::int32_t msg, std::uint64_t wparam, std::int64_t) {
            if (msg == MSG_DEBUG_TEXT) m_debugLine(Utf16ToUtf8(WideView(reinterpret_cast<const char16_t*>(wparam))));
            return 0;
        });
    }
    for (const Set& setting : StartingSettings(options)) ApplyOption(engine, setting);
    // The set: requests before the first signal shape the output's format.
    std::size_t next = 0;
    for (; next < requests.size() && IsSetting(requests[next].request); ++next) {
        if (options.dbm0 && std::get<Set>(requests[next].request).spec == &SettingsCatalog::kAmplitude) {
            Refuse(requests[next], "--dbm0 sets the level of every request");
        }
        QueueEntry(engine, requests[next], options.dbm0);
    }
    m_start = SettingValues::Of(engine);
    {
        const FailureRecord record;
        if (const HRESULT hr = engine.GenerateBegin(nullptr); FAILED(hr)) throw RequestError(EngineReason(hr, record.Text()));
    }
    for (; next < requests.size(); ++next) {
        const Entry& entry = requests[next];
        if (const Set* set = std::get_if<Set>(&entry.request)) {
            if (set->spec->format) {
                Refuse(entry, "it comes after the first signal request: the output's format (rate, bits, encoding) can "
                              "only be set before it");
            }
            if (options.dbm0 && set->spec == &SettingsCatalog::kAmplitude) {
                Refuse(entry, "--dbm0 sets the level of every request");
            }
            QueueEntry(engine, entry, options.dbm0);
            continue;
        }
        MeasuredRequest measured;
        measured.entry = &entry;
        measured.settings = SettingValues::Of(engine);
        measured.bytesPerSecond = BytesPerSecond();
        const std::int64_t before = engine.QueuedBytes();
        measured.ids = QueueEntry(engine, entry, options.dbm0);
        measured.bytes = static_cast<std::uint64_t>(engine.QueuedBytes() - before);
        m_total += measured.bytes;
        m_measured.push_back(std::move(measured));
    }
    if (options.labels) ExpectLabels();
}

void Rendering::ExpectLabels() {
    m_labels = std::make_unique<LabelRecorder>();
    std::map<std::int32_t, const Entry*> entries;
    for (const MeasuredRequest& m : m_measured) {
        for (const std::int32_t id : m.ids) entries[id] = m.entry;
    }
    const std::uint64_t bytesPerSample = Format().nBlockAlign;
    std::uint64_t byte = 0;
    for (const QueuedRequest& request : m_engine->QueuedRequests()) {
        if (const auto entry = entries.find(request.requestID); entry != entries.end()) {
            m_labels->Expect(request.requestID, *entry->second, byte / bytesPerSample);
        }
        byte += static_cast<std::uint64_t>(std::max<std::int64_t>(request.bytes, 0));
    }
    m_engine->SetSymbolSink(m_labels.get());
}

const std::vector<Label>& Rendering::Labels() const {
    static const std::vector<Label> kNone;
    return m_labels ? m_labels->Labels() : kNone;
}

Rendering::~Rendering() {
    m_engine->SetSymbolSink(nullptr);
    m_engine->Discard();
}

double Rendering::TotalSeconds() const {
    double seconds = 0.0;
    for (const MeasuredRequest& m : m_measured) seconds += m.Seconds();
    return seconds;
}

WAVEFORMATEX Rendering::Format() const {
    return OutputWaveFormat(m_start.Integer(SettingsCatalog::kEncoding), m_start.Integer(SettingsCatalog::kBitsPerSample),
                            static_cast<std::uint32_t>(m_start.Integer(SettingsCatalog::kSampleRate)));
}

double Rendering::BytesPerSecond() const {
    const WAVEFORMATEX format = Format();
    return static_cast<double>(format.nAvgBytesPerSec);
}

std::string Rendering::FormatText() const {
    std::string text = std::to_string(m_start.Integer(SettingsCatalog::kSampleRate)) + " Hz, ";
    switch (m_start.Integer(SettingsCatalog::kEncoding)) {
        case ENC_MuLaw: text += "G.711 mu-law"; break;
        case ENC_ALaw: text += "G.711 A-law"; break;
        default: text += std::to_string(m_start.Integer(SettingsCatalog::kBitsPerSample)) + "-bit"; break;
    }
    return text + " mono";
}

std::size_t Rendering::Pull(std::span<std::uint8_t> out) {
    const std::int32_t n = m_engine->ExecStreamRequest(out.data(), static_cast<std::int32_t>(std::min<std::size_t>(out.size(), INT32_MAX)));
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

std::int64_t DurationSamples(const Request& request, const SettingValues& settings) {
    CVarnel engine;
    settings.ApplyTo(engine);
    engine.GenerateBegin(nullptr);
    QueueEntry(engine, Entry{request, {}, 0, 0, {}});
    const WAVEFORMATEX format = OutputWaveFormat(settings.Integer(SettingsCatalog::kEncoding),
                                                 settings.Integer(SettingsCatalog::kBitsPerSample), 1);
    return engine.QueuedBytes() / format.nBlockAlign;
}

std::string CheckWaveSize(const Rendering& rendering) {
    const WaveHeader header(rendering.Format());
    if (rendering.TotalBytes() <= header.MaxDataBytes()) return "";
    return "the audio takes " + std::to_string(rendering.TotalBytes()) + " bytes, more than the " +
           std::to_string(header.MaxDataBytes()) + " that the size fields of a WAV file can describe";
}

void WriteWave(Rendering& rendering, const std::function<void(const std::uint8_t*, std::size_t)>& write,
               const std::function<void()>& betweenBlocks) {
    if (const std::string refusal = CheckWaveSize(rendering); !refusal.empty()) throw RequestError(refusal);
    const WaveHeader header(rendering.Format());
    const std::vector<std::uint8_t> head = header.Settled(rendering.TotalBytes());
    write(head.data(), head.size());
    std::vector<std::uint8_t> block(8192);
    std::uint64_t done = 0;
    for (;;) {
        if (betweenBlocks) betweenBlocks();
        const std::size_t n = rendering.Pull(block);
        if (n == 0) break;
        write(block.data(), n);
        done += n;
    }
    if (done != rendering.TotalBytes()) {
        throw std::logic_error("rendered " + std::to_string(done) + " bytes where " +
                               std::to_string(rendering.TotalBytes()) + " were measured");
    }
    if (WaveHeader::PadBytes(rendering.TotalBytes()) != 0) {
        const std::uint8_t pad = 0;
        write(&pad, 1);
    }
}

}  // namespace Quorvex::VarnelNet::Script
