#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace Quorvex::VarnelNet::Cli {

// A failure while the tool runs (the output cannot be written, the audio device cannot be
// opened): exit status 1. context names what (the output file, the device; may be empty),
// what() is the reason.
class Failure : public std::runtime_error {
public:
    Failure(std::string context, const std::string& reason) : std::runtime_error(reason), m_context(std::move(context)) {}
    const std::string& Context() const { return m_context; }

private:
    std::string m_context;
};

}  // namespace Quorvex::VarnelNet::Cli
