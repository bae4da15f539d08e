#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace Quorvex::VarnelNet::Kit {

// The most of a receiver's standard output kept for a file; the rest is read and discarded.
inline constexpr std::size_t kOutputBound = std::size_t{1} << 20;

// What a receiver printed on its standard output (at most kOutputBound bytes), and how it
// ended: its exit status, or 128 plus the signal that ended it.
struct ReceiverRun {
    std::string output;
    int status = 0;
    bool signalled = false;
    bool timedOut = false;   // killed, with its process group, when its time was up
    bool overBound = false;  // it printed more than kOutputBound bytes
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

// Runs the command (found on PATH) in a process group of its own, with standard input from
// /dev/null and standard error discarded, and collects its standard output. With a timeout (in
// seconds), the group is killed when the time is up. Throws ReceiverError when it cannot be
// started. While it waits, stopIfAsked is called every 100 ms and when a signal interrupts the
// wait; it throws to stop, and the receiver's group is killed first.
ReceiverRun RunReceiver(const std::vector<std::string>& argv, std::optional<double> timeout,
                        const std::function<void()>& stopIfAsked);

}  // namespace Quorvex::VarnelNet::Kit
