#pragma once

#include <string>
#include <vector>

#include "cli/Request.h"

namespace Quorvex::VarnelNet::Cli {

// Reads the text of every ttyfile: request into its keys: the file's bytes as they are, or
// standard input's for "-" (read once, shared by every ttyfile:-). Throws Failure naming the
// request when a file cannot be read, Interrupted when a signal stops a read.
void LoadTextFiles(std::vector<Request>& requests);

}  // namespace Quorvex::VarnelNet::Cli
