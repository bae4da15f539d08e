#include "varnel/script/Rendering.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <stdexcept>

#include "varnel/engine/FailureRecord.h"
#include "varnel/engine/OutputFormat.h"
#include "varnel/platform/TextConversion.h"
#include "varnel/script/Level.h"
#include "varnel/script/Queue.h"
#include "varnel/script/PcmPuller.h"
#include "varnel/script/RequestError.h"
#include "varnel/script/SoundingSpans.h"
#include "varnel/signal/OutputStage.h"
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

// The PCM the engines render for the line: 8-bit for 8-bit output, otherwise 16-bit (G.711
// carries the 16-bit samples).
SampleFormat PcmOf(const SettingValues& settings) {
    const bool eightBit = settings.Integer(SettingsCatalog::kEncoding) == ENC_PCM && settings.Integer(SettingsCatalog::kBitsPerSample) == 8;
    return eightBit ? SampleFormat::U8 : SampleFormat::S16;
}

// The mixed script renders with the first script's settings and format, at its own level or
// else at the first script's.
RenderOptions MixOptions(const RenderOptions& options, const SettingValues& start) {
    for (const Entry& entry : options.mix->requests) {
        const Set* set = std::get_if<Set>(&entry.request);
        if (set && set->spec->format) {
            throw RequestError("--mix: request " + std::to_string(entry.index) + " '" + entry.text +
                               "': the mixed script takes the first script's format (rate, bits, encoding)");
        }
    }
    RenderOptions mix;
    mix.dbm0 = options.mix->dbm0 ? options.mix->dbm0 : options.dbm0;
    for (const Set& setting : options.settings) {
        if (!(mix.dbm0 && setting.spec == &SettingsCatalog::kAmplitude)) mix.settings.push_back(setting);
    }
    for (const SettingSpec* spec : {&SettingsCatalog::kSampleRate, &SettingsCatalog::kBitsPerSample, &SettingsCatalog::kEncoding}) {
        mix.settings.push_back(Set{spec, start.Get(*spec)});
    }
    mix.labels = options.labels;
    return mix;
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
                  "--fsk-twist %g puts the FSK space tone past full scale at an amplitude of %g dB: the mark may be at "
                  "most %g dB",
                  impairments.fskTwistDb, amplitude, -impairments.fskTwistDb);
    return reason;
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

// The line between the engines and the output: the script's PCM and the mixed script's,
// summed, impaired, and written in the output format.
struct Rendering::Line {
    static constexpr std::size_t kBlockSamples = 4096;

    std::unique_ptr<Rendering> mix;
    std::optional<PcmPuller> script;
    std::optional<PcmPuller> mixed;
    std::optional<VarnelNet::Line> line;
    SampleFormat output = SampleFormat::S16;
    std::uint64_t samplesLeft = 0;
    std::vector<double> sum = std::vector<double>(kBlockSamples);
    std::vector<double> under = std::vector<double>(kBlockSamples);
};

Rendering::Rendering(const RenderOptions& options, const Requests& requests, DebugLine debugLine)
    : Rendering(options, requests, std::move(debugLine), false) {}

Rendering::Rendering(const RenderOptions& options, const Requests& requests, DebugLine debugLine, bool pcm)
    : m_engine(std::make_unique<CVarnel>()), m_debugLine(std::move(debugLine)) {
    if (m_debugLine) {
        m_engine->SetCallBack([this](void*, std::int32_t msg, std::uint64_t wparam, std::int64_t) {
            if (msg == MSG_DEBUG_TEXT) m_debugLine(Utf16ToUtf8(WideView(reinterpret_cast<const char16_t*>(wparam))));
            return 0;
        });
    }
    const bool line = pcm || options.impairments.OnTheLine() || options.mix.has_value();
    Queue(options, requests, line);
    if (options.labels) ExpectLabels();
    if (line) StartLine(options, requests, pcm);
}

void Rendering::Queue(const RenderOptions& options, const Requests& requests, bool line) {
    CVarnel& engine = *m_engine;
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
    if (std::optional<Option::Refusal> refusal = CheckImpairments(options.impairments, m_start.Integer(SettingsCatalog::kSampleRate))) {
        throw Option::OptionRefused(std::move(*refusal));
    }
    if (line && m_start.Integer(SettingsCatalog::kEncoding) != ENC_PCM) {
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
    m_engineBytesPerSample = line ? static_cast<std::uint64_t>(BytesPerSample(PcmOf(m_start))) : outputBytes;
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
        if (const std::string refusal = CheckSpaceLevel(entry.request, measured.settings, options.impairments); !refusal.empty()) {
            Refuse(entry, refusal);
        }
        const std::int64_t before = engine.QueuedBytes();
        measured.ids = QueueEntry(engine, entry, options.dbm0);
        measured.bytes = static_cast<std::uint64_t>(engine.QueuedBytes() - before) / m_engineBytesPerSample * outputBytes;
        m_total += measured.bytes;
        m_measured.push_back(std::move(measured));
    }
}

void Rendering::StartLine(const RenderOptions& options, const Requests& requests, bool pcm) {
    m_line = std::make_unique<Line>();
    Line& line = *m_line;
    const SampleFormat pcmFormat = PcmOf(m_start);
    line.output = pcm ? pcmFormat : OutputSampleFormat(m_start.Integer(SettingsCatalog::kEncoding), m_start.Integer(SettingsCatalog::kBitsPerSample));
    std::uint64_t samples = m_total / Format().nBlockAlign;
    if (options.mix) {
        line.mix.reset(new Rendering(MixOptions(options, m_start), options.mix->requests, DebugLine(), true));
        samples = std::max(samples, line.mix->TotalBytes() / static_cast<std::uint64_t>(BytesPerSample(pcmFormat)));
        line.mixed.emplace([mix = line.mix.get()](std::span<std::uint8_t> out) { return mix->Pull(out); }, pcmFormat,
                           Line::kBlockSamples);
    }
    if (pcm) {
        // Pull gives PCM: the samples are counted in its bytes.
        m_total = samples * static_cast<std::uint64_t>(BytesPerSample(pcmFormat));
    } else {
        m_total = samples * Format().nBlockAlign;
    }
    line.samplesLeft = samples;
    line.script.emplace(
        [engine = m_engine.get()](std::span<std::uint8_t> out) {
            const std::int32_t n =
                engine->ExecStreamRequest(out.data(), static_cast<std::int32_t>(std::min<std::size_t>(out.size(), INT32_MAX)));
            return n > 0 ? static_cast<std::size_t>(n) : std::size_t{0};
        },
        pcmFormat, Line::kBlockSamples);
    const auto rate = static_cast<double>(m_start.Integer(SettingsCatalog::kSampleRate));
    const Impairments& impairments = options.impairments;
    if (impairments.OnTheLine()) {
        const double power = impairments.snrDb ? SoundingPower(options, requests) : 0.0;
        line.line.emplace(impairments.Line(rate, power), rate);
    }
}

// The mean square (full scale 1.0) of the script and its mix as the line receives them, over
// the samples where either sounds by its labels.
double Rendering::SoundingPower(const RenderOptions& options, const Requests& requests) {
    RenderOptions clean = options;
    clean.impairments = options.impairments.SenderOnly();
    clean.labels = true;
    Rendering probe(clean, requests, DebugLine(), true);
    SoundingSpans spans;
    spans.Follow(probe.m_labels->Labels());
    if (probe.m_line->mix) spans.Follow(probe.m_line->mix->m_labels->Labels());
    const SampleFormat pcm = PcmOf(probe.m_start);
    std::vector<std::uint8_t> block(Line::kBlockSamples * 2);
    std::vector<double> samples(Line::kBlockSamples);
    std::vector<std::uint8_t> sounds(Line::kBlockSamples);
    double sum = 0.0;
    std::uint64_t sounding = 0;
    std::uint64_t at = 0;
    for (std::size_t n; (n = probe.Pull(block)) > 0;) {
        const std::size_t count = n / static_cast<std::size_t>(BytesPerSample(pcm));
        LoadPcmSamples(pcm, block.data(), samples.data(), count);
        spans.Mark(at, std::span(sounds).first(count));
        for (std::size_t i = 0; i < count; ++i) {
            if (sounds[i] == 0) continue;
            sum = sum + samples[i] * samples[i];
            ++sounding;
        }
        at += count;
    }
    if (sum == 0.0) throw RequestError("--snr: the signal has no sounding sample to measure its power by");
    return sum / static_cast<double>(sounding);
}

std::size_t Rendering::PullLine(std::span<std::uint8_t> out) {
    Line& line = *m_line;
    const auto outputBytes = static_cast<std::size_t>(BytesPerSample(line.output));
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>({out.size() / outputBytes, Line::kBlockSamples, line.samplesLeft}));
    if (n == 0) return 0;
    line.script->Take(line.sum.data(), n);
    if (line.mixed) {
        line.mixed->Take(line.under.data(), n);
        for (std::size_t i = 0; i < n; ++i) line.sum[i] = line.sum[i] + line.under[i];
    }
    if (line.line) line.line->Apply(line.sum.data(), n);
    StoreLineSamples(line.output, line.sum.data(), out.data(), n);
    line.samplesLeft -= n;
    return n * outputBytes;
}

void Rendering::ExpectLabels() {
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

const std::vector<Label>& Rendering::Labels() const {
    static const std::vector<Label> kNone;
    if (!m_labels) return kNone;
    if (!m_line || !m_line->mix) return m_labels->Labels();
    m_allLabels = m_labels->Labels();
    for (Label label : m_line->mix->Labels()) {
        label.mixed = true;
        m_allLabels.push_back(std::move(label));
    }
    std::stable_sort(m_allLabels.begin(), m_allLabels.end(), [](const Label& a, const Label& b) { return a.start < b.start; });
    return m_allLabels;
}

Rendering::~Rendering() {
    m_engine->SetSymbolSink(nullptr);
    m_engine->Discard();
}

double Rendering::TotalSeconds() const { return static_cast<double>(m_total) / BytesPerSecond(); }

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
    if (m_line) return PullLine(out);
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
