#pragma once

#include <cstdio>
#include <vector>

#include "varnel/detect/Hearing.h"

namespace Quorvex::VarnelNet::Cli {

// The timeline lines of the TTY messages `varnel detect` heard, a line a message:
// "TTY START END CODING RATE "TEXT" LEVEL dBm0" (the times in seconds, the text's quotes,
// backslashes and control characters escaped).
void PrintTtyLines(const std::vector<Detect::HeardTty>& messages, int rate, std::FILE* out);

}  // namespace Quorvex::VarnelNet::Cli
