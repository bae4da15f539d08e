#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace varnel_python {

// varnel.suite(), varnel.score() and varnel.corpus(): the receiver test kit's runs on a folder,
// as the tool's suite, score and corpus commands do them, without the GIL (Ctrl-C stops them
// between files and blocks with KeyboardInterrupt). Arguments the kit does not take raise
// ArgumentError; a folder or file that cannot be made, read or written raises OSError (a
// receiver that cannot be started fails its files in the report).

// Writes a shard of the suite's files (each `repeat` times) and its manifest; returns how many files it wrote.
std::size_t WriteSuiteFolder(const std::string& name, const std::string& folder, std::uint64_t seed, std::size_t shard,
                             std::size_t shards, const std::string& encoding, const std::vector<std::string>& families,
                             std::size_t repeat);

// Scores the receiver on the folder, timeout (seconds as text, or empty) a file, with the key
// map (FROM=TO,... or empty) on jobs (as text) files at once; returns the report as
// `varnel score --json` prints it, the files the receiver failed on in it.
std::string ScoreFolderJson(const std::string& folder, const std::vector<std::string>& receiver, const std::string& pattern,
                            const std::vector<std::string>& families, const std::string& timeout, const std::string& keyMap,
                            const std::string& jobs);

// What the receiver made of files I, I + N, ... of those ScoreFolderJson would score, each as
// (file, what the receiver printed, how it failed or ""), for varnel.kit to run shards apart and
// gather.
using Outcome = std::tuple<std::string, std::string, std::string>;
std::vector<Outcome> ScoreShard(const std::string& folder, const std::vector<std::string>& receiver, const std::string& pattern,
                                const std::vector<std::string>& families, const std::string& timeout, const std::string& keyMap,
                                const std::string& jobs, std::size_t shard, std::size_t shards);
// The report of ScoreFolderJson from the outcomes of every shard, in any order.
std::string ScoreOutcomesJson(const std::string& folder, const std::vector<std::string>& receiver, const std::string& pattern,
                              const std::vector<std::string>& families, const std::string& keyMap, const std::vector<Outcome>& outcomes);

// Writes a shard of the clips of the recipe (JSON) and the manifest; returns how many it wrote.
std::size_t WriteCorpusFolder(const std::string& recipe, const std::string& folder, std::size_t shard, std::size_t shards);

}  // namespace varnel_python
