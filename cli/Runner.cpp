#include "cli/Runner.h"

#include <unistd.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "cli/Interrupt.h"
#include "cli/Playback.h"
#include "cli/Progress.h"
#include "cli/Scenario.h"
#include "cli/Session.h"
#include "cli/Sink.h"
#include "cli/Text.h"
#include "cli/TextInput.h"
#include "cli/UsageError.h"
#include "varnel/wave/WaveHeader.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

constexpr std::size_t kBlockSize = 8192;
constexpr const char* kStandardOutput = "-";

// The requests to render, with a note for each (the scenario's descriptions).
struct Job {
    std::vector<Request> requests;
    std::vector<std::string> notes;
    bool scenario = false;
};

Job BuildJob(const Options& options) {
    Job job;
    if (!options.requests.empty()) {
        job.requests = options.requests;
        job.notes.resize(job.requests.size());
        LoadTextFiles(job.requests);
        return job;
    }
    job.scenario = true;
    for (const ScenarioStep& step : BuiltInScenario()) {
        job.requests.push_back(ParseRequest(step.request));
        job.notes.push_back(step.description);
    }
    SetLevels(options, job.requests);
    return job;
}

std::string IdText(const std::vector<std::int32_t>& ids) {
    if (ids.empty()) return "no request";
    if (ids.size() == 1) return "request " + std::to_string(ids.front());
    return "requests " + std::to_string(ids.front()) + "-" + std::to_string(ids.back());
}

std::string NoteOf(const Job& job, const Request* request) {
    const auto index = static_cast<std::size_t>(request - job.requests.data());
    return index < job.notes.size() && !job.notes[index].empty() ? " (" + job.notes[index] + ")" : std::string();
}

std::string SummaryLine(const Job& job, const RequestSummary& s) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f s", s.Seconds());
    return IdText(s.ids) + ": " + std::string(KindName(s.request->kind)) + ", " + seconds + ": " + s.request->text +
           NoteOf(job, s.request);
}

// One line per request: its request IDs, kind, duration and text as written.
double PrintSummaries(const Job& job, const std::vector<RequestSummary>& summaries, std::FILE* err) {
    double total = 0.0;
    for (const RequestSummary& s : summaries) {
        total += s.Seconds();
        std::fprintf(err, "varnel: %s\n", SummaryLine(job, s).c_str());
    }
    return total;
}

void PrintScenario(const Job& job, std::FILE* err) {
    for (std::size_t i = 0; i < job.requests.size(); ++i) {
        if (job.requests[i].kind == RequestKind::Set) continue;
        std::fprintf(err, "varnel: %s%s\n", job.requests[i].text.c_str(), NoteOf(job, &job.requests[i]).c_str());
    }
}

// The warnings about the requests, at the output's sample rate.
void PrintWarnings(const Options& options, const Job& job, std::FILE* err) {
    Varnel probe;
    ApplyLeadingSettings(probe, options, job.requests);
    for (const Request& request : job.requests) {
        for (const std::string& warning : Warnings(request, probe.SampleRate())) {
            std::fprintf(err, "varnel: warning: '%s': %s\n", request.text.c_str(), warning.c_str());
        }
    }
}

bool WritesWave(const Options& options) { return options.mode == OutputMode::File; }

// A WAV file holds at most 4 GiB of samples: anything longer is refused before a byte is written.
void CheckWaveSize(const Options& options, const WaveHeader& header, std::uint64_t total, double bytesPerSecond) {
    if (!WritesWave(options) || total <= header.MaxDataBytes()) return;
    const std::string seconds = Progress::AudioTime(static_cast<double>(total) / bytesPerSecond);
    throw Failure(options.outputPath == kStandardOutput ? "standard output" : Printable(options.outputPath),
                  "refused before writing: the audio takes " + std::to_string(total) + " bytes (" + seconds +
                      "), more than the " + std::to_string(header.MaxDataBytes()) +
                      " that the size fields of a WAV file can describe; write --raw, or split the requests");
}

// Pulls the whole queue through sink, between blocks checking for a signal; done counts the
// bytes written. total is what the queue measured: the rendering must give exactly that.
void Render(Varnel& varnel, Sink& sink, std::uint64_t total, std::uint64_t& done, std::FILE* err) {
    Progress progress(err, ::isatty(::fileno(err)) != 0, total, BytesPerSecond(varnel));
    std::array<std::uint8_t, kBlockSize> block{};
    for (;;) {
        StopIfInterrupted();
        const std::int32_t n = varnel.FetchWaveStream(block);
        if (n <= 0) break;
        sink.Write(block.data(), static_cast<std::size_t>(n));
        done += static_cast<std::uint64_t>(n);
        progress.Update(done);
    }
    if (done != total) {
        throw Failure("", "rendered " + std::to_string(done) + " bytes where " + std::to_string(total) + " were measured");
    }
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

// -o FILE and -o -: everything is queued and measured first, so that a refused request writes
// nothing and the header carries the final sizes from its first byte; then the buffer stream
// is pulled into the file (replacing an old one only once complete) or standard output.
int RunWave(const Options& options, const Job& job, std::FILE* out, std::FILE* err) {
    const bool toStream = options.outputPath == kStandardOutput;
    if (toStream && RefuseTerminal(out, err, "-o -")) return kExitUsage;
    Varnel varnel;
    if (options.verbose) PrintDebugLines(varnel, err);
    const std::size_t first = ApplyLeadingSettings(varnel, options, job.requests);
    const std::string format = FormatText(varnel);
    BeginStream(varnel);
    const std::vector<RequestSummary> summaries = QueueAndMeasure(varnel, job.requests, first);
    const std::uint64_t total = TotalBytes(summaries);
    const WaveHeader header(WaveFormat(varnel));
    CheckWaveSize(options, header, total, BytesPerSecond(varnel));

    std::uint64_t done = 0;
    try {
        const std::unique_ptr<Sink> sink = toStream ? std::unique_ptr<Sink>(std::make_unique<StreamSink>(out))
                                                    : std::make_unique<FileSink>(options.outputPath);
        const std::vector<std::uint8_t> head = header.Settled(total);
        sink->Write(head.data(), head.size());
        Render(varnel, *sink, total, done, err);
        const std::uint8_t pad = 0;
        if (WaveHeader::PadBytes(total) != 0) sink->Write(&pad, 1);
        sink->Finish();
    } catch (const Interrupted& e) {
        throw Interrupted(e.Signal(), toStream ? StreamOutcome(done, total)
                                               : "nothing written to " + Printable(options.outputPath));
    }
    varnel.GenerateEnd();
    const double seconds = PrintSummaries(job, summaries, err);
    std::fprintf(err, "varnel: wrote %s: %s, %.3f s\n", toStream ? "standard output" : Printable(options.outputPath).c_str(),
                 format.c_str(), seconds);
    return kExitSuccess;
}

// --raw: queued and measured before the first byte is written, so a refused request writes
// nothing; then the buffer stream is pulled to standard output.
int RunRaw(const Options& options, const Job& job, std::FILE* out, std::FILE* err) {
    if (RefuseTerminal(out, err, "--raw")) return kExitUsage;
    if (job.scenario) PrintScenario(job, err);
    Varnel varnel;
    if (options.verbose) PrintDebugLines(varnel, err);
    const std::size_t first = ApplyLeadingSettings(varnel, options, job.requests);
    BeginStream(varnel);
    const std::uint64_t total = TotalBytes(QueueAndMeasure(varnel, job.requests, first));
    std::uint64_t done = 0;
    try {
        StreamSink sink(out);
        Render(varnel, sink, total, done, err);
    } catch (const Interrupted& e) {
        throw Interrupted(e.Signal(), StreamOutcome(done, total));
    }
    varnel.GenerateEnd();
    return kExitSuccess;
}

// --play: measured first like -o, so that a refused request plays nothing.
int RunPlay(const Options& options, const Job& job, std::FILE* err) {
    if (!PlaybackAvailable()) {
        std::fprintf(err, "varnel: playback is not available in this build\n");
        return kExitRefused;
    }
    const std::vector<RequestSummary> summaries = MeasureRequests(options, job.requests);
    const double seconds = PrintSummaries(job, summaries, err);
    PlayRequests(options, job.requests, seconds, err);
    return kExitSuccess;
}

std::string OutputText(const Options& options) {
    switch (options.mode) {
        case OutputMode::File:
            return options.outputPath == kStandardOutput ? "a WAV file on standard output"
                                                         : "the WAV file " + Printable(options.outputPath);
        case OutputMode::Raw: return "raw samples on standard output";
        case OutputMode::Play: return "the audio device";
        case OutputMode::None: break;
    }
    return "none";
}

// --dry-run: the effective settings, then every request in order with its duration, on out.
// Nothing is written or played; a request the component refuses still fails.
int RunDryRun(const Options& options, const Job& job, std::FILE* out) {
    Varnel varnel;
    const std::size_t first = ApplyLeadingSettings(varnel, options, job.requests);
    std::fprintf(out, "output: %s (%s)\n", OutputText(options).c_str(), FormatText(varnel).c_str());
    std::fprintf(out, "settings: %s\n", SettingsText(varnel).c_str());
    BeginStream(varnel);
    const std::vector<RequestSummary> summaries = QueueAndMeasure(varnel, job.requests, first);
    std::size_t next = 0;
    for (std::size_t i = first; i < job.requests.size(); ++i) {
        if (next < summaries.size() && summaries[next].request == &job.requests[i]) {
            std::fprintf(out, "%s\n", SummaryLine(job, summaries[next++]).c_str());
        } else {
            std::fprintf(out, "%s\n", job.requests[i].text.c_str());
        }
    }
    const std::uint64_t total = TotalBytes(summaries);
    double seconds = 0.0;
    for (const RequestSummary& s : summaries) seconds += s.Seconds();
    const WaveHeader header(WaveFormat(varnel));
    CheckWaveSize(options, header, total, BytesPerSecond(varnel));
    std::fprintf(out, "total: %.3f s, %llu bytes of audio", seconds, static_cast<unsigned long long>(total));
    if (WritesWave(options)) {
        std::fprintf(out, ", a WAV file of %llu bytes",
                     static_cast<unsigned long long>(header.Size() + total + WaveHeader::PadBytes(total)));
    }
    std::fprintf(out, "\nnothing written (dry run)\n");
    varnel.GenerateEnd();
    return kExitSuccess;
}

}  // namespace

int Run(const Options& options, std::FILE* out, std::FILE* err) {
    const InterruptCatcher catcher;
    try {
        const Job job = BuildJob(options);
        if (job.scenario) std::fprintf(err, "varnel: %s\n", ScenarioSummary());
        PrintWarnings(options, job, err);
        if (options.dryRun) return RunDryRun(options, job, out);
        switch (options.mode) {
            case OutputMode::File: return RunWave(options, job, out, err);
            case OutputMode::Raw: return RunRaw(options, job, out, err);
            case OutputMode::Play: return RunPlay(options, job, err);
            case OutputMode::None: break;
        }
        std::fprintf(err, "varnel: no output: give -o FILE, --raw or --play\n%s\n", UsageLine());
        return kExitUsage;
    } catch (const Interrupted& e) {
        std::fprintf(err, "varnel: %s\n", e.Message().c_str());
        return e.ExitStatus();
    } catch (const Failure& f) {
        if (f.Context().empty()) {
            std::fprintf(err, "varnel: %s\n", f.what());
        } else {
            std::fprintf(err, "varnel: %s: %s\n", f.Context().c_str(), f.what());
        }
        return kExitRefused;
    } catch (const std::exception& e) {
        std::fprintf(err, "varnel: %s\n", e.what());
        return kExitRefused;
    }
}

}  // namespace Quorvex::VarnelNet::Cli
