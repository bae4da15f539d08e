// varnel: renders telephony signals with the varnel component, to a WAV file, to standard output
// as raw PCM, or to the audio device. `varnel --help` lists the options and requests.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/Options.h"
#include "cli/Runner.h"
#include "cli/UsageError.h"

using namespace Quorvex::VarnelNet::Cli;

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    Options options;
    try {
        options = ParseArguments(args);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "varnel: %s\n%s\nTry 'varnel --help' for more information.\n", e.what(), UsageLine());
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(HelpText().c_str(), stdout);
        return kExitSuccess;
    }
    if (options.listPlans) {
        std::fputs(TonePlanList().c_str(), stdout);
        return kExitSuccess;
    }
    if (options.version) {
        std::printf("varnel %s\n", VARNEL_CLI_VERSION);
        return kExitSuccess;
    }
    return Run(options, stdout, stderr);
}
