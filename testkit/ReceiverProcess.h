#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace Quorvex::VarnelNet::Kit {

// What a receiver printed on its standard output, and how it ended: its exit status, or 128 plus
// the signal that ended it.
struct ReceiverRun {
    std::string output;
    int status = 0;
};

// A receiver that could not be run: no pipe for its output, or its program not started. what()
// is the system's reason.
class ReceiverError : public std::runtime_error {
public:
    enum class Step { Pipe, Start };
    ReceiverError(Step step, std::string program, const std::string& reason)
        : std::runtime_error(reason), m_step(step), m_program(std::move(program)) {}
    Step Where() const { return m_step; }
    const std::string& Program() const { return m_program; }

private:
    Step m_step;
    std::string m_program;
};

// Runs the command (found on PATH) with standard input from /dev/null and standard error
// discarded, and collects its standard output. Throws ReceiverError when it cannot be started.
// A signal that interrupts the wait calls stopIfAsked, which throws to stop: the receiver is
// ended first.
ReceiverRun RunReceiver(const std::vector<std::string>& argv, const std::function<void()>& stopIfAsked);

}  // namespace Quorvex::VarnelNet::Kit
