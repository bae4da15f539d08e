#pragma once

#include <stdexcept>
#include <string>

namespace Quorvex::VarnelNet::Cli {

// Catches SIGINT and SIGTERM for as long as it lives, so that the tool stops between blocks of
// work, cleans up (a temporary file is removed, the old file stays) and exits with 128 + the
// signal. The handler stays, after the catcher too once a signal was caught: a second signal (as
// `timeout` sends to the process group), however late, changes nothing, the tool still stops as
// the first asked and says so. Blocking reads and writes are
// not restarted: they return EINTR, so that a stalled pipe cannot hold the tool.
class InterruptCatcher {
public:
    InterruptCatcher();
    ~InterruptCatcher();
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;
};

// The first signal caught since a catcher was installed, or 0.
int CaughtSignal();

// A stop asked for by a signal. what() says what became of the output ("nothing written to
// out.wav"); it may be empty.
class Interrupted : public std::runtime_error {
public:
    Interrupted(int signal, const std::string& outcome) : std::runtime_error(outcome), m_signal(signal) {}
    int Signal() const { return m_signal; }
    int ExitStatus() const { return 128 + m_signal; }
    // "interrupted by SIGINT", then ": " and what() when it says something.
    std::string Message() const;

private:
    int m_signal;
};

// Throws Interrupted (without an outcome) once a signal has been caught.
void StopIfInterrupted();

}  // namespace Quorvex::VarnelNet::Cli
