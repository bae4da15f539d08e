#pragma once

#include <cstdio>

#include "cli/Options.h"

namespace Quorvex::VarnelNet::Cli {

// Renders what the options ask for: the requests (or the built-in scenario) to a WAV file (or a
// WAV stream on out), to out as raw PCM, or to the audio device; with --dry-run, lists them on
// out instead. Messages go to err. SIGINT and SIGTERM are caught while it runs. Returns the exit
// status: kExitSuccess, kExitRefused (with the reason and the offending request on err, and an
// old output file left as it was), kExitUsage, or 128 + the signal that stopped it.
int Run(const Options& options, std::FILE* out, std::FILE* err);

}  // namespace Quorvex::VarnelNet::Cli
