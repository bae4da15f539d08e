#pragma once

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "varnel/detect/PcmReader.h"
#include "varnel/rtp/Endpoint.h"
#include "varnel/signal/CallerIdStandard.h"
#include "varnel/script/Parser.h"

namespace Quorvex::VarnelNet::Cli {

// varnel detect [--json] [-r RATE [-e ENCODING] [-b BITS]] FILE...: the keys heard in WAV
// files, or raw samples of the format given, "-" standing for standard input; or in a live RTP
// stream (--rtp-listen). With --expect, whether they are what a script sends.
struct DetectOptions {
    std::vector<std::string> files;
    bool json = false;                      // JSON lines in the labels' schema, not a timeline
    std::optional<Detect::PcmFormat> raw;  // -r given: the files hold raw samples of this format
    std::optional<Script::Requests> expect;  // --expect SCRIPT or -f FILE: verdicts, not a timeline
    std::string junitPath;                   // --junit FILE: the verdicts as JUnit XML
    std::string labelsPath;                  // --labels FILE: what was heard as labels
    std::optional<Rtp::Endpoint> listen;     // --rtp-listen [ADDR:]PORT
    std::optional<double> seconds;           // --duration: the longest a listen lasts
    std::optional<CallerIdStandard> callerIdStandard;  // --cid-standard: the one Caller-ID listened for
    bool help = false;                      // -h/--help: the command's help, and nothing read
};

bool IsDetectCommand(std::string_view word);

// Every option of the command, for the bash completion.
inline constexpr std::string_view kDetectOptionWords =
    "--json -r --rate -e --encoding -b --bits --expect -f --script --junit --labels --rtp-listen --duration --cid-standard -h --help";

// Parses the arguments of the command, args[0] being its word; -h/--help ends the parsing.
// Throws UsageError.
DetectOptions ParseDetectArguments(std::span<const std::string> args);

// The command's part of --help.
std::string DetectHelp();

// Reads each file and prints what it holds on out, a failure to read one on err. Returns 0, or
// 1 when a file could not be read.
int RunDetect(const DetectOptions& detect, std::FILE* out, std::FILE* err);

}  // namespace Quorvex::VarnelNet::Cli
