#pragma once

#include <stdexcept>
#include <string>

namespace Quorvex::VarnelNet::Cli {

// Exit statuses of the tool.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // a failure while running: the output, the audio device
inline constexpr int kExitUsage = 2;    // a malformed command line, or a request refused before rendering

// A command line the tool cannot run: an unknown option, a missing or malformed value, a
// request it cannot parse. what() says which, in a form fit to follow "varnel: ".
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace Quorvex::VarnelNet::Cli
