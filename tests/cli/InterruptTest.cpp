// The built tool stopped by SIGINT and SIGTERM in the middle of a long render or playback: it
// exits with 128 + the signal, soon, with one line saying what became of the output, and an old
// file stays as it was with no temporary file beside it.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "support/Shell.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The tool, started with posix_spawn: standard output and error go to files, SIGINT and SIGTERM
// have their default actions whatever the test runner set, env is added to the environment.
class Child {
public:
    Child(const std::vector<std::string>& args, const fs::path& out, const fs::path& err,
          const std::vector<std::string>& env = {}) {
        std::vector<std::string> all = {VARNEL_CLI_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all) argv.push_back(arg.data());
        argv.push_back(nullptr);
        std::vector<std::string> environment = env;
        for (char** e = environ; *e != nullptr; ++e) environment.emplace_back(*e);
        std::vector<char*> envp;
        for (std::string& entry : environment) envp.push_back(entry.data());
        envp.push_back(nullptr);

        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&files, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGTERM);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        if (posix_spawn(&m_pid, VARNEL_CLI_PATH, &files, &attributes, argv.data(), envp.data()) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&files);
        posix_spawnattr_destroy(&attributes);
    }
    ~Child() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return m_pid > 0; }
    bool Running() const {
        siginfo_t info{};
        return m_pid > 0 && ::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == 0;
    }
    void Signal(int signal) const { ::kill(m_pid, signal); }

    // The exit status, or -1 when it has not ended within the timeout (or died of a signal).
    int Wait(std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            int status = 0;
            const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
            if (done == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            if (Clock::now() >= deadline) return -1;
            std::this_thread::sleep_for(2ms);
        }
    }

private:
    pid_t m_pid = -1;
};

// Waits until the condition holds, for at most 10 s.
bool WaitFor(const std::function<bool()>& condition) {
    const auto deadline = Clock::now() + 10s;
    while (!condition()) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

class InterruptTest : public ::testing::Test {
protected:
    fs::path Path(const std::string& name) const { return m_dir.path() / name; }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir.path())) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    varnel_test::ScratchDir m_dir;
};

// A minute of three-tone audio at the highest rate: a gigabyte, seconds of work.
const std::vector<std::string> kLongRender = {"-r", "16777216", "-b", "8", "tone:60000,0,1000,1200,1400"};

struct SignalCase {
    int signal;
    int status;
    const char* name;
};
const SignalCase kSignals[] = {{SIGINT, 130, "SIGINT"}, {SIGTERM, 143, "SIGTERM"}};

TEST_F(InterruptTest, FileRenderStopsAndLeavesTheOldFile) {
    for (const SignalCase& s : kSignals) {
        SCOPED_TRACE(s.name);
        std::ofstream(Path("old.wav")) << "old";
        std::vector<std::string> args = {"-o", Path("old.wav").string()};
        args.insert(args.end(), kLongRender.begin(), kLongRender.end());
        Child child(args, Path("out"), Path("err"));
        ASSERT_TRUE(child.Started());
        // Once the temporary file beside the old one has grown, the render is under way.
        ASSERT_TRUE(WaitFor([&] {
            for (const std::string& name : Names()) {
                if (name.rfind(".old.wav.", 0) == 0 && fs::file_size(Path(name)) > 1000000) return true;
            }
            return false;
        }));
        const auto sent = Clock::now();
        child.Signal(s.signal);
        EXPECT_EQ(child.Wait(5s), s.status);
        EXPECT_LT(Clock::now() - sent, 500ms);
        EXPECT_EQ(Slurp(Path("err")),
                  std::string("varnel: interrupted by ") + s.name + ": nothing written to " + Path("old.wav").string() + "\n");
        EXPECT_EQ(Slurp(Path("old.wav")), "old");
        EXPECT_EQ(Names(), (std::vector<std::string>{"err", "old.wav", "out"}));
    }
}

// Nothing is made at a new name until the file is complete: killed outright, the tool leaves
// only its hidden temporary file, and no new.wav.
TEST_F(InterruptTest, AKilledRenderLeavesOnlyItsTemporaryFile) {
    std::vector<std::string> args = {"-o", Path("new.wav").string()};
    args.insert(args.end(), kLongRender.begin(), kLongRender.end());
    Child child(args, Path("out"), Path("err"));
    ASSERT_TRUE(child.Started());
    std::string temporary;
    ASSERT_TRUE(WaitFor([&] {
        for (const std::string& name : Names()) {
            if (name.rfind(".new.wav.", 0) == 0 && fs::file_size(Path(name)) > 1000000) temporary = name;
        }
        return !temporary.empty();
    }));
    EXPECT_FALSE(fs::exists(Path("new.wav")));
    child.Signal(SIGKILL);
    EXPECT_EQ(child.Wait(5s), -1);
    EXPECT_EQ(Names(), (std::vector<std::string>{temporary, "err", "out"}));
}

TEST_F(InterruptTest, RawStreamStopsBetweenBlocks) {
    for (const SignalCase& s : kSignals) {
        SCOPED_TRACE(s.name);
        std::vector<std::string> args = {"--raw"};
        args.insert(args.end(), kLongRender.begin(), kLongRender.end());
        Child child(args, Path("out"), Path("err"));
        ASSERT_TRUE(child.Started());
        ASSERT_TRUE(WaitFor([&] { return fs::file_size(Path("out")) > 1000000; }));
        const auto sent = Clock::now();
        child.Signal(s.signal);
        EXPECT_EQ(child.Wait(5s), s.status);
        EXPECT_LT(Clock::now() - sent, 500ms);
        const std::string expected = std::string("varnel: interrupted by ") + s.name + ": standard output ends after " +
                                     std::to_string(fs::file_size(Path("out"))) + " of 1006632960 bytes of audio\n";
        EXPECT_EQ(Slurp(Path("err")), expected);
    }
}

TEST_F(InterruptTest, PlaybackStopsWithinAFifthOfASecond) {
#if VARNEL_HAVE_SONDIX
    for (const SignalCase& s : kSignals) {
        SCOPED_TRACE(s.name);
        // SDL's disk driver plays in real time, into a file.
        Child child({"--play", "-r", "8000", "silence:60000"}, Path("out"), Path("err"),
                    {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + Path("played.raw").string()});
        ASSERT_TRUE(child.Started());
        ASSERT_TRUE(WaitFor([&] { return fs::exists(Path("played.raw")) && fs::file_size(Path("played.raw")) > 0; }));
        std::this_thread::sleep_for(200ms);
        ASSERT_TRUE(child.Running());
        const auto sent = Clock::now();
        child.Signal(s.signal);
        EXPECT_EQ(child.Wait(5s), s.status);
        EXPECT_LT(Clock::now() - sent, 200ms);
        const std::string err = Slurp(Path("err"));
        const std::string last = std::string("varnel: interrupted by ") + s.name + ": playback stopped\n";
        ASSERT_GE(err.size(), last.size()) << err;
        EXPECT_EQ(err.substr(err.size() - last.size()), last) << err;
        fs::remove(Path("played.raw"));
    }
#else
    GTEST_SKIP() << "playback is not built";
#endif
}

// Without a signal nothing is said about one, and no progress is shown on a stream that is not a
// terminal.
TEST_F(InterruptTest, AnUninterruptedRenderSaysNothingOfEither) {
    Child child({"-o", Path("a.wav").string(), "-r", "8000", "dtmf:1"}, Path("out"), Path("err"));
    ASSERT_TRUE(child.Started());
    EXPECT_EQ(child.Wait(10s), 0);
    EXPECT_EQ(Slurp(Path("err")), "varnel: request 0: dtmf, 0.230 s: dtmf:1\nvarnel: wrote " + Path("a.wav").string() +
                                      ": 8000 Hz, 16-bit mono, 0.230 s\n");
}

}  // namespace
