// The tool's command line: each input line is one argument. ParseArguments takes them all; a
// command line that parses is then measured as the tool measures it (settings applied, every
// request checked and queued) and pulled within a budget.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Drain.h"
#include "FuzzScript.h"
#include "cli/Options.h"
#include "cli/UsageError.h"
#include "varnel/script/RequestError.h"

namespace {

using namespace Quorvex::VarnelNet;

constexpr std::size_t kMaxArguments = 128;
constexpr std::int64_t kMaxPullBytes = 4 << 20;
constexpr int kMaxPulls = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args;
    for (const std::string_view line : Fuzz::Fields(std::string_view(reinterpret_cast<const char*>(data), size), '\n')) {
        if (args.size() == kMaxArguments) break;
        // -f reads a file (or standard input) of its own: scripts have a harness of theirs.
        if (line.rfind("-f", 0) == 0 || line.rfind("--script", 0) == 0) return 0;
        args.emplace_back(line);
    }
    Cli::Options options;
    try {
        options = Cli::ParseArguments(args);
    } catch (const Cli::UsageError&) {
        return 0;
    }
    if (options.listPlans) Cli::TonePlanList();
    if (options.help || options.version || options.listPlans) return 0;
    try {
        Fuzz::PullBudget budget(kMaxPullBytes, kMaxPulls);
        Fuzz::Drain(options.render, options.requests, budget);
    } catch (const Script::RequestError&) {
    }
    return 0;
}
