#include "varnel/script/Rendering.h"

#include <algorithm>
#include <stdexcept>

#include "varnel/engine/OutputFormat.h"
#include "varnel/script/PcmPuller.h"
#include "varnel/script/Queue.h"
#include "varnel/script/RequestError.h"
#include "varnel/script/SoundingSpans.h"
#include "varnel/signal/OutputStage.h"

namespace Quorvex::VarnelNet::Script {

namespace {

constexpr std::size_t kBlockSamples = 4096;

// The mixed script renders with the first script's settings and format, at its own level or
// else at the first script's.
RenderOptions MixOptions(const RenderOptions& options, const SettingValues& start) {
    if (options.mix->requests.empty()) throw RequestError(kNamesOptions, "{mix-dbm0} sets the level of a {mix} script: give one");
    for (const Entry& entry : options.mix->requests) {
        const Set* set = std::get_if<Set>(&entry.request);
        if (set && set->spec->format) {
            throw RequestError(kNamesOptions, "{mix}: request " + std::to_string(entry.index) + " '" + Literal(entry.text) +
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

PcmPuller PullerOf(ScriptRun& run, SampleFormat pcm) {
    return PcmPuller([&run](std::span<std::uint8_t> out) { return run.Pull(out); }, pcm, kBlockSamples);
}

// A script's PCM and its mix's, summed as numbers, as a line receives them; the audio lasts as
// long as the longer of the two.
class PcmSum {
public:
    PcmSum(ScriptRun& script, ScriptRun* mix)
        : m_pcm(LinePcmOf(script.StartSettings())),
          m_script(PullerOf(script, m_pcm)),
          m_samplesLeft(std::max(script.Samples(), mix ? mix->Samples() : 0)) {
        if (mix) m_mix.emplace(PullerOf(*mix, m_pcm));
    }

    SampleFormat Pcm() const { return m_pcm; }
    std::uint64_t Samples() const { return m_samplesLeft; }

    // The next samples into out, at most `most` (and kBlockSamples); how many, 0 at the end.
    std::size_t Take(double* out, std::size_t most) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>({most, kBlockSamples, m_samplesLeft}));
        if (n == 0) return 0;
        m_script.Take(out, n);
        if (m_mix) {
            m_mix->Take(m_under.data(), n);
            for (std::size_t i = 0; i < n; ++i) out[i] = out[i] + m_under[i];
        }
        m_samplesLeft -= n;
        return n;
    }

private:
    SampleFormat m_pcm;
    PcmPuller m_script;
    std::optional<PcmPuller> m_mix;
    std::uint64_t m_samplesLeft;
    std::vector<double> m_under = std::vector<double>(kBlockSamples);
};

// The mean square (full scale 1.0) of the script and its mix as the line receives them (summed
// and held within full scale, before the line's impairments), over the samples where either
// sounds by its labels: the signal's power that --snr sets the noise below.
double SoundingPower(const RenderOptions& options, const Requests& requests) {
    RenderOptions clean = options;
    clean.impairments = options.impairments.SenderOnly();
    clean.labels = true;
    ScriptRun script(clean, requests, true);
    std::unique_ptr<ScriptRun> mix;
    if (clean.mix) mix = std::make_unique<ScriptRun>(MixOptions(clean, script.StartSettings()), clean.mix->requests, true);
    SoundingSpans spans;
    spans.Follow(script.Labels());
    if (mix) spans.Follow(mix->Labels());
    PcmSum sum(script, mix.get());
    std::vector<double> samples(kBlockSamples);
    std::vector<std::uint8_t> held(kBlockSamples * 2);
    std::vector<std::uint8_t> sounds(kBlockSamples);
    double power = 0.0;
    std::uint64_t sounding = 0;
    std::uint64_t at = 0;
    for (std::size_t count; (count = sum.Take(samples.data(), kBlockSamples)) > 0;) {
        StoreLineSamples(sum.Pcm(), samples.data(), held.data(), count);
        LoadPcmSamples(sum.Pcm(), held.data(), samples.data(), count);
        spans.Mark(at, std::span(sounds).first(count));
        for (std::size_t i = 0; i < count; ++i) {
            if (sounds[i] == 0) continue;
            power = power + samples[i] * samples[i];
            ++sounding;
        }
        at += count;
    }
    if (power == 0.0) throw RequestError(kNamesOptions, "{snr}: the signal has no sounding sample to measure its power by");
    return power / static_cast<double>(sounding);
}

bool NeedsLine(const RenderOptions& options) { return options.impairments.OnTheLine() || options.mix.has_value(); }

}  // namespace

// The line between the engines and the output: the script's PCM and the mixed script's,
// summed, impaired, and written in the output format.
struct Rendering::Line {
    Requests mixRequests;  // the mix's own copy: its labels point into it
    std::unique_ptr<ScriptRun> mix;
    std::optional<PcmSum> sum;
    std::optional<VarnelNet::Line> impairments;
    SampleFormat output = SampleFormat::S16;
    std::vector<double> samples = std::vector<double>(kBlockSamples);
};

Rendering::Rendering(const RenderOptions& options, const Requests& requests, DebugLine debugLine)
    : m_script(options, requests, NeedsLine(options), std::move(debugLine)) {
    const SettingValues& start = m_script.StartSettings();
    const std::uint64_t outputBytes = Format().nBlockAlign;
    if (!NeedsLine(options)) {
        m_total = m_script.Samples() * outputBytes;
        return;
    }
    m_line = std::make_unique<Line>();
    Line& line = *m_line;
    line.output = OutputSampleFormat(start.Integer(SettingsCatalog::kEncoding), start.Integer(SettingsCatalog::kBitsPerSample));
    if (options.mix) {
        line.mixRequests = options.mix->requests;
        line.mix = std::make_unique<ScriptRun>(MixOptions(options, start), line.mixRequests, true);
    }
    line.sum.emplace(m_script, line.mix.get());
    m_total = line.sum->Samples() * outputBytes;
    if (options.impairments.OnTheLine()) {
        const auto rate = static_cast<double>(start.Integer(SettingsCatalog::kSampleRate));
        const double power = options.impairments.snrDb ? SoundingPower(options, requests) : 0.0;
        line.impairments.emplace(options.impairments.Line(rate, power), rate);
    }
}

Rendering::~Rendering() = default;

std::size_t Rendering::PullLine(std::span<std::uint8_t> out) {
    Line& line = *m_line;
    const auto outputBytes = static_cast<std::size_t>(BytesPerSample(line.output));
    const std::size_t n = line.sum->Take(line.samples.data(), out.size() / outputBytes);
    if (n == 0) return 0;
    if (line.impairments) line.impairments->Apply(line.samples.data(), n);
    StoreLineSamples(line.output, line.samples.data(), out.data(), n);
    return n * outputBytes;
}

const std::vector<Label>& Rendering::Labels() const {
    if (!m_line || !m_line->mix || !m_script.Labelled()) return m_script.Labels();
    m_allLabels = m_script.Labels();
    for (Label label : m_line->mix->Labels()) {
        label.mixed = true;
        m_allLabels.push_back(std::move(label));
    }
    std::stable_sort(m_allLabels.begin(), m_allLabels.end(), [](const Label& a, const Label& b) { return a.first < b.first; });
    return m_allLabels;
}

double Rendering::TotalSeconds() const { return static_cast<double>(m_total) / BytesPerSecond(); }

double Rendering::BytesPerSecond() const { return static_cast<double>(Format().nAvgBytesPerSec); }

std::string Rendering::FormatText() const {
    const SettingValues& start = m_script.StartSettings();
    std::string text = std::to_string(start.Integer(SettingsCatalog::kSampleRate)) + " Hz, ";
    switch (start.Integer(SettingsCatalog::kEncoding)) {
        case ENC_MuLaw: text += "G.711 mu-law"; break;
        case ENC_ALaw: text += "G.711 A-law"; break;
        default: text += std::to_string(start.Integer(SettingsCatalog::kBitsPerSample)) + "-bit"; break;
    }
    return text + " mono";
}

std::size_t Rendering::Pull(std::span<std::uint8_t> out) { return m_line ? PullLine(out) : m_script.Pull(out); }

std::int64_t DurationSamples(const Request& request, const SettingValues& settings) {
    CVarnel engine;
    settings.ApplyTo(engine);
    engine.GenerateBegin(nullptr);
    QueueEntry(engine, Entry{request, {}, 0, 0, {}});
    const WAVEFORMATEX format = OutputWaveFormat(settings.Integer(SettingsCatalog::kEncoding),
                                                 settings.Integer(SettingsCatalog::kBitsPerSample), 1);
    return engine.QueuedBytes() / format.nBlockAlign;
}

}  // namespace Quorvex::VarnelNet::Script
