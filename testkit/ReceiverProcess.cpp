#include "testkit/ReceiverProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace Quorvex::VarnelNet::Kit {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kWaitStep = std::chrono::milliseconds(10);
// How often a wait for output asks whether to stop: a signal reaches one thread only, and the
// receivers of the other workers must end too.
constexpr int kStopCheckMs = 100;

// Closes a descriptor once, when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return m_fd; }
    void Close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

void Ended(ReceiverRun& run, int status) {
    run.signalled = WIFSIGNALED(status);
    run.status = run.signalled ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

// Kills the receiver's process group (the receiver not yet waited for, so that the group's
// number is still its own) and waits for the receiver.
void EndGroup(pid_t pid, ReceiverRun& run) {
    ::kill(-pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    Ended(run, status);
}

// The milliseconds poll waits: until the deadline, at most kStopCheckMs.
int Remaining(const std::optional<Clock::time_point>& deadline) {
    if (!deadline) return kStopCheckMs;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, kStopCheckMs));
}

bool Late(const std::optional<Clock::time_point>& deadline) { return deadline && Clock::now() >= *deadline; }

// Kept up to the bound; the rest is dropped, so that the receiver never waits on a full pipe.
void Keep(ReceiverRun& run, const char* data, std::size_t length) {
    const std::size_t room = kOutputBound - run.output.size();
    run.output.append(data, std::min(room, length));
    if (length > room) run.overBound = true;
}

pid_t Start(const std::vector<std::string>& argv, int output) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int failed = ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) throw ReceiverError(ReceiverError::Step::Start, argv[0], std::strerror(failed));
    return pid;
}

}  // namespace

ReceiverRun RunReceiver(const std::vector<std::string>& argv, std::optional<double> timeout,
                        const std::function<void()>& stopIfAsked) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw ReceiverError(ReceiverError::Step::Pipe, argv[0], std::strerror(errno));
    Descriptor readEnd(fds[0]);
    Descriptor writeEnd(fds[1]);
    const pid_t pid = Start(argv, writeEnd.Get());
    writeEnd.Close();

    std::optional<Clock::time_point> deadline;
    if (timeout) deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(*timeout));
    ReceiverRun run;
    const auto stop = [&] {
        try {
            stopIfAsked();
        } catch (...) {
            EndGroup(pid, run);
            throw;
        }
    };
    const auto late = [&] {
        run.timedOut = true;
        EndGroup(pid, run);
        return run;
    };
    char buffer[4096];
    for (;;) {
        if (Late(deadline)) return late();
        pollfd ready{readEnd.Get(), POLLIN, 0};
        const int polled = ::poll(&ready, 1, Remaining(deadline));
        if (polled == 0) {
            stop();
            continue;
        }
        const ssize_t n = polled < 0 ? -1 : ::read(readEnd.Get(), buffer, sizeof buffer);
        if (n > 0) {
            Keep(run, buffer, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            stop();
        } else {
            break;
        }
    }
    // Its output is closed: the receiver is waited for, within the time left.
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            Ended(run, status);
            return run;
        }
        if (done < 0 && errno != EINTR) return run;
        // Interrupted, or still running: asked whether to stop, and a while later.
        stop();
        ::usleep(static_cast<useconds_t>(std::chrono::microseconds(kWaitStep).count()));
        if (Late(deadline)) return late();
    }
}

}  // namespace Quorvex::VarnelNet::Kit
