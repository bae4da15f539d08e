#pragma once

#include <cstdio>

#include "cli/KitOptions.h"

namespace Quorvex::VarnelNet::Cli {

// Runs a test kit command: writes a suite's or a corpus's files (the shard asked for) and its
// manifest, or scores a receiver on a folder, the report on out and progress on err. Returns
// the exit status; throws Failure, Interrupted or Script::RequestError as the render commands do.
int RunKit(const KitOptions& kit, std::FILE* out, std::FILE* err);

}  // namespace Quorvex::VarnelNet::Cli
