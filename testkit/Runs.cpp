#include "testkit/Runs.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <regex>
#include <system_error>

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
    std::vector<std::string> detected;
    std::vector<RunFailure> failures;
    for (const ManifestRow& row : present) {
        control.stopIfAsked();
        Progress(control, detected.size(), present.size());
        ReceiverRun receiver;
        try {
            receiver = RunReceiver(CommandFor(run.receiver, (folder / row.file).string()), run.timeout, control.stopIfAsked);
        } catch (const ReceiverError& e) {
            if (e.Where() != ReceiverError::Step::Start) throw;
            failures.push_back({detected.size(), "cannot run '" + e.Program() + "': " + e.what()});
            detected.emplace_back();
            continue;
        }
        if (const std::string how = FailureText(receiver, run.timeout); !how.empty()) failures.push_back({detected.size(), how});
        detected.push_back(Detected(receiver.output, pattern));
    }
    Progress(control, detected.size(), present.size());
    scored.report = Score(std::move(present), std::move(detected));
    scored.report.runFailures = std::move(failures);
    return scored;
}

}  // namespace Quorvex::VarnelNet::Kit
