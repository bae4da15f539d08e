#include "cli/Runner.h"

#include <unistd.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "cli/Failure.h"
#include "cli/Interrupt.h"
#include "cli/KitRunner.h"
#include "cli/Playback.h"
#include "cli/Progress.h"
#include "cli/RefusalText.h"
#include "cli/RtpOutput.h"
#include "cli/Scenario.h"
#include "cli/Sink.h"
#include "cli/Text.h"
#include "cli/UsageError.h"
#include "varnel/render/ByteSink.h"
#include "varnel/render/Job.h"
#include "varnel/render/Outputs.h"
#include "varnel/script/Facts.h"
#include "varnel/script/Printer.h"
#include "varnel/script/RequestError.h"
#include "varnel/script/TextFiles.h"
#include "varnel/wave/WaveHeader.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

constexpr const char* kStandardOutput = "-";

// What the command line asks to render: the job, with a note for each request (the
// scenario's descriptions).
struct Asked {
    Render::Job job;
    std::vector<std::string> notes;  // by position in the job's requests
    bool scenario = false;
};

Asked AskedOf(const Options& options) {
    Asked asked;
    asked.job.options = options.render;
    if (SendsRtp(options.mode)) asked.job.rtp = options.rtp;
    if (!options.requests.empty()) {
        asked.job.requests = options.requests;
        asked.notes.resize(asked.job.requests.size());
        Script::LoadTextFiles(asked.job.requests,
                              [](const std::string& path) { return Script::ReadWholeFile(path, StopIfInterrupted); });
        return asked;
    }
    asked.scenario = true;
    std::vector<std::string> texts;
    for (const ScenarioStep& step : BuiltInScenario()) {
        texts.push_back(step.request);
        asked.notes.push_back(step.description);
    }
    asked.job.requests = Script::ParseEach(texts);
    return asked;
}

std::string IdText(const std::vector<std::int32_t>& ids) {
    if (ids.empty()) return "no request";
    if (ids.size() == 1) return "request " + std::to_string(ids.front());
    return "requests " + std::to_string(ids.front()) + "-" + std::to_string(ids.back());
}

std::string NoteOf(const Asked& asked, const Script::Entry& entry) {
    const std::size_t at = entry.index - 1;
    return at < asked.notes.size() && !asked.notes[at].empty() ? " (" + asked.notes[at] + ")" : std::string();
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", seconds);
    return text;
}

std::string SummaryLine(const Asked& asked, const Script::MeasuredRequest& m) {
    return IdText(m.ids) + ": " + std::string(Script::KindOf(m.entry->request).word) + ", " + Seconds(m.Seconds()) + ": " +
           m.entry->text + NoteOf(asked, *m.entry);
}

// One line per request: its request IDs, kind, duration and text as written.
void PrintSummaries(const Asked& asked, const Script::Rendering& rendering, std::FILE* err) {
    for (const Script::MeasuredRequest& m : rendering.Measured()) std::fprintf(err, "varnel: %s\n", SummaryLine(asked, m).c_str());
}

void PrintScenario(const Asked& asked, std::FILE* err) {
    for (const Script::Entry& entry : asked.job.requests) {
        if (Script::IsSetting(entry.request)) continue;
        std::fprintf(err, "varnel: %s%s\n", entry.text.c_str(), NoteOf(asked, entry).c_str());
    }
}

void PrintWarnings(const Script::Rendering& rendering, std::FILE* err) {
    for (const Script::MeasuredRequest& m : rendering.Measured()) {
        for (const std::string& warning : Script::Warnings(*m.entry, m.settings)) {
            std::fprintf(err, "varnel: warning: '%s': %s\n", m.entry->text.c_str(), warning.c_str());
        }
    }
}

std::string OutputName(const Options& options) {
    const std::string& path = options.mode == OutputMode::Sdp ? options.sdpPath : options.outputPath;
    return path == kStandardOutput ? "standard output" : Printable(path);
}

// A WAV file holds at most 4 GiB of samples: anything longer is refused before a byte is written.
void CheckWaveSize(const Options& options, const Script::Rendering& rendering) {
    if (options.mode != OutputMode::File) return;
    const WaveHeader header(rendering.Format());
    if (rendering.TotalBytes() <= header.MaxDataBytes()) return;
    throw Script::RequestError(OutputName(options) + ": refused before writing: the audio takes " +
                               std::to_string(rendering.TotalBytes()) + " bytes (" +
                               Progress::AudioTime(rendering.TotalSeconds()) + "), more than the " +
                               std::to_string(header.MaxDataBytes()) +
                               " that the size fields of a WAV file can describe; write --raw, or split the requests");
}

// What an interrupted stream on standard output holds.
std::string StreamOutcome(std::uint64_t done, std::uint64_t total) {
    return "standard output ends after " + std::to_string(done) + " of " + std::to_string(total) + " bytes of audio";
}

bool RefuseTerminal(std::FILE* out, std::FILE* err, const char* what) {
    if (!::isatty(::fileno(out))) return false;
    std::fprintf(err, "varnel: %s writes binary data: redirect standard output to a file or a pipe\n%s\n", what,
                 UsageLine());
    return true;
}

constexpr const char* kLabelRefusal = "Unable to create or write this label file.";

// --labels: opened before anything renders, so that a path that cannot be written stops the tool
// before the audio is written; none without the option.
std::unique_ptr<Render::FileSink> OpenLabels(const Options& options) {
    if (options.labelsPath.empty()) return nullptr;
    return std::make_unique<Render::FileSink>(options.labelsPath, kLabelRefusal);
}

// Writes the labels of a rendering pulled to its end, replacing an old file only once complete.
void FinishLabels(Render::FileSink* labels, const Options& options, const Script::Rendering& rendering) {
    if (!labels) return;
    const std::string text = Render::LabelFile(rendering, Script::LabelFormatOf(options.labelsPath));
    labels->Write(text.data(), text.size());
    labels->Finish();
}

// -o FILE and -o -: the header carries the final sizes from its first byte; the samples go to the
// file (replacing an old one only once complete) or to standard output. The labels are complete
// before the file is, so that a failure to write them leaves the old file as it was.
int RunWave(const Options& options, const Asked& asked, Script::Rendering& rendering, Render::FileSink* labels, std::FILE* out,
            std::FILE* err) {
    const bool toStream = options.outputPath == kStandardOutput;
    if (toStream && RefuseTerminal(out, err, "-o -")) return kExitUsage;
    CheckWaveSize(options, rendering);
    Render::Tally tally;
    try {
        const std::unique_ptr<Render::ByteSink> sink = OpenSink(options.outputPath, out);
        Progress progress(err, ::isatty(::fileno(err)) != 0, rendering.TotalBytes(), rendering.BytesPerSecond());
        Render::WriteWave(rendering, *sink, {StopIfInterrupted, [&](std::uint64_t done) { progress.Update(done); }}, tally);
        FinishLabels(labels, options, rendering);
        sink->Finish();
    } catch (const Interrupted& e) {
        throw Interrupted(e.Signal(), toStream ? StreamOutcome(tally.audioBytes, rendering.TotalBytes())
                                               : "nothing written to " + Printable(options.outputPath));
    }
    PrintSummaries(asked, rendering, err);
    std::fprintf(err, "varnel: wrote %s: %s, %.3f s\n", OutputName(options).c_str(), rendering.FormatText().c_str(),
                 rendering.TotalSeconds());
    return kExitSuccess;
}

// --raw: the samples alone, pulled to standard output.
int RunRaw(const Asked& asked, Script::Rendering& rendering, std::FILE* out, std::FILE* err) {
    if (RefuseTerminal(out, err, "--raw")) return kExitUsage;
    if (asked.scenario) PrintScenario(asked, err);
    Render::Tally tally;
    try {
        const std::unique_ptr<Render::ByteSink> sink = OpenSink(kStandardOutput, out);
        Render::WriteRaw(rendering, *sink, {StopIfInterrupted, {}}, tally);
    } catch (const Interrupted& e) {
        throw Interrupted(e.Signal(), StreamOutcome(tally.audioBytes, rendering.TotalBytes()));
    }
    return kExitSuccess;
}

int RunPlay(const Options& options, const Asked& asked, const Script::Rendering& rendering, std::FILE* err) {
    if (!PlaybackAvailable()) {
        std::fprintf(err, "varnel: playback is not available in this build\n");
        return kExitFailure;
    }
    PrintSummaries(asked, rendering, err);
    PlayRequests(options, asked.job.requests, rendering, err);
    return kExitSuccess;
}

std::string OutputText(const Options& options) {
    switch (options.mode) {
        case OutputMode::File:
            return options.outputPath == kStandardOutput ? "a WAV file on standard output"
                                                         : "the WAV file " + Printable(options.outputPath);
        case OutputMode::Raw: return "raw samples on standard output";
        case OutputMode::Play: return "the audio device";
        case OutputMode::Pcap:
            return options.outputPath == kStandardOutput ? "a pcap file on standard output"
                                                         : "the pcap file " + Printable(options.outputPath);
        case OutputMode::Rtp: return "RTP to " + Printable(options.rtpTarget);
        case OutputMode::Sdp: return "the session description " + OutputName(options);
        case OutputMode::None: break;
    }
    return "none";
}

// Every setting as "NAME=VALUE", separated by spaces.
std::string SettingsText(const Script::SettingValues& settings) {
    std::string text;
    for (const SettingSpec* spec : SettingsCatalog::All()) {
        text.append(text.empty() ? "" : " ").append(spec->option).append("=").append(Script::ValueText(*spec, settings.Get(*spec)));
    }
    return text;
}

// The requests from the first signal request on, each with its measurement (set: requests
// have none).
template <class Line>
void ForEachRequest(const Asked& asked, const Script::Rendering& rendering, Line&& line) {
    const std::vector<Script::MeasuredRequest>& measured = rendering.Measured();
    std::size_t next = 0;
    bool signalSeen = false;
    for (const Script::Entry& entry : asked.job.requests) {
        const bool setting = Script::IsSetting(entry.request);
        signalSeen = signalSeen || !setting;
        if (!signalSeen) continue;
        line(entry, !setting && next < measured.size() ? &measured[next++] : nullptr);
    }
}

// --dry-run: the effective settings, then every request in order with its duration, on out.
int RunDryRun(const Options& options, const Asked& asked, const Script::Rendering& rendering, std::FILE* out) {
    std::fprintf(out, "output: %s (%s)\n", OutputText(options).c_str(), rendering.FormatText().c_str());
    std::fprintf(out, "settings: %s\n", SettingsText(rendering.StartSettings()).c_str());
    ForEachRequest(asked, rendering, [&](const Script::Entry& entry, const Script::MeasuredRequest* m) {
        std::fprintf(out, "%s\n", m ? SummaryLine(asked, *m).c_str() : entry.text.c_str());
    });
    CheckWaveSize(options, rendering);
    std::fprintf(out, "total: %.3f s, %llu bytes of audio", rendering.TotalSeconds(),
                 static_cast<unsigned long long>(rendering.TotalBytes()));
    if (options.mode == OutputMode::File) {
        const WaveHeader header(rendering.Format());
        std::fprintf(out, ", a WAV file of %llu bytes",
                     static_cast<unsigned long long>(header.Size() + rendering.TotalBytes() +
                                                     WaveHeader::PadBytes(rendering.TotalBytes())));
    }
    std::fprintf(out, "\nnothing written (dry run)\n");
    return kExitSuccess;
}

// --print-requests: every request in canonical form, as a script that -f reads back, with its
// duration and what it is in a comment.
int RunPrintRequests(const Asked& asked, const Script::Rendering& rendering, std::FILE* out) {
    const std::vector<Script::MeasuredRequest>& measured = rendering.Measured();
    std::size_t next = 0;
    for (const Script::Entry& entry : asked.job.requests) {
        const std::string text = Script::Quote(Script::Print(entry.request));
        if (Script::IsSetting(entry.request)) {
            std::fprintf(out, "%s\n", text.c_str());
            continue;
        }
        const Script::MeasuredRequest& m = measured[next++];
        std::fprintf(out, "%s  # %s, %s\n", text.c_str(), Seconds(m.Seconds()).c_str(),
                     Script::Describe(entry.request, m.settings).c_str());
    }
    return kExitSuccess;
}

// --labels beside an output other than a WAV file: written once the audio is. --play sounds the
// requests through the component, so their labels come from rendering them here.
void WriteLabels(Render::FileSink* labels, const Options& options, Script::Rendering& rendering) {
    if (!labels || options.mode == OutputMode::File) return;
    if (options.mode == OutputMode::Play) {
        Render::Tally tally;
        Render::DiscardSink none;
        Render::WriteRaw(rendering, none, {StopIfInterrupted, {}}, tally);
    }
    FinishLabels(labels, options, rendering);
}

int RunOutput(const Options& options, const Asked& asked, Script::Rendering& rendering, Render::FileSink* labels, std::FILE* out,
              std::FILE* err) {
    switch (options.mode) {
        case OutputMode::File: return RunWave(options, asked, rendering, labels, out, err);
        case OutputMode::Raw: return RunRaw(asked, rendering, out, err);
        case OutputMode::Play: return RunPlay(options, asked, rendering, err);
        case OutputMode::Pcap:
            if (asked.scenario) PrintScenario(asked, err);
            WritePcapOutput(options, rendering, out, err);
            return kExitSuccess;
        case OutputMode::Rtp:
            PrintSummaries(asked, rendering, err);
            SendRtpOutput(options, rendering, out, err);
            return kExitSuccess;
        case OutputMode::Sdp:
            WriteSdpOutput(options, rendering, out);
            return kExitSuccess;
        case OutputMode::None: break;
    }
    std::fprintf(err, "varnel: no output: give -o FILE, --raw, --play, --pcap FILE or --rtp HOST:PORT\n%s\n", UsageLine());
    return kExitUsage;
}

int RunJob(const Options& options, const Asked& asked, std::FILE* out, std::FILE* err) {
    const std::unique_ptr<Script::Rendering> rendering =
        Render::OpenRendering(asked.job, options.verbose ? Script::Rendering::DebugLine([err](const std::string& line) {
            std::fprintf(err, "%s\n", line.c_str());
        })
                                                        : Script::Rendering::DebugLine());
    PrintWarnings(*rendering, err);
    if (options.printRequests) return RunPrintRequests(asked, *rendering, out);
    if (options.dryRun) return RunDryRun(options, asked, *rendering, out);
    const std::unique_ptr<Render::FileSink> labels = OpenLabels(options);
    const int status = RunOutput(options, asked, *rendering, labels.get(), out, err);
    if (status == kExitSuccess) WriteLabels(labels.get(), options, *rendering);
    return status;
}

}  // namespace

int Run(const Options& options, std::FILE* out, std::FILE* err) {
    const InterruptCatcher catcher;
    try {
        if (options.kit) return RunKit(*options.kit, out, err);
        if (options.detect) return RunDetect(*options.detect, out, err);
        const Asked asked = AskedOf(options);
        // --sdp alone renders nothing: the scenario only makes the session it describes.
        if (asked.scenario && options.mode != OutputMode::Sdp) std::fprintf(err, "varnel: %s\n", ScenarioSummary());
        return RunJob(options, asked, out, err);
    } catch (const Interrupted& e) {
        std::fprintf(err, "varnel: %s\n", e.Message().c_str());
        return e.ExitStatus();
    } catch (const VarnelNet::Option::OptionRefused& e) {
        std::fprintf(err, "varnel: %s\n", RefusalText(e.Refused()).c_str());
        return kExitUsage;
    } catch (const Script::RequestError& e) {
        std::fprintf(err, "varnel: %s\n", e.Spelled(ToolName).c_str());
        return kExitUsage;
    } catch (const Render::OutputFailure& f) {
        std::fprintf(err, "varnel: %s: %s\n", Printable(f.Target()).c_str(), f.what());
        return kExitFailure;
    } catch (const Failure& f) {
        if (f.Context().empty()) {
            std::fprintf(err, "varnel: %s\n", f.what());
        } else {
            std::fprintf(err, "varnel: %s: %s\n", f.Context().c_str(), f.what());
        }
        return kExitFailure;
    } catch (const UsageError& e) {
        std::fprintf(err, "varnel: %s\n%s\n", e.what(), UsageLine());
        return kExitUsage;
    } catch (const std::exception& e) {
        std::fprintf(err, "varnel: %s\n", e.what());
        return kExitFailure;
    }
}

}  // namespace Quorvex::VarnelNet::Cli
