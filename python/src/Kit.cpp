#include "Kit.h"

#include <pybind11/pybind11.h>

#include <optional>
#include <stdexcept>
#include <string_view>

#include "testkit/Corpus.h"
#include "testkit/FieldPattern.h"
#include "testkit/FolderFiles.h"
#include "testkit/ReceiverProcess.h"
#include "testkit/Runs.h"
#include "varnel/platform/TextConversion.h"
#include "testkit/TalkOff.h"
#include "varnel/options/OptionRegistry.h"
#include "varnel/script/RequestError.h"

namespace py = pybind11;
using namespace Quorvex::VarnelNet;

namespace varnel_python {

namespace {

// Between files and blocks of a run without the GIL: a pending signal raises its exception.
void StopIfPythonAsks() {
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
}

const Kit::RunControl kControl{StopIfPythonAsks, {}};

std::string FileErrorText(const Kit::FileError& e) {
    switch (e.Action()) {
        case Kit::FileError::Act::MakeFolder: return "cannot make the folder " + e.Path() + " (" + e.what() + ")";
        case Kit::FileError::Act::Read: return "cannot read " + e.Path() + " (" + e.what() + ")";
        case Kit::FileError::Act::Write: break;
    }
    return "cannot write " + e.Path() + " (" + e.what() + ")";
}

// A receiver that cannot be started fails its file, in the report: what raises is a pipe that
// cannot be made.
std::string ReceiverErrorText(const Kit::ReceiverError& e) {
    return std::string("cannot make a pipe for the receiver (") + e.what() + ")";
}

// Runs work without the GIL; the kit's failures to make, read or write something raise OSError,
// a malformed manifest ArgumentError.
template <typename Work>
auto Unlocked(Work work) {
    std::string failure;
    {
        py::gil_scoped_release nogil;
        try {
            return work();
        } catch (const Kit::FileError& e) {
            failure = FileErrorText(e);
        } catch (const Kit::ReceiverError& e) {
            failure = ReceiverErrorText(e);
        } catch (const Kit::TalkOffError& e) {
            failure = e.what();
        } catch (const Kit::ManifestError& e) {
            throw Script::RequestError(e.what());
        }
    }
    PyErr_SetString(PyExc_OSError, failure.c_str());
    throw py::error_already_set();
}

Kit::Shard ShardOf(std::size_t shard, std::size_t shards) {
    if (shards < 1 || shard < 1 || shard > shards) {
        throw Script::RequestError("shard=(" + std::to_string(shard) + ", " + std::to_string(shards) +
                                   ") is not (I, N) with 1 <= I <= N");
    }
    return {shard, shards};
}

std::string Known(const std::vector<std::string_view>& names) {
    std::string text;
    for (const std::string_view name : names) text.append(text.empty() ? "" : ", ").append(name);
    return text;
}

const Kit::Suite& SuiteNamed(const std::string& name) {
    if (const Kit::Suite* suite = Kit::FindSuite(name)) return *suite;
    std::vector<std::string_view> names;
    for (const Kit::Suite& suite : Kit::Suites()) names.push_back(suite.name);
    throw Script::RequestError("there is no suite '" + name + "' (" + Known(names) + ")");
}

Kit::SuiteEncoding EncodingNamed(const std::string& encoding) {
    if (encoding == "pcm") return Kit::SuiteEncoding::Pcm;
    if (encoding == "ulaw") return Kit::SuiteEncoding::MuLaw;
    if (encoding == "alaw") return Kit::SuiteEncoding::ALaw;
    throw Script::RequestError("encoding '" + encoding + "' is not pcm, ulaw or alaw");
}

void CheckFamilies(const Kit::Suite& suite, const std::vector<std::string>& families) {
    for (const std::string& family : families) {
        if (Kit::FindFamily(suite, family)) continue;
        std::vector<std::string_view> names;
        for (const Kit::Family& f : suite.families) names.push_back(f.name);
        throw Script::RequestError("the suite " + std::string(suite.name) + " has no family '" + family + "' (" + Known(names) + ")");
    }
}

}  // namespace

std::size_t WriteSuiteFolder(const std::string& name, const std::string& folder, std::uint64_t seed, std::size_t shard,
                             std::size_t shards, const std::string& encoding, const std::vector<std::string>& families,
                             std::size_t repeat) {
    const Kit::Suite& suite = SuiteNamed(name);
    CheckFamilies(suite, families);
    for (const Option::OptionRow* row : Option::Find("repeat")) {
        if (row->target == Option::Target::Kit) repeat = static_cast<std::size_t>(Option::WholeOf(*row, std::to_string(repeat)));
    }
    const Kit::SuiteRun run{&suite, folder, seed, ShardOf(shard, shards), EncodingNamed(encoding), families, repeat};
    return Unlocked([&] { return Kit::WriteSuite(run, kControl); });
}

namespace {

// The run of the arguments the Python functions take, checked as the tool checks its options.
Kit::ScoreRun ScoreRunOf(const std::string& folder, const std::vector<std::string>& receiver, const std::string& pattern,
                         const std::vector<std::string>& families, const std::string& timeout, const std::string& keyMap,
                         const std::string& jobs) {
    if (receiver.empty()) throw Script::RequestError("the receiver's command is empty: give its program and arguments, {} for the file");
    try {
        if (!pattern.empty()) Kit::CompileFieldPattern(pattern);
    } catch (const std::invalid_argument& e) {
        throw Script::RequestError("the pattern '" + pattern + "' is refused: " + e.what());
    }
    Kit::KeyMap map;
    try {
        map = Kit::ReadKeyMap(keyMap);
    } catch (const std::invalid_argument& e) {
        throw Script::RequestError("the key map '" + keyMap + "' is refused: " + e.what());
    }
    std::optional<double> seconds;
    std::size_t workers = 1;
    for (const Option::OptionRow* row : Option::Find("timeout")) {
        if (row->target == Option::Target::Kit && !timeout.empty()) seconds = Option::NumberOf(*row, timeout);
    }
    for (const Option::OptionRow* row : Option::Find("jobs")) {
        if (row->target == Option::Target::Kit) workers = static_cast<std::size_t>(Option::WholeOf(*row, jobs));
    }
    return {folder, receiver, pattern, families, seconds, std::move(map), workers};
}

}  // namespace

std::string ScoreFolderJson(const std::string& folder, const std::vector<std::string>& receiver, const std::string& pattern,
                            const std::vector<std::string>& families, const std::string& timeout, const std::string& keyMap,
                            const std::string& jobs) {
    const Kit::ScoreRun run = ScoreRunOf(folder, receiver, pattern, families, timeout, keyMap, jobs);
    const Kit::ScoredFolder scored = Unlocked([&] { return Kit::ScoreFolder(run, kControl); });
    return Kit::ReportJson(scored.report, Kit::CommandText(receiver), &scored.measures);
}

std::vector<Outcome> ScoreShard(const std::string& folder, const std::vector<std::string>& receiver, const std::string& pattern,
                                const std::vector<std::string>& families, const std::string& timeout, const std::string& keyMap,
                                const std::string& jobs, std::size_t shard, std::size_t shards) {
    const Kit::ScoreRun run = ScoreRunOf(folder, receiver, pattern, families, timeout, keyMap, jobs);
    const Kit::Shard part = ShardOf(shard, shards);
    std::vector<Outcome> outcomes;
    for (Kit::FileOutcome& o : Unlocked([&] { return Kit::RunShard(run, part, kControl); })) {
        // Python's text is UTF-8: a receiver's other bytes cross as U+FFFD.
        outcomes.emplace_back(std::move(o.file), Utf16ToUtf8(Utf8ToUtf16(o.output)), std::move(o.failure));
    }
    return outcomes;
}

std::string ScoreOutcomesJson(const std::string& folder, const std::vector<std::string>& receiver, const std::string& pattern,
                              const std::vector<std::string>& families, const std::string& keyMap, const std::vector<Outcome>& outcomes) {
    const Kit::ScoreRun run = ScoreRunOf(folder, receiver, pattern, families, "", keyMap, "1");
    std::vector<Kit::FileOutcome> gathered;
    for (const auto& [file, output, failure] : outcomes) gathered.push_back({file, output, failure});
    const Kit::ScoredFolder scored = Unlocked([&] { return Kit::ScoreOutcomes(run, std::move(gathered), kControl); });
    return Kit::ReportJson(scored.report, Kit::CommandText(receiver), &scored.measures);
}

std::size_t WriteCorpusFolder(const std::string& recipe, const std::string& folder, std::size_t shard, std::size_t shards) {
    Kit::CorpusRun run;
    try {
        run.recipe = Kit::ReadCorpusRecipe(recipe);
    } catch (const Kit::CorpusError& e) {
        throw Script::RequestError(std::string("recipe: ") + e.what());
    }
    run.folder = folder;
    run.shard = ShardOf(shard, shards);
    return Unlocked([&] { return Kit::WriteCorpus(run, kControl); });
}

}  // namespace varnel_python
