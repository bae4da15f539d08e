#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "testkit/Corpus.h"
#include "testkit/Measures.h"
#include "testkit/Score.h"
#include "testkit/Suite.h"

namespace Quorvex::VarnelNet::Kit {

// What the kit does with a folder: writes a suite's or a corpus's files (a shard of them) with
// the whole manifest, or scores a receiver on the files of a folder. Failures are thrown:
// FileError (FolderFiles.h), ReceiverError (ReceiverProcess.h), ManifestError for a folder's
// manifest, and whatever stopIfAsked throws.

// Between files and blocks of work: stopIfAsked (always given) throws to stop (a receiver running
// is ended first); progress, when given, hears how many files of the run are done, of how many.
struct RunControl {
    std::function<void()> stopIfAsked;
    std::function<void(std::size_t done, std::size_t total)> progress;
};

// Files I, I + N, I + 2N ... of a suite or corpus, counted from 1.
struct Shard {
    std::size_t index = 1;
    std::size_t count = 1;
    bool Holds(std::size_t file) const { return file % count == index - 1; }
};

struct SuiteRun {
    const Suite* suite = nullptr;
    std::string folder;
    std::uint64_t seed = 0;
    Shard shard;
    SuiteEncoding encoding = SuiteEncoding::Pcm;
    std::vector<std::string> families;  // only these; none: every family
    std::size_t repeat = 1;             // each file this many times, with as many seeds (RepeatAt)
    std::int32_t rate = kSuiteRate;     // Hz; another rate is named in each row's parameters (rate_hz)
};

struct CorpusRun {
    CorpusRecipe recipe;
    std::string folder;
    Shard shard;
};

// Removes an earlier manifest.csv, writes NAME.wav and NAME.jsonl (its labels) for each file of
// the shard, then manifest.csv listing every file (complete or not at all). Returns how many
// files it wrote.
std::size_t WriteSuite(const SuiteRun& run, const RunControl& control);
std::size_t WriteCorpus(const CorpusRun& run, const RunControl& control);

struct ScoreRun {
    std::string folder;
    std::vector<std::string> receiver;  // the command, {} in an argument standing for the file
    std::string pattern;                // what the receiver's output is read with, or empty
    std::vector<std::string> families;  // only these; none: every family
    std::optional<double> timeout;      // seconds a file, or none
    KeyMap keyMap;                      // symbols the receiver prints for keys
    std::size_t jobs = 1;               // receivers run at once
};

struct ScoredFolder {
    Report report;
    Measures measures;
    std::size_t missing = 0;  // files the manifest lists that are not there (another shard)
};

// Runs the receiver on every file of the folder's manifest.csv that is there, `jobs` files at a
// time on worker threads (the calling thread hears progress and stops), and scores what it
// reported, gathered by file, so that the report is the same for any number of jobs; the files
// it failed on are the report's runFailures (one it could not be started on is scored as if it
// reported nothing), with the measures of its fields, timing and statistics from what it printed
// and the labels beside each file. Throws FileError when the manifest cannot be read, and
// std::invalid_argument for a pattern CompileFieldPattern refuses.
ScoredFolder ScoreFolder(const ScoreRun& run, const RunControl& control);

// What the receiver printed for one file of a folder (up to kOutputBound), by the file's name in
// the manifest.
struct FileOutcome {
    std::string file;
    std::string output;
    std::string failure;  // how it failed on the file, or empty
};
// The receiver run as ScoreFolder runs it on files I, I + N, ... of those of the manifest it
// scores, so that shards of the files can run on other processes or machines.
std::vector<FileOutcome> RunShard(const ScoreRun& run, const Shard& shard, const RunControl& control);
// The folder scored from the outcomes of its files, gathered from every shard in any order: the
// report ScoreFolder gives, read with the run's pattern and key map. A file of the manifest
// without an outcome counts as missing.
ScoredFolder ScoreOutcomes(const ScoreRun& run, std::vector<FileOutcome> outcomes, const RunControl& control);

// The receiver's command for one file: {} in an argument stands for the path; without one, the
// path is added last.
std::vector<std::string> CommandFor(const std::vector<std::string>& receiver, const std::string& path);
// The command as a report names it: its arguments joined by spaces.
std::string CommandText(const std::vector<std::string>& receiver);

}  // namespace Quorvex::VarnelNet::Kit
