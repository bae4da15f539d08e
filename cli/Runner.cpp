#include "cli/Runner.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <string>
#include <vector>

#include "cli/Playback.h"
#include "cli/Scenario.h"
#include "cli/Session.h"
#include "cli/UsageError.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

constexpr std::size_t kBlockSize = 8192;

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

// One line per request: its request IDs, kind, duration and text as written.
double PrintSummaries(const Job& job, const std::vector<RequestSummary>& summaries, std::FILE* err) {
    double total = 0.0;
    for (const RequestSummary& s : summaries) {
        total += s.Seconds();
        std::fprintf(err, "varnel: %s: %s, %.3f s: %s%s\n", IdText(s.ids).c_str(),
                     std::string(KindName(s.request->kind)).c_str(), s.Seconds(), s.request->text.c_str(),
                     NoteOf(job, s.request).c_str());
    }
    return total;
}

void PrintScenario(const Job& job, std::FILE* err) {
    for (std::size_t i = 0; i < job.requests.size(); ++i) {
        if (job.requests[i].kind == RequestKind::Set) continue;
        std::fprintf(err, "varnel: %s%s\n", job.requests[i].text.c_str(), NoteOf(job, &job.requests[i]).c_str());
    }
}

void BeginFile(Varnel& varnel, const std::string& path) {
    try {
        varnel.GenerateBegin(path);
    } catch (const Exception& e) {
        throw Failure(path, Reason(e));
    }
}

void BeginStream(Varnel& varnel) {
    try {
        varnel.GenerateBegin();
    } catch (const Exception& e) {
        throw Failure("cannot start the generation", Reason(e));
    }
}

// -o FILE: the requests are measured first (so that a refused request leaves no file at all),
// then rendered into the file by GenerateBegin(FILE) ... GenerateEnd.
int RunFile(const Options& options, const Job& job, std::FILE* err) {
    const std::vector<RequestSummary> summaries = MeasureRequests(options, job.requests);
    const std::string& path = options.outputPath;
    std::string format;
    bool started = false;
    try {
        Varnel varnel;
        if (options.verbose) PrintDebugLines(varnel, err);
        std::size_t next = ApplyLeadingSettings(varnel, options, job.requests);
        format = FormatText(varnel);
        BeginFile(varnel, path);
        started = true;
        for (; next < job.requests.size(); ++next) QueueOrFail(varnel, job.requests[next]);
        try {
            varnel.GenerateEnd();
        } catch (const Exception& e) {
            throw Failure(path, Reason(e));
        }
    } catch (...) {
        // The component is gone by now, and with it the open file; what it wrote is removed,
        // unless the output was not a plain file of its own (a device, a pipe, a link).
        std::error_code ignored;
        if (started && std::filesystem::symlink_status(path, ignored).type() == std::filesystem::file_type::regular) {
            std::filesystem::remove(path, ignored);
        }
        throw;
    }
    const double seconds = PrintSummaries(job, summaries, err);
    std::fprintf(err, "varnel: wrote %s: %s, %.3f s\n", path.c_str(), format.c_str(), seconds);
    return kExitSuccess;
}

// --raw: everything is queued before the first byte is written, so a refused request writes
// nothing; then the buffer stream is pulled with FetchWaveStream.
int RunRaw(const Options& options, const Job& job, std::FILE* out, std::FILE* err) {
    if (::isatty(::fileno(out))) {
        std::fprintf(err, "varnel: --raw writes binary PCM: redirect standard output to a file or a pipe\n%s\n",
                     UsageLine());
        return kExitUsage;
    }
    if (job.scenario) PrintScenario(job, err);
    Varnel varnel;
    if (options.verbose) PrintDebugLines(varnel, err);
    std::size_t next = ApplyLeadingSettings(varnel, options, job.requests);
    BeginStream(varnel);
    for (; next < job.requests.size(); ++next) QueueOrFail(varnel, job.requests[next]);
    std::array<std::uint8_t, kBlockSize> block{};
    for (std::int32_t n; (n = varnel.FetchWaveStream(block)) > 0;) {
        const auto size = static_cast<std::size_t>(n);
        if (std::fwrite(block.data(), 1, size, out) != size) throw Failure("standard output", std::strerror(errno));
    }
    if (std::fflush(out) != 0) throw Failure("standard output", std::strerror(errno));
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

}  // namespace

int Run(const Options& options, std::FILE* out, std::FILE* err) {
    try {
        const Job job = BuildJob(options);
        if (job.scenario) std::fprintf(err, "varnel: %s\n", ScenarioSummary());
        switch (options.mode) {
            case OutputMode::File: return RunFile(options, job, err);
            case OutputMode::Raw: return RunRaw(options, job, out, err);
            case OutputMode::Play: return RunPlay(options, job, err);
            case OutputMode::None: break;
        }
        std::fprintf(err, "varnel: no output: give -o FILE, --raw or --play\n%s\n", UsageLine());
        return kExitUsage;
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
