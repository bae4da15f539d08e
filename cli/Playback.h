#pragma once

#include <cstdio>

#include "cli/Options.h"
#include "varnel/script/Rendering.h"

namespace Quorvex::VarnelNet::Cli {

// True when this build can play (it links the Sondix destination).
bool PlaybackAvailable();

// Plays the requests through the default audio device: the Sondix destination is bound to a
// component, which takes the device's format at GenerateBegin; the call returns once the
// device has played everything. measured is the same requests' rendering, checked and measured
// (its format opens the device, its length bounds the wait). Throws Failure.
void PlayRequests(const Options& options, const Script::Requests& requests, const Script::Rendering& measured,
                  std::FILE* err);

}  // namespace Quorvex::VarnelNet::Cli
