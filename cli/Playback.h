#pragma once

#include <cstdio>
#include <vector>

#include "cli/Options.h"
#include "cli/Request.h"

namespace Quorvex::VarnelNet::Cli {

// True when this build can play (it links the Sondix destination).
bool PlaybackAvailable();

// Plays the requests through the default audio device: the Sondix destination is bound to a
// component, which takes the device's format at GenerateBegin; the call returns once the
// device has played everything (seconds: how long that is, for the time-out). Throws Failure.
void PlayRequests(const Options& options, const std::vector<Request>& requests, double seconds, std::FILE* err);

}  // namespace Quorvex::VarnelNet::Cli
