#pragma once

#include <cstdio>

#include "cli/Options.h"

namespace Quorvex::VarnelNet::Cli {

// Renders what the options ask for: the requests (or the built-in scenario) to a WAV file (or a
// WAV stream on out), to out as raw PCM, or to the audio device; with --dry-run or
// --print-requests, lists them on out instead. Every request is parsed, checked and measured
// before anything is written. Messages go to err. SIGINT and SIGTERM are caught while it runs.
// Returns the exit status: kExitSuccess; kExitUsage for a request refused before rendering
// (the reason and the request on err); kExitFailure when the output or the device fails (an
// old output file left as it was); or 128 + the signal that stopped it.
int Run(const Options& options, std::FILE* out, std::FILE* err);

}  // namespace Quorvex::VarnelNet::Cli
