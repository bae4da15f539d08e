// The tool's command line: each input line is one argument. ParseArguments takes them all and
// ParseRequest each one; a command line that parses is then queued and pulled the way the tool
// measures it (settings applied, requests queued, the stream pulled), within a budget.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Drain.h"
#include "FuzzScript.h"
#include "cli/Options.h"
#include "cli/Request.h"
#include "cli/Session.h"
#include "cli/UsageError.h"
#include "varnel/Varnel.h"

namespace {

using namespace Quorvex::VarnelNet;

constexpr std::size_t kMaxArguments = 128;
constexpr std::int64_t kMaxPullBytes = 4 << 20;
constexpr int kMaxPulls = 64;

// What MeasureRequests does (settings applied, each request queued and measured), with the
// stream pulled after each request within a budget.
void Render(const Cli::Options& options) {
    Varnel varnel;
    Fuzz::PullBudget budget(kMaxPullBytes, kMaxPulls);
    try {
        std::size_t next = Cli::ApplyLeadingSettings(varnel, options, options.requests);
        varnel.GenerateBegin();
        for (; next < options.requests.size(); ++next) {
            try {
                Cli::QueueOrFail(varnel, options.requests[next]);
            } catch (const Cli::Failure&) {
                continue;
            }
            Fuzz::Drain(varnel, budget, true);
        }
    } catch (const Cli::Failure&) {
    } catch (const Exception&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args;
    for (const std::string_view line : Fuzz::Fields(std::string_view(reinterpret_cast<const char*>(data), size), '\n')) {
        if (args.size() == kMaxArguments) break;
        args.emplace_back(line);
    }
    for (const std::string& arg : args) {
        try {
            Cli::ParseRequest(arg);
        } catch (const Cli::UsageError&) {
        }
    }
    Cli::Options options;
    try {
        options = Cli::ParseArguments(args);
    } catch (const Cli::UsageError&) {
        return 0;
    }
    if (options.listPlans) Cli::TonePlanList();
    if (!options.help && !options.version && !options.listPlans) Render(options);
    return 0;
}
