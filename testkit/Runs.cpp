#include "testkit/Runs.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <regex>
#include <system_error>
#include <thread>

#include <unistd.h>

#include "testkit/FolderFiles.h"
#include "testkit/Labelled.h"
#include "testkit/Manifest.h"
#include "testkit/Measures.h"
#include "testkit/Reading.h"
#include "testkit/TextScore.h"
#include "testkit/ReceiverProcess.h"
#include "testkit/TalkOff.h"
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

// A file of a suite or corpus: its manifest row, and what writes it when it is in the shard.
struct FolderFile {
    ManifestRow row;
    std::function<void()> write;
};

// Writes the files of the shard, then the manifest; an earlier manifest is removed first, so that
// a run stopped half way never leaves one that lists other files. wanted(i) says whether file i
// is listed at all; fileOf(i, render) is file i, with its writer when render is true.
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
        file.write();
        ++written;
    }
    Progress(control, written, total);
    WriteText(manifestPath, manifest);
    return written;
}

// What the receiver printed for one file, and how it failed, or nothing.
struct FileResult {
    std::string output;
    std::string failure;
};

FileResult RunOn(const ScoreRun& run, const std::string& path, const std::function<void()>& stopIfAsked) {
    ReceiverRun receiver;
    try {
        receiver = RunReceiver(CommandFor(run.receiver, path), run.timeout, stopIfAsked);
    } catch (const ReceiverError& e) {
        if (e.Where() != ReceiverError::Step::Start) throw;
        return {"", "cannot run '" + e.Program() + "': " + e.what()};
    }
    return {std::move(receiver.output), FailureText(receiver, run.timeout)};
}

// What the kit knows of a file beside what the receiver printed: its length and the labels
// written beside it (NAME.jsonl), when they can be read.
FileEvidence EvidenceOf(const std::string& path, Reading reading, const RunControl& control) {
    FileEvidence evidence{std::move(reading), std::nullopt, ReadWaveLength(path)};
    const fs::path labels = fs::path(path).replace_extension(".jsonl");
    std::error_code error;
    if (!evidence.length || !fs::is_regular_file(labels, error)) return evidence;
    try {
        evidence.labelled = ReadLabels(Script::ReadWholeFile(labels.string(), control.stopIfAsked), evidence.length->rate);
    } catch (const std::system_error&) {
        evidence.labelled = std::nullopt;
    }
    return evidence;
}

// Thrown in a worker whose run is stopped; what stopped it is thrown to the caller.
struct Stopped {};

constexpr auto kProgressStep = std::chrono::milliseconds(100);

// Each file's result, by its index: one job runs the files on the calling thread; more run on
// that many workers, each taking the next file, while the calling thread hears progress and asks
// whether to stop. A stop, or a failure thrown in a worker, ends every worker (and its receiver)
// and is thrown here.
std::vector<FileResult> RunAll(const ScoreRun& run, const std::vector<std::string>& paths,
                               const RunControl& control) {
    std::vector<FileResult> results(paths.size());
    if (run.jobs <= 1) {
        for (std::size_t i = 0; i < paths.size(); ++i) {
            control.stopIfAsked();
            Progress(control, i, paths.size());
            results[i] = RunOn(run, paths[i], control.stopIfAsked);
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
                FileResult result = RunOn(run, paths[i], stopIfFailed);
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
    const auto wanted = [&](std::size_t i) { return Wanted(run.families, std::string(FamilyAt(suite, i).name)); };
    if (suite.madeByPrograms) {
        // Every shard makes every source, for the manifest's digests, and writes its own files.
        const TalkOffTools tools = FindTalkOffTools(control);
        const std::string tag = std::to_string(getpid()) + "-" + std::to_string(run.shard.index);
        return WriteFolder(run.folder, FileCount(suite), run.shard, control, wanted, [&](std::size_t i, bool render) {
            TalkOffSound sound = MakeTalkOffSound(suite, i, run.seed, tools, run.folder, tag, control);
            const fs::path path = fs::path(run.folder) / sound.row.file;
            std::function<void()> write;
            if (render) write = [path, samples = std::move(sound.samples), &run] { WriteSoundWave(path, samples, run.encoding); };
            return FolderFile{std::move(sound.row), std::move(write)};
        });
    }
    const std::size_t repeat = std::max<std::size_t>(run.repeat, 1);
    const auto wantedRepeat = [&](std::size_t i) { return wanted(i / repeat); };
    return WriteFolder(run.folder, FileCount(suite) * repeat, run.shard, control, wantedRepeat, [&](std::size_t i, bool render) {
        const SuiteFile file = RepeatAt(suite, i / repeat, run.seed, i % repeat);
        std::function<void()> write;
        if (render) write = [&run, &control, file] { WriteClip(run.folder, file.name, JobOf(file, run.encoding, run.rate), control); };
        ManifestRow row = RowOf(suite, file);
        if (run.rate != kSuiteRate) row.parameters.emplace_back("rate_hz", std::to_string(run.rate));
        return FolderFile{std::move(row), std::move(write)};
    });
}

std::size_t WriteCorpus(const CorpusRun& run, const RunControl& control) {
    return WriteFolder(
        run.folder, run.recipe.clips, run.shard, control, [](std::size_t) { return true; },
        [&](std::size_t i, bool) {
            Clip clip = ClipAt(run.recipe, i);
            return FolderFile{std::move(clip.row),
                              [&run, &control, name = std::move(clip.name), job = std::move(clip.job)] { WriteClip(run.folder, name, job, control); }};
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

namespace {

std::vector<ManifestRow> ManifestOf(const fs::path& folder, const RunControl& control) {
    const fs::path manifestPath = folder / "manifest.csv";
    std::string text;
    try {
        text = Script::ReadWholeFile(manifestPath.string(), control.stopIfAsked);
    } catch (const std::system_error& e) {
        throw FileError(FileError::Act::Read, manifestPath.string(), e.code().message());
    }
    return ReadManifest(text);
}

// The rows scored: those of the families wanted whose files are there; the others counted.
std::vector<ManifestRow> PresentRows(const fs::path& folder, const std::vector<std::string>& families, std::size_t& missing,
                                     const RunControl& control) {
    std::vector<ManifestRow> present;
    for (ManifestRow& row : ManifestOf(folder, control)) {
        if (!Wanted(families, row.family)) continue;
        std::error_code error;
        if (!fs::is_regular_file(folder / row.file, error)) {
            ++missing;
            continue;
        }
        present.push_back(std::move(row));
    }
    return present;
}

}  // namespace

std::vector<FileOutcome> RunShard(const ScoreRun& run, const Shard& shard, const RunControl& control) {
    const fs::path folder(run.folder);
    std::size_t missing = 0;
    std::vector<std::string> files;
    std::vector<std::string> paths;
    const std::vector<ManifestRow> present = PresentRows(folder, run.families, missing, control);
    for (std::size_t i = 0; i < present.size(); ++i) {
        if (!shard.Holds(i)) continue;
        files.push_back(present[i].file);
        paths.push_back((folder / present[i].file).string());
    }
    if (!run.pattern.empty()) CompileFieldPattern(run.pattern);  // refused before any receiver runs
    std::vector<FileResult> results = RunAll(run, paths, control);
    std::vector<FileOutcome> outcomes;
    for (std::size_t i = 0; i < results.size(); ++i) {
        outcomes.push_back({std::move(files[i]), std::move(results[i].output), std::move(results[i].failure)});
    }
    return outcomes;
}

ScoredFolder ScoreOutcomes(const ScoreRun& run, std::vector<FileOutcome> outcomes, const RunControl& control) {
    const fs::path folder(run.folder);
    std::optional<FieldPattern> pattern;
    if (!run.pattern.empty()) pattern = CompileFieldPattern(run.pattern);
    ScoredFolder scored;
    std::map<std::string, FileOutcome*> byFile;
    for (FileOutcome& outcome : outcomes) byFile[outcome.file] = &outcome;
    std::vector<ManifestRow> rows;
    std::vector<std::string> detected;
    std::vector<RunFailure> failures;
    std::vector<FileEvidence> evidence;
    for (ManifestRow& row : PresentRows(folder, run.families, scored.missing, control)) {
        const auto found = byFile.find(row.file);
        if (found == byFile.end()) {
            ++scored.missing;
            continue;
        }
        if (!found->second->failure.empty()) failures.push_back({rows.size(), std::move(found->second->failure)});
        Reading reading = ReadOutput(found->second->output, pattern, run.keyMap);
        // A TTY file's receiver is read for its text, not its keys.
        detected.push_back(CarriesText(row) ? ReceivedText(found->second->output, pattern ? std::optional(pattern->regex) : std::nullopt)
                                            : reading.detected);
        evidence.push_back(EvidenceOf((folder / row.file).string(), std::move(reading), control));
        rows.push_back(std::move(row));
    }
    scored.report = Score(std::move(rows), std::move(detected));
    scored.report.runFailures = std::move(failures);
    scored.measures = Measure(scored.report, evidence, pattern);
    return scored;
}

ScoredFolder ScoreFolder(const ScoreRun& run, const RunControl& control) {
    return ScoreOutcomes(run, RunShard(run, {}, control), control);
}

}  // namespace Quorvex::VarnelNet::Kit
