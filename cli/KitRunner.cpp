#include "cli/KitRunner.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <system_error>
#include <vector>

#include "cli/Failure.h"
#include "cli/Interrupt.h"
#include "cli/ReceiverProcess.h"
#include "cli/Text.h"
#include "cli/UsageError.h"
#include "testkit/Corpus.h"
#include "testkit/Manifest.h"
#include "testkit/Score.h"
#include "varnel/platform/FileOutput.h"
#include "varnel/script/TextFiles.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

namespace fs = std::filesystem;

// Writes a whole file, replacing an old one only once it is complete.
void WriteWhole(const fs::path& path, const std::function<void(FileOutput&)>& write) {
    FileOutput file;
    const auto fail = [&] {
        const std::string reason = file.Reason();
        file.Discard();
        throw Failure(Printable(path.string()), "cannot write it (" + reason + ")");
    };
    if (!file.Create(path.string())) fail();
    write(file);
    if (!file.Close()) fail();
}

void WriteText(const fs::path& path, const std::string& text) {
    WriteWhole(path, [&](FileOutput& file) { file.Append(text.data(), text.size()); });
}

void MakeFolder(const std::string& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) throw Failure(Printable(folder), "cannot make the folder (" + error.message() + ")");
}

// One of the many files of a suite or corpus: written under a hidden name and renamed when
// complete, without the flush to disk a single output gets (a folder of thousands of files
// would wait on it); an unfinished one is removed.
class ClipFile {
public:
    explicit ClipFile(fs::path path) : m_path(std::move(path)), m_part(m_path) {
        m_part.replace_filename(".");
        m_part += m_path.filename();
        m_part += ".part";
        m_file = std::fopen(m_part.c_str(), "wb");
        if (!m_file) Fail();
    }
    ~ClipFile() {
        if (!m_file) return;
        std::fclose(m_file);
        std::error_code ignored;
        fs::remove(m_part, ignored);
    }
    ClipFile(const ClipFile&) = delete;
    ClipFile& operator=(const ClipFile&) = delete;
    void Write(const void* data, std::size_t length) {
        if (std::fwrite(data, 1, length, m_file) != length) Fail();
    }
    void Finish() {
        const bool closed = std::fclose(m_file) == 0;
        m_file = nullptr;
        if (!closed || std::rename(m_part.c_str(), m_path.c_str()) != 0) {
            const int error = errno;
            std::error_code ignored;
            fs::remove(m_part, ignored);
            throw Failure(Printable(m_path.string()), std::string("cannot write it (") + std::strerror(error) + ")");
        }
    }

private:
    [[noreturn]] void Fail() const {
        throw Failure(Printable(m_path.string()), std::string("cannot write it (") + std::strerror(errno) + ")");
    }

    fs::path m_path;
    fs::path m_part;
    std::FILE* m_file = nullptr;
};

// A rendering written as NAME.wav with its labels as NAME.jsonl.
void WriteClip(const fs::path& folder, const std::string& name, const Script::Requests& requests,
               const Script::RenderOptions& options) {
    Script::Rendering rendering(options, requests);
    ClipFile wave(folder / (name + ".wav"));
    Script::WriteWave(
        rendering, [&](const std::uint8_t* data, std::size_t length) { wave.Write(data, length); }, StopIfInterrupted);
    wave.Finish();
    ClipFile labels(folder / (name + ".jsonl"));
    const std::string text = Script::JsonLabels(rendering.Labels());
    labels.Write(text.data(), text.size());
    labels.Finish();
}

bool Wanted(const std::vector<std::string>& families, const std::string& family) {
    return families.empty() || std::find(families.begin(), families.end(), family) != families.end();
}

bool InShard(const KitOptions& kit, std::size_t index) { return index % kit.shards == kit.shard - 1; }

std::string ShardText(const KitOptions& kit) {
    return kit.shards == 1 ? "" : " (shard " + std::to_string(kit.shard) + "/" + std::to_string(kit.shards) + ")";
}

int ListSuites(std::FILE* out) {
    for (const Kit::Suite& suite : Kit::Suites()) {
        std::fprintf(out, "%s: %s, %zu files\n", std::string(suite.name).c_str(), std::string(suite.description).c_str(),
                     Kit::FileCount(suite));
        for (const Kit::Family& family : suite.families) {
            std::fprintf(out, "  %-16s %4zu  %s\n", std::string(family.name).c_str(), family.count,
                         std::string(family.description).c_str());
        }
    }
    return 0;
}

int RunSuite(const KitOptions& kit, std::FILE* err) {
    const Kit::Suite& suite = *Kit::FindSuite(kit.subject);
    MakeFolder(kit.outputDir);
    std::string manifest = Kit::ManifestHeader();
    std::size_t written = 0;
    for (std::size_t i = 0; i < Kit::FileCount(suite); ++i) {
        const Kit::SuiteFile file = Kit::FileAt(suite, i, kit.seed);
        if (!Wanted(kit.families, file.family)) continue;
        manifest += Kit::ManifestLine(Kit::RowOf(suite, file));
        if (!InShard(kit, i)) continue;
        StopIfInterrupted();
        const Kit::FileJob job = Kit::JobOf(file, kit.encoding);
        WriteClip(kit.outputDir, file.name, job.requests, job.options);
        ++written;
    }
    WriteText(fs::path(kit.outputDir) / "manifest.csv", manifest);
    std::fprintf(err, "varnel: wrote %zu files of the suite %s%s and manifest.csv to %s\n", written, kit.subject.c_str(),
                 ShardText(kit).c_str(), Printable(kit.outputDir).c_str());
    return 0;
}

int RunCorpus(const KitOptions& kit, std::FILE* err) {
    std::string text;
    try {
        text = Script::ReadWholeFile(kit.subject, StopIfInterrupted);
    } catch (const std::system_error& e) {
        throw UsageError("corpus: cannot read the recipe '" + Printable(kit.subject) + "': " + e.code().message());
    }
    Kit::CorpusRecipe recipe;
    try {
        recipe = Kit::ReadCorpusRecipe(text);
    } catch (const Kit::CorpusError& e) {
        throw UsageError("corpus: " + Printable(kit.subject) + ": " + e.what());
    }
    MakeFolder(kit.outputDir);
    std::string manifest = Kit::ManifestHeader();
    std::size_t written = 0;
    for (std::size_t i = 0; i < recipe.clips; ++i) {
        const Kit::Clip clip = Kit::ClipAt(recipe, i);
        manifest += Kit::ManifestLine(clip.row);
        if (!InShard(kit, i)) continue;
        StopIfInterrupted();
        WriteClip(kit.outputDir, clip.name, clip.job.requests, clip.job.options);
        ++written;
    }
    WriteText(fs::path(kit.outputDir) / "manifest.csv", manifest);
    std::fprintf(err, "varnel: wrote %zu clips%s and manifest.csv to %s\n", written, ShardText(kit).c_str(),
                 Printable(kit.outputDir).c_str());
    return 0;
}

// The receiver's command for one file: {} in an argument stands for the path; without one, the
// path is added last.
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

int RunScore(const KitOptions& kit, std::FILE* out, std::FILE* err) {
    const fs::path folder(kit.subject);
    std::string text;
    try {
        text = Script::ReadWholeFile((folder / "manifest.csv").string(), StopIfInterrupted);
    } catch (const std::system_error& e) {
        throw UsageError("score: cannot read " + Printable((folder / "manifest.csv").string()) + ": " + e.code().message());
    }
    std::vector<Kit::ManifestRow> rows;
    try {
        rows = Kit::ReadManifest(text);
    } catch (const Kit::ManifestError& e) {
        throw UsageError("score: " + Printable(folder.string()) + ": " + e.what());
    }
    std::optional<std::regex> pattern;
    if (!kit.pattern.empty()) pattern = Kit::CompilePattern(kit.pattern);
    std::vector<Kit::ManifestRow> scored;
    std::vector<std::string> detected;
    std::size_t missing = 0;
    std::size_t failedRuns = 0;
    for (Kit::ManifestRow& row : rows) {
        if (!Wanted(kit.families, row.family)) continue;
        const fs::path path = folder / row.file;
        std::error_code error;
        if (!fs::is_regular_file(path, error)) {
            ++missing;
            continue;
        }
        StopIfInterrupted();
        const ReceiverRun run = RunReceiver(CommandFor(kit.receiver, path.string()));
        if (run.status != 0) ++failedRuns;
        detected.push_back(Kit::Detected(run.output, pattern));
        scored.push_back(std::move(row));
    }
    const Kit::Report report = Kit::Score(std::move(scored), std::move(detected));
    const std::string receiver = CommandText(kit.receiver);
    const std::string printed = kit.json ? Kit::ReportJson(report, receiver) : Kit::ReportText(report, receiver);
    std::fputs(printed.c_str(), out);
    std::fprintf(err, "varnel: scored %zu files of %s", report.rows.size(), Printable(folder.string()).c_str());
    if (missing > 0) std::fprintf(err, ", %zu listed but not there (another shard?)", missing);
    if (failedRuns > 0) std::fprintf(err, "; the receiver exited with a failure on %zu", failedRuns);
    std::fprintf(err, "\n");
    return 0;
}

}  // namespace

int RunKit(const KitOptions& kit, std::FILE* out, std::FILE* err) {
    switch (kit.command) {
        case KitCommand::Suite: return kit.subject.empty() ? ListSuites(out) : RunSuite(kit, err);
        case KitCommand::Score: return RunScore(kit, out, err);
        case KitCommand::Corpus: return RunCorpus(kit, err);
    }
    return 0;
}

}  // namespace Quorvex::VarnelNet::Cli
