#include "testkit/Runs.h"
#include "testkit/TextScore.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <regex>
#include <system_error>
#include <thread>

#include "testkit/FolderFiles.h"
#include "testkit/Manifest.h"
#include "testkit/ReceiverProcess.h"
#include "varnel/platform/DecimalText.h"
#include "varnel/render/Job.h"
#include "varnel/render/Outputs.h"
#include "varnel/script/Rendering.h"
#include "varnel/script/TextFiles.h"

namespace Quorvex::VarnelNet::Kit {

namespace {

namespace fs = std::filesystem;

// A rendering written as NAME.wav with its labels as NAME.jsonl.
void WriteClip(const fs::path& folder, const std::string& name, const Render::Job& job, const RunControl& control) {
    const std::unique_ptr<Script::Rendering> rendering = Render::OpenRendering(job);
    ClipFile wave(folder / (name + ".wav"));
    Render::Tally tally;
    Render::WriteWave(*rendering, wave, {control.stopIfAsked, {}}, tally);
    wave.Finish();
    ClipFile labels(folder / (name + ".jsonl"));
    const std::string text = Render::LabelFile(*rendering, Script::LabelFormat::JsonLines);
    labels.Write(text.data(), text.size());
    labels.Finish();
}

bool Wanted(const std::vector<std::string>& families, const std::string& family) {
    return families.empty() || std::find(families.begin(), families.end(), family) != families.end();
}

void Progress(const RunControl& control, std::size_t done, std::size_t total) {
    if (control.progress) control.progress(done, total);
}

// How the receiver failed on a file, in words, or an empty text when it did not.
std::string FailureText(const ReceiverRun& run, std::optional<double> timeout) {
    std::vector<std::string> hows;
    if (run.timedOut) hows.push_back("timed out after " + ShortestText(*timeout) + " s");
    if (!run.timedOut && run.signalled) {
        const int signal = run.status - 128;
        const char* name = sigabbrev_np(signal);
        hows.push_back(name ? "killed by SIG" + std::string(name) : "killed by signal " + std::to_string(signal));
    }
    if (!run.signalled && run.status != 0) hows.push_back("exit status " + std::to_string(run.status));
    if (run.overBound) hows.push_back("output past " + std::to_string(kOutputBound >> 20) + " MiB, the rest discarded");
    std::string text;
    for (const std::string& how : hows) text.append(text.empty() ? "" : ", ").append(how);
    return text;
}

// A file of a suite or corpus: its manifest row, its name, and its job when it is written.
struct FolderFile {
    ManifestRow row;
    std::string name;
    std::optional<Render::Job> job;
};

// Writes the files of the shard, then the manifest; an earlier manifest is removed first, so that
// a run stopped half way never leaves one that lists other files. wanted(i) says whether file i
// is listed at all; fileOf(i, render) is file i, with its job when render is true.
template <typename Wanted, typename FileOf>
std::size_t WriteFolder(const std::string& folder, std::size_t count, const Shard& shard, const RunControl& control,
                        Wanted wanted, FileOf fileOf) {
    MakeFolder(folder);
    const fs::path manifestPath = fs::path(folder) / "manifest.csv";
    RemoveFile(manifestPath);
    std::size_t total = 0;
    for (std::size_t i = 0; i < count; ++i) total += shard.Holds(i) && wanted(i) ? 1 : 0;
    std::string manifest = ManifestHeader();
    std::size_t written = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!wanted(i)) continue;
        const bool render = shard.Holds(i);
        const FolderFile file = fileOf(i, render);
        manifest += ManifestLine(file.row);
        if (!render) continue;
        control.stopIfAsked();
        Progress(control, written, total);
        WriteClip(folder, file.name, *file.job, control);
        ++written;
    }
    Progress(control, written, total);
    WriteText(manifestPath, manifest);
    return written;
}

// What the receiver made of one file: what it detected, and how it failed, or nothing.
struct FileResult {
    std::string detected;
    std::string failure;
};

FileResult RunOn(const ScoreRun& run, const std::string& path, bool text, const std::optional<std::regex>& pattern,
                 const std::function<void()>& stopIfAsked) {
    ReceiverRun receiver;
    try {
        receiver = RunReceiver(CommandFor(run.receiver, path), run.timeout, stopIfAsked);
    } catch (const ReceiverError& e) {
        if (e.Where() != ReceiverError::Step::Start) throw;
        return {"", "cannot run '" + e.Program() + "': " + e.what()};
    }
    return {text ? ReceivedText(receiver.output, pattern) : Detected(receiver.output, pattern, run.keyMap),
            FailureText(receiver, run.timeout)};
}

// Thrown in a worker whose run is stopped; what stopped it is thrown to the caller.
struct Stopped {};

constexpr auto kProgressStep = std::chrono::milliseconds(100);

// Each file's result, by its index: one job runs the files on the calling thread; more run on
// that many workers, each taking the next file, while the calling thread hears progress and asks
// whether to stop. A stop, or a failure thrown in a worker, ends every worker (and its receiver)
// and is thrown here.
std::vector<FileResult> RunAll(const ScoreRun& run, const std::vector<std::string>& paths, const std::vector<bool>& texts,
                               const std::optional<std::regex>& pattern, const RunControl& control) {
    std::vector<FileResult> results(paths.size());
    if (run.jobs <= 1) {
        for (std::size_t i = 0; i < paths.size(); ++i) {
            control.stopIfAsked();
            Progress(control, i, paths.size());
            results[i] = RunOn(run, paths[i], texts[i], pattern, control.stopIfAsked);
        }
        Progress(control, paths.size(), paths.size());
        return results;
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t next = 0, done = 0;
    std::exception_ptr failure;
    const auto fail = [&](std::exception_ptr e) {
        const std::lock_guard lock(mutex);
        if (!failure) failure = std::move(e);
    };
    const std::function<void()> stopIfFailed = [&] {
        const std::lock_guard lock(mutex);
        if (failure) throw Stopped();
    };
    const auto work = [&] {
        for (;;) {
            std::size_t i = 0;
            {
                const std::lock_guard lock(mutex);
                if (failure || next == paths.size()) return;
                i = next++;
            }
            try {
                FileResult result = RunOn(run, paths[i], texts[i], pattern, stopIfFailed);
                const std::lock_guard lock(mutex);
                results[i] = std::move(result);
                ++done;
            } catch (const Stopped&) {
                return;
            } catch (...) {
                fail(std::current_exception());
            }
            changed.notify_one();
        }
    };
    {
        std::vector<std::jthread> workers;
        for (std::size_t k = 0; k < std::min(run.jobs, paths.size()); ++k) workers.emplace_back(work);
        std::size_t shown = SIZE_MAX;
        for (;;) {
            std::size_t now = 0;
            {
                std::unique_lock lock(mutex);
                changed.wait_for(lock, kProgressStep, [&] { return failure || done == paths.size() || done != shown; });
                if (failure || done == paths.size()) break;
                now = done;
            }
            try {
                control.stopIfAsked();
                if (now != shown) Progress(control, now, paths.size());
                shown = now;
            } catch (...) {
                fail(std::current_exception());
            }
        }
    }
    if (failure) std::rethrow_exception(failure);
    Progress(control, paths.size(), paths.size());
    return results;
}

}  // namespace

std::size_t WriteSuite(const SuiteRun& run, const RunControl& control) {
    const Suite& suite = *run.suite;
    return WriteFolder(
        run.folder, FileCount(suite), run.shard, control,
        [&](std::size_t i) { return Wanted(run.families, std::string(FamilyAt(suite, i).name)); },
        [&](std::size_t i, bool render) {
            const SuiteFile file = FileAt(suite, i, run.seed);
            return FolderFile{RowOf(suite, file), file.name, render ? std::optional(JobOf(file, run.encoding)) : std::nullopt};
        });
}

std::size_t WriteCorpus(const CorpusRun& run, const RunControl& control) {
    return WriteFolder(
        run.folder, run.recipe.clips, run.shard, control, [](std::size_t) { return true; },
        [&](std::size_t i, bool) {
            Clip clip = ClipAt(run.recipe, i);
            return FolderFile{std::move(clip.row), std::move(clip.name), std::move(clip.job)};
        });
}

std::vector<std::string> CommandFor(const std::vector<std::string>& receiver, const std::string& path) {
    std::vector<std::string> argv;
    bool placed = false;
    for (std::string arg : receiver) {
        for (std::size_t at; (at = arg.find("{}")) != std::string::npos;) {
            arg.replace(at, 2, path);
            placed = true;
        }
        argv.push_back(std::move(arg));
    }
    if (!placed) argv.push_back(path);
    return argv;
}

std::string CommandText(const std::vector<std::string>& receiver) {
    std::string text;
    for (const std::string& arg : receiver) text.append(text.empty() ? "" : " ").append(arg);
    return text;
}

ScoredFolder ScoreFolder(const ScoreRun& run, const RunControl& control) {
    const fs::path folder(run.folder);
    const fs::path manifestPath = folder / "manifest.csv";
    std::string text;
    try {
        text = Script::ReadWholeFile(manifestPath.string(), control.stopIfAsked);
    } catch (const std::system_error& e) {
        throw FileError(FileError::Act::Read, manifestPath.string(), e.code().message());
    }
    std::vector<ManifestRow> rows = ReadManifest(text);
    std::optional<std::regex> pattern;
    if (!run.pattern.empty()) pattern = CompilePattern(run.pattern);

    ScoredFolder scored;
    std::vector<ManifestRow> present;
    for (ManifestRow& row : rows) {
        if (!Wanted(run.families, row.family)) continue;
        std::error_code error;
        if (!fs::is_regular_file(folder / row.file, error)) {
            ++scored.missing;
            continue;
        }
        present.push_back(std::move(row));
    }
    std::vector<std::string> paths;
    std::vector<bool> texts;
    for (const ManifestRow& row : present) {
        paths.push_back((folder / row.file).string());
        texts.push_back(CarriesText(row));
    }
    std::vector<FileResult> results = RunAll(run, paths, texts, pattern, control);
    std::vector<std::string> detected;
    std::vector<RunFailure> failures;
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (!results[i].failure.empty()) failures.push_back({i, std::move(results[i].failure)});
        detected.push_back(std::move(results[i].detected));
    }
    scored.report = Score(std::move(present), std::move(detected));
    scored.report.runFailures = std::move(failures);
    return scored;
}

}  // namespace Quorvex::VarnelNet::Kit
