#pragma once

#include <cstdio>

#include "cli/Options.h"

namespace Quorvex::VarnelNet::Cli {

// Renders what the options ask for: the requests (or the built-in scenario) to a WAV file, to
// out as raw PCM, or to the audio device. Messages go to err. Returns the exit status:
// kExitSuccess, kExitRefused (with the reason and the offending request on err, and no output
// file left behind) or kExitUsage.
int Run(const Options& options, std::FILE* out, std::FILE* err);

}  // namespace Quorvex::VarnelNet::Cli
