#pragma once

#include <string>
#include <vector>

namespace Quorvex::VarnelNet::Cli {

// What a receiver printed on its standard output, and how it ended: its exit status, or 128 plus
// the signal that ended it.
struct ReceiverRun {
    std::string output;
    int status = 0;
};

// Runs the command (found on PATH) with standard input from /dev/null and standard error
// discarded, and collects its standard output. Throws Failure when it cannot be started, and
// Interrupted (after ending it) when the tool is asked to stop.
ReceiverRun RunReceiver(const std::vector<std::string>& argv);

}  // namespace Quorvex::VarnelNet::Cli
