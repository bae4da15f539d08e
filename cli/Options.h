#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/Request.h"
#include "cli/Settings.h"

namespace Quorvex::VarnelNet::Cli {

enum class OutputMode {
    None,
    File,  // -o FILE: a RIFF/WAVE file, replaced once complete; -o -: a WAV stream on standard output
    Raw,   // --raw: the samples alone on standard output
    Play,  // --play: the default audio device through the Sondix destination
};

// Everything the command line asks for.
struct Options {
    OutputMode mode = OutputMode::None;
    std::string outputPath;         // with OutputMode::File; "-" for standard output
    std::vector<Setting> settings;  // from the options, in the order given (later ones win)
    std::vector<Request> requests;  // in order; empty: the built-in scenario
    std::optional<float> dbm0;      // --dbm0: every tone of every request at this level
    bool verbose = false;
    bool dryRun = false;  // print the settings and the requests with their durations, write nothing
    bool help = false;
    bool version = false;
    bool listPlans = false;         // --list-plans
};

// Parses the arguments after the program name. -h/--help, --version and --list-plans end the
// parsing (no output is needed then, nor with --dry-run). Throws UsageError for anything the
// tool cannot run: an unknown option, a missing or malformed value, a bad request, no output or
// more than one.
Options ParseArguments(std::span<const std::string> args);

// With --dbm0, gives every request its level; throws UsageError when the options or a set: request
// also set Amplitude, or when a request's tones together would pass full scale at that level.
void SetLevels(const Options& options, std::vector<Request>& requests);

// The one-line synopsis, and the full help text.
const char* UsageLine();
std::string HelpText();

// The built-in tone plans, one a line in aligned columns: country, name, tone, pattern.
std::string TonePlanList();

}  // namespace Quorvex::VarnelNet::Cli
