#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/DetectCommand.h"
#include "cli/KitOptions.h"
#include "varnel/rtp/SessionOptions.h"
#include "varnel/script/Parser.h"
#include "varnel/script/Rendering.h"

namespace Quorvex::VarnelNet::Cli {

enum class OutputMode {
    None,
    File,  // -o FILE: a RIFF/WAVE file, replaced once complete; -o -: a WAV stream on standard output
    Raw,   // --raw: the samples alone on standard output
    Play,  // --play: the default audio device through the Sondix destination
    Pcap,  // --pcap FILE: the RTP packets in a libpcap file, replaced once complete; --pcap -: on standard output
    Rtp,   // --rtp HOST:PORT: the RTP packets sent live over UDP
    Sdp,   // --sdp FILE alone: the session description and nothing else
};

// Everything the command line asks for.
struct Options {
    OutputMode mode = OutputMode::None;
    std::string outputPath;         // with OutputMode::File and Pcap; "-" for standard output
    std::string rtpTarget;          // --rtp HOST:PORT, as given
    std::string sdpPath;            // --sdp FILE ("-": standard output), beside --pcap or --rtp or alone
    Rtp::SessionOptions rtp;        // --ptime, --dtmf-mode, --seed, ...
    Script::RenderOptions render;   // the settings of the options (later ones win) and --dbm0
    std::string scriptPath;         // -f/--script: read before the requests of the command line
    std::string labelsPath;         // --labels: the symbols' labels, .txt (Audacity) or .jsonl
    std::optional<float> mixDbm0;   // --mix-dbm0, for the --mix script
    Script::Requests requests;      // the script's, then the command line's; empty: the built-in scenario
    bool verbose = false;
    bool dryRun = false;         // print the settings and the requests with their durations, write nothing
    bool printRequests = false;  // print each request in canonical form with its duration, write nothing
    bool help = false;
    bool version = false;
    bool listPlans = false;  // --list-plans
    std::optional<KitOptions> kit;  // varnel suite, score or corpus: the test kit's command
    std::optional<DetectOptions> detect;  // varnel detect FILE...
};

// Whether the output is RTP: a pcap, a live send or a session description.
bool SendsRtp(OutputMode mode);

// Parses the arguments after the program name, and the script of -f/--script (read here, "-"
// from standard input); a first argument that names a test kit command (suite, score, corpus)
// takes the rest as its own. -h/--help, --version and --list-plans end the parsing (no output is
// needed then, nor with --dry-run or --print-requests). Throws UsageError for anything the tool
// cannot run: an unknown option, a missing or malformed value, a script that cannot be read, a
// request that does not parse, no output or more than one.
Options ParseArguments(std::span<const std::string> args);

// The one-line synopsis, and the full help text.
const char* UsageLine();
std::string HelpText();

// The built-in tone plans, one a line in aligned columns: country, name, tone, pattern.
std::string TonePlanList();

}  // namespace Quorvex::VarnelNet::Cli
