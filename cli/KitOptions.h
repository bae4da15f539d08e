#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "testkit/Score.h"
#include "testkit/Suite.h"

namespace Quorvex::VarnelNet::Cli {

// The receiver test kit's commands, named by the first argument.
enum class KitCommand { Suite, Score, Corpus };

// varnel suite NAME -o DIR, varnel score DIR -- COMMAND {}, varnel corpus RECIPE.json -o DIR.
struct KitOptions {
    KitCommand command = KitCommand::Suite;
    std::string subject;    // the suite's name (none: list the suites), the folder scored, the recipe
    std::string outputDir;  // -o
    std::uint64_t seed = 0;
    std::size_t shard = 1;  // --shard I/N: files I, I + N, I + 2N ... (counted from 1)
    std::size_t shards = 1;
    Kit::SuiteEncoding encoding = Kit::SuiteEncoding::Pcm;
    std::vector<std::string> families;  // --family A,B: only these
    std::size_t repeat = 1;             // --repeat N: each file with N seeds
    std::int32_t rate = Kit::kSuiteRate;  // --rate HZ: the suite's files at that sample rate
    std::string pattern;                // --pattern REGEX (ECMAScript), or empty
    bool json = false;
    std::optional<double> timeout;      // --timeout SECONDS: a receiver's time a file
    bool strict = false;                // --strict: exit status 1 when a requirement is not met
    std::string junit;                  // --junit FILE: the report as JUnit XML too, or empty
    std::string reportDir;              // --report DIR: the report as an HTML page with its plots, or empty
    Kit::KeyMap keyMap;                 // --key-map FROM=TO,...: symbols the receiver prints for keys
    std::size_t jobs = 1;               // -j N: receivers run at once
    bool help = false;                  // --help or -h: the command's part of the help
    std::vector<std::string> receiver;  // the command after --, {} standing for the file
};

// Whether the first argument names a kit command.
bool IsKitCommand(std::string_view word);

// Parses the arguments of a kit command, args[0] being its word. Throws UsageError.
KitOptions ParseKitArguments(std::span<const std::string> args);

// The kit's part of --help.
std::string KitHelp();
// One command's part of it, as `varnel suite --help` prints it.
std::string KitCommandHelp(KitCommand command);

}  // namespace Quorvex::VarnelNet::Cli
