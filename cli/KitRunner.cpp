#include "cli/KitRunner.h"

#include <string>
#include <system_error>

#include <unistd.h>

#include "cli/Failure.h"
#include "cli/Interrupt.h"
#include "cli/Text.h"
#include "cli/UsageError.h"
#include "testkit/FolderFiles.h"
#include "testkit/HtmlReport.h"
#include "testkit/Junit.h"
#include "testkit/ReceiverProcess.h"
#include "testkit/Runs.h"
#include "testkit/TalkOff.h"
#include "varnel/script/TextFiles.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

const Kit::RunControl kControl{StopIfInterrupted, {}};

constexpr std::size_t kFailuresNamed = 4;

Kit::Shard ShardOf(const KitOptions& kit) { return {kit.shard, kit.shards}; }

std::string ShardText(const KitOptions& kit) {
    return kit.shards == 1 ? "" : " (shard " + std::to_string(kit.shard) + "/" + std::to_string(kit.shards) + ")";
}

// The kit's failures in the tool's words.
[[noreturn]] void Reword(const Kit::FileError& e) {
    switch (e.Action()) {
        case Kit::FileError::Act::MakeFolder:
            throw Failure(Printable(e.Path()), std::string("cannot make the folder (") + e.what() + ")");
        case Kit::FileError::Act::Read:
            throw UsageError("score: cannot read " + Printable(e.Path()) + ": " + e.what());
        case Kit::FileError::Act::Write: break;
    }
    throw Failure(Printable(e.Path()), std::string("cannot write it (") + e.what() + ")");
}

// A receiver that cannot be started fails its file (Kit::RunFailure): what reaches here is a
// pipe that cannot be made.
[[noreturn]] void Reword(const Kit::ReceiverError& e) { throw Failure("score", std::string("cannot make a pipe: ") + e.what()); }

// "3 files: a.wav (exit status 3), b.wav (timed out after 2 s) ... and 1 more".
std::string FailuresText(const Kit::Report& report) {
    const std::vector<Kit::RunFailure>& failures = report.runFailures;
    std::string text = std::to_string(failures.size()) + (failures.size() == 1 ? " file: " : " files: ");
    for (std::size_t k = 0; k < failures.size() && k < kFailuresNamed; ++k) {
        text += (k == 0 ? "" : ", ") + Printable(report.rows[failures[k].row].file) + " (" + Printable(failures[k].how) + ")";
    }
    if (failures.size() > kFailuresNamed) text += " and " + std::to_string(failures.size() - kFailuresNamed) + " more";
    return text;
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
    const Kit::SuiteRun run{Kit::FindSuite(kit.subject), kit.outputDir, kit.seed, ShardOf(kit), kit.encoding, kit.families, kit.repeat, kit.rate};
    const std::size_t written = Kit::WriteSuite(run, kControl);
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
    Kit::CorpusRun run;
    try {
        run.recipe = Kit::ReadCorpusRecipe(text);
    } catch (const Kit::CorpusError& e) {
        throw UsageError("corpus: " + Printable(kit.subject) + ": " + e.what());
    }
    run.folder = kit.outputDir;
    run.shard = ShardOf(kit);
    const std::size_t written = Kit::WriteCorpus(run, kControl);
    std::fprintf(err, "varnel: wrote %zu clips%s and manifest.csv to %s\n", written, ShardText(kit).c_str(),
                 Printable(kit.outputDir).c_str());
    return 0;
}

// "scored 120/1264 files", redrawn in place on a terminal; nothing on anything else.
Kit::RunControl ScoreControl(std::FILE* err, bool& shown) {
    if (!isatty(fileno(err))) return kControl;
    return {StopIfInterrupted, [err, &shown](std::size_t done, std::size_t total) {
                std::fprintf(err, "\rscored %zu/%zu files", done, total);
                std::fflush(err);
                shown = true;
            }};
}

int RunScore(const KitOptions& kit, std::FILE* out, std::FILE* err) {
    Kit::ScoredFolder scored;
    bool progressShown = false;
    try {
        scored = Kit::ScoreFolder({kit.subject, kit.receiver, kit.pattern, kit.families, kit.timeout, kit.keyMap, kit.jobs},
                                  ScoreControl(err, progressShown));
        if (progressShown) std::fputs("\r\033[K", err);
    } catch (const Kit::ManifestError& e) {
        throw UsageError("score: " + Printable(kit.subject) + ": " + e.what());
    } catch (const Kit::ReceiverError& e) {
        Reword(e);
    }
    const std::string receiver = Kit::CommandText(kit.receiver);
    const std::string printed =
        kit.json ? Kit::ReportJson(scored.report, receiver, &scored.measures) : Kit::ReportText(scored.report, receiver, &scored.measures);
    std::fputs(printed.c_str(), out);
    if (!kit.junit.empty()) Kit::WriteText(kit.junit, Kit::ReportJunit(scored.report, receiver, &scored.measures));
    if (!kit.reportDir.empty()) Kit::WriteReportFolder(kit.reportDir, Kit::HtmlReport(scored.report, scored.measures, receiver));
    std::fprintf(err, "varnel: scored %zu files of %s", scored.report.rows.size(), Printable(kit.subject).c_str());
    if (scored.missing > 0) std::fprintf(err, ", %zu listed but not there (another shard?)", scored.missing);
    const std::vector<Kit::RunFailure>& failures = scored.report.runFailures;
    if (!failures.empty()) std::fprintf(err, "; the receiver exited with a failure on %zu", failures.size());
    std::fprintf(err, "\n");
    if (!failures.empty()) std::fprintf(err, "varnel: score: the receiver failed on %s\n", FailuresText(scored.report).c_str());
    std::size_t notMet = 0;
    for (const Kit::RequirementResult& r : scored.report.requirements) notMet += r.failures.empty() ? 0 : 1;
    if (kit.strict && notMet > 0) {
        std::fprintf(err, "varnel: score: %zu requirement%s NOT MET (--strict)\n", notMet, notMet == 1 ? "" : "s");
    }
    return failures.empty() && !(kit.strict && notMet > 0) ? kExitSuccess : kExitFailure;
}

}  // namespace

int RunKit(const KitOptions& kit, std::FILE* out, std::FILE* err) {
    if (kit.help) {
        std::fputs(KitCommandHelp(kit.command).c_str(), out);
        return 0;
    }
    try {
        switch (kit.command) {
            case KitCommand::Suite: return kit.subject.empty() ? ListSuites(out) : RunSuite(kit, err);
            case KitCommand::Score: return RunScore(kit, out, err);
            case KitCommand::Corpus: return RunCorpus(kit, err);
        }
    } catch (const Kit::FileError& e) {
        Reword(e);
    } catch (const Kit::TalkOffError& e) {
        throw Failure("suite " + kit.subject, e.what());
    }
    return 0;
}

}  // namespace Quorvex::VarnelNet::Cli
