#include "cli/KitOptions.h"

#include <stdexcept>

#include "cli/RefusalText.h"
#include "testkit/FieldPattern.h"
#include "testkit/Score.h"
#include "varnel/engine/Enumerations.h"
#include "varnel/engine/SettingsCatalog.h"
#include "varnel/options/OptionRegistry.h"
#include "varnel/options/ValueReaders.h"
#include "varnel/platform/PrintableText.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

namespace Registry = VarnelNet::Option;

// The kit's row of that option.
const Registry::OptionRow& KitRow(std::string_view name) {
    for (const Registry::OptionRow* row : Registry::Find(name)) {
        if (row->target == Registry::Target::Kit) return *row;
    }
    throw std::logic_error("the kit has no option " + std::string(name));
}

void ReadShard(KitOptions& kit, std::string_view text) {
    Worded([&] {
        const Registry::Share share = Registry::ReadShare("shard", text, KitRow("shard").most);
        kit.shard = static_cast<std::size_t>(share.index);
        kit.shards = static_cast<std::size_t>(share.count);
    });
}

// -e WORD: the encoding's words of the settings catalog.
Kit::SuiteEncoding ReadEncoding(std::string_view word) {
    for (const SettingKeyword& k : SettingsCatalog::kEncoding.keywords) {
        if (k.word != word) continue;
        if (k.value == ENC_MuLaw) return Kit::SuiteEncoding::MuLaw;
        return k.value == ENC_ALaw ? Kit::SuiteEncoding::ALaw : Kit::SuiteEncoding::Pcm;
    }
    throw UsageError("suite: -e: '" + Printable(word) + "' is not pcm, ulaw or alaw");
}

std::vector<std::string> Words(std::string_view list) {
    std::vector<std::string> words;
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        if (comma != 0) words.emplace_back(list.substr(0, comma));
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return words;
}

void CheckFamilies(const KitOptions& kit) {
    const Kit::Suite* suite = Kit::FindSuite(kit.subject);
    for (const std::string& family : kit.families) {
        if (suite && !Kit::FindFamily(*suite, family)) {
            std::string known;
            for (const Kit::Family& f : suite->families) known.append(known.empty() ? "" : ", ").append(f.name);
            throw UsageError("--family: the suite " + kit.subject + " has no family '" + Printable(family) + "' (" + known + ")");
        }
    }
}

}  // namespace

bool IsKitCommand(std::string_view word) { return word == "suite" || word == "score" || word == "corpus"; }

KitOptions ParseKitArguments(std::span<const std::string> args) {
    KitOptions kit;
    const std::string_view word = args[0];
    kit.command = word == "suite" ? KitCommand::Suite : word == "score" ? KitCommand::Score : KitCommand::Corpus;
    const auto value = [&](std::size_t& i, std::string_view option) -> std::string {
        if (i + 1 >= args.size()) throw UsageError(std::string(word) + ": " + std::string(option) + " needs a value");
        return args[++i];
    };
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            kit.help = true;
            return kit;
        }
        if (arg == "--" && kit.command == KitCommand::Score) {
            kit.receiver.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        }
        if ((arg == "-o" || arg == "--output") && kit.command != KitCommand::Score) {
            kit.outputDir = value(i, arg);
        } else if (arg == "--seed" && kit.command == KitCommand::Suite) {
            const std::string seed = value(i, arg);
            Worded([&] { kit.seed = Registry::WholeOf(KitRow("seed"), seed); });
        } else if (arg == "--shard" && kit.command != KitCommand::Score) {
            ReadShard(kit, value(i, arg));
        } else if ((arg == "-e" || arg == "--encoding") && kit.command == KitCommand::Suite) {
            kit.encoding = ReadEncoding(value(i, arg));
        } else if (arg == "--repeat" && kit.command == KitCommand::Suite) {
            const std::string repeat = value(i, arg);
            Worded([&] { kit.repeat = static_cast<std::size_t>(Registry::WholeOf(KitRow("repeat"), repeat)); });
        } else if (arg == "--rate" && kit.command == KitCommand::Suite) {
            const std::string rate = value(i, arg);
            Worded([&] { kit.rate = static_cast<std::int32_t>(Registry::WholeOf(KitRow("rate"), rate)); });
        } else if (arg == "--family" && kit.command != KitCommand::Corpus) {
            kit.families = Words(value(i, arg));
        } else if (arg == "--pattern" && kit.command == KitCommand::Score) {
            kit.pattern = value(i, arg);
            try {
                Kit::CompileFieldPattern(kit.pattern);
            } catch (const std::invalid_argument& e) {
                throw UsageError("score: --pattern '" + Printable(kit.pattern) + "' is refused: " + e.what());
            }
        } else if (arg == "--json" && kit.command == KitCommand::Score) {
            kit.json = true;
        } else if (arg == "--timeout" && kit.command == KitCommand::Score) {
            const std::string seconds = value(i, arg);
            Worded([&] { kit.timeout = Registry::NumberOf(KitRow("timeout"), seconds); });
        } else if (arg == "--strict" && kit.command == KitCommand::Score) {
            kit.strict = true;
        } else if (arg == "--junit" && kit.command == KitCommand::Score) {
            kit.junit = value(i, arg);
        } else if (arg == "--report" && kit.command == KitCommand::Score) {
            kit.reportDir = value(i, arg);
        } else if (arg == "--key-map" && kit.command == KitCommand::Score) {
            const std::string map = value(i, arg);
            try {
                kit.keyMap = Kit::ReadKeyMap(map);
            } catch (const std::invalid_argument& e) {
                throw UsageError("score: --key-map '" + Printable(map) + "' is refused: " + e.what());
            }
        } else if ((arg == "-j" || arg == "--jobs") && kit.command == KitCommand::Score) {
            const std::string jobs = value(i, arg);
            Worded([&] { kit.jobs = static_cast<std::size_t>(Registry::WholeOf(KitRow("jobs"), jobs)); });
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError(std::string(word) + ": unknown option '" + Printable(arg) + "'");
        } else if (kit.subject.empty()) {
            kit.subject = arg;
        } else {
            throw UsageError(std::string(word) + ": one " + (kit.command == KitCommand::Score ? "folder" : "name") +
                             " only, not '" + Printable(arg) + "' too");
        }
    }
    switch (kit.command) {
        case KitCommand::Suite:
            if (!kit.subject.empty() && !Kit::FindSuite(kit.subject)) {
                throw UsageError("suite: there is no suite '" + Printable(kit.subject) + "' (varnel suite lists them)");
            }
            if (!kit.subject.empty() && kit.outputDir.empty()) throw UsageError("suite: give the folder to write: -o DIR");
            if (kit.rate != Kit::kSuiteRate && Kit::FindSuite(kit.subject) && Kit::FindSuite(kit.subject)->madeByPrograms) {
                throw UsageError("suite: --rate: the suite " + kit.subject + " is written at " + std::to_string(Kit::kSuiteRate) +
                                 " Hz only (its sounds come from other programs)");
            }
            CheckFamilies(kit);
            break;
        case KitCommand::Score:
            if (kit.subject.empty()) throw UsageError("score: give the folder a suite or corpus was written to");
            if (kit.receiver.empty()) throw UsageError("score: give the receiver's command after --, {} standing for the file");
            break;
        case KitCommand::Corpus:
            if (kit.subject.empty() || kit.outputDir.empty()) throw UsageError("corpus: give the recipe and the folder: RECIPE.json -o DIR");
            break;
    }
    return kit;
}

namespace {

constexpr std::string_view kSuiteHelp =
    R"(  varnel suite [NAME -o DIR] [--seed N] [--shard I/N] [-e pcm|ulaw|alaw] [--family F,...]
               [--repeat N] [--rate HZ]
                         write the suite's WAV files (8000 Hz), a .jsonl label file beside each,
                         and manifest.csv (file, family, parameters, verdict, requirement and its
                         source); without a name, list the suites and their families. --repeat N
                         writes each file N times (1 to 1000) with as many seeds, the repeats
                         named NAME-rR with the parameter repeat=R, for the score's statistics.
                         --rate HZ (8000 to 192000) writes the files at that sample rate, each
                         with the parameter rate_hz=HZ (talkoff: 8000 only)
)";
constexpr std::string_view kScoreHelp =
    R"(  varnel score DIR [--pattern REGEX] [--json] [--family F,...] [--timeout SECONDS] [--strict]
               [--junit FILE] [--report DIR] [--key-map FROM=TO,...] [-j N] -- COMMAND [ARG...]
                         run COMMAND on every file of DIR's manifest ({} in an argument stands
                         for the file's path, else it is added last), read what it detected from
                         its standard output (every match of REGEX in each line, its first group
                         if it has one; by default the characters 0-9 A-D * #), and report its
                         figures and the requirements it meets. The first 1 MiB of a file's
                         output is read, the rest discarded. Exit status 1 when COMMAND fails on
                         a file (exits with a failure, is killed, cannot be run, prints past
                         1 MiB, or runs past --timeout SECONDS, when its process group is
                         killed), the files named; with --strict, also when a requirement is
                         NOT MET. --junit FILE writes the report as JUnit XML too: a test case
                         for each requirement, a failure for one NOT MET. --key-map 10=*,11=#
                         reads a match of REGEX (without one, a character) that is a FROM as
                         its TO. -j N runs COMMAND on N files at once (1 to 64): the report is
                         the same as with one. Named groups of REGEX read fields:
                         (?P<key>.) with (?P<start>..) and (?P<end>..) in seconds, (?P<number>..),
                         (?P<name>..), (?P<date>..), (?P<time>..), (?P<reason>..), (?P<type>..);
                         each field is scored against the labels beside the files, and the
                         keys' times (by default from lines KEY START END) give the onset,
                         offset and duration errors. The report adds the probability of
                         detection at each step of a swept family (95 % Wilson interval), false
                         alarms an hour of audio without keys and the confusion of keys.
                         --report DIR writes report.html (its plots inline) and each plot as an
                         .svg file. On a terminal a line shows the files scored so far
)";
constexpr std::string_view kCorpusHelp =
    R"(  varnel corpus RECIPE.json -o DIR [--shard I/N]
                         render the random labelled corpus RECIPE.json describes
)";
constexpr std::string_view kShardHelp =
    R"(--shard I/N writes the files I, I+N, I+2N ... (from 1) and the whole manifest: shards written
into one folder equal one run byte for byte.
)";

}  // namespace

std::string KitHelp() {
    return "Receiver test kit (the first argument names the command):\n" + std::string(kSuiteHelp) + std::string(kScoreHelp) +
           std::string(kCorpusHelp) + std::string(kShardHelp) + "\n";
}

std::string KitCommandHelp(KitCommand command) {
    switch (command) {
        case KitCommand::Suite: return std::string(kSuiteHelp) + std::string(kShardHelp);
        case KitCommand::Score: return std::string(kScoreHelp);
        case KitCommand::Corpus: break;
    }
    return std::string(kCorpusHelp) + std::string(kShardHelp);
}

}  // namespace Quorvex::VarnelNet::Cli
