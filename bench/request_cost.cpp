// What one request costs in scripts of 1,000, 10,000 and 100,000 requests (each dtmf:1, at
// 8000 Hz, 16-bit): through every tool binary named on the command line (varnel -f SCRIPT
// --raw -r 8000, its output to /dev/null: its wall and CPU time, and its peak memory), then
// through the library path the tool takes (the script parsed, a Script::Rendering queued and
// measured, its audio pulled block by block as --raw pulls it). Every size renders 100,000
// requests in all (100 rounds of 1,000, 10 of 10,000, one of 100,000), so that each figure
// stands for the same work; in this process one round of each size runs unmeasured first, so
// that no size is measured on a heap that has yet to grow. The cost per request is CPU time
// (user and system), which other work on the machine disturbs less than wall time; "x 1,000"
// is it as a ratio to that of 1,000 requests: a cost linear in the number of requests keeps it
// near 1.
// The binaries run while this process is small: a child's peak memory counts this process's as
// it was when the child started.
//   varnel_request_cost [VARNEL_BINARY...]

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "varnel/script/Parser.h"
#include "varnel/script/Rendering.h"

extern char** environ;

using namespace Quorvex::VarnelNet;

namespace {

constexpr std::array<std::size_t, 3> kRequestCounts = {1000, 10000, 100000};
constexpr std::size_t kRequestsPerSize = 100000;

std::string ScriptOf(std::size_t requests) {
    std::string script;
    for (std::size_t i = 0; i < requests; ++i) script += "dtmf:1\n";
    return script;
}

struct Measure {
    double wallSeconds = 0.0;
    double cpuSeconds = 0.0;  // user and system
    long maxRssKiB = 0;       // a child's; 0 for the library path
};

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; }

double CpuSeconds(const rusage& usage) { return Seconds(usage.ru_utime) + Seconds(usage.ru_stime); }

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return CpuSeconds(usage);
}

Measure RenderInProcess(const std::string& script) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = ProcessCpuSeconds();
    const Script::Requests requests = Script::ParseScript(script);
    Script::RenderOptions options;
    options.settings.push_back(Script::ParseNamedSetting("rate", "8000"));
    Script::Rendering rendering(options, requests);
    std::vector<std::uint8_t> block(8192);
    std::uint64_t pulled = 0;
    for (std::size_t n; (n = rendering.Pull(block)) > 0;) pulled += n;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (pulled != rendering.TotalBytes()) throw std::runtime_error("the rendering pulled other than it measured");
    return {elapsed.count(), ProcessCpuSeconds() - cpuStart, 0};
}

Measure RunTool(const std::string& binary, const std::string& scriptPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> words = {binary, "-f", scriptPath, "--raw", "-r", "8000"};
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, binary.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot run " + binary);
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) throw std::runtime_error("lost " + binary);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error(binary + " failed");
    return {elapsed.count(), CpuSeconds(usage), usage.ru_maxrss};
}

// A script in a temporary file, removed with it.
class ScriptFile {
public:
    explicit ScriptFile(const std::string& script) {
        char name[] = "/tmp/varnel-request-cost-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0) throw std::runtime_error("cannot create a script file");
        m_path = name;
        const bool written = write(fd, script.data(), script.size()) == static_cast<ssize_t>(script.size());
        close(fd);
        if (!written) throw std::runtime_error("cannot write " + m_path);
    }
    ~ScriptFile() { unlink(m_path.c_str()); }
    ScriptFile(const ScriptFile&) = delete;
    ScriptFile& operator=(const ScriptFile&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

using Round = std::function<Measure()>;

// Every size's rounds (roundOf sets up one for a size): the total time, and the largest peak
// memory.
void PrintRows(const std::string& path, bool warmUp, const std::function<Round(std::size_t)>& roundOf) {
    double perRequestAt1000 = 0.0;
    for (const std::size_t requests : kRequestCounts) {
        const Round round = roundOf(requests);
        if (warmUp) round();
        const std::size_t rounds = kRequestsPerSize / requests;
        Measure total;
        for (std::size_t i = 0; i < rounds; ++i) {
            const Measure m = round();
            total.wallSeconds += m.wallSeconds;
            total.cpuSeconds += m.cpuSeconds;
            total.maxRssKiB = std::max(total.maxRssKiB, m.maxRssKiB);
        }
        const double perRequest = total.cpuSeconds / static_cast<double>(rounds * requests);
        if (requests == kRequestCounts.front()) perRequestAt1000 = perRequest;
        std::printf("%-38s %8zu %6zu %8.3f %8.3f %11.2f %8.2f", path.c_str(), requests, rounds, total.wallSeconds,
                    total.cpuSeconds, perRequest * 1e6, perRequest / perRequestAt1000);
        if (total.maxRssKiB > 0) std::printf(" %12.1f", static_cast<double>(total.maxRssKiB) / 1024.0);
        std::printf("\n");
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    try {
        std::printf("%-38s %8s %6s %8s %8s %11s %8s %12s\n", "path", "requests", "rounds", "wall s", "cpu s",
                    "cpu us/req", "x 1,000", "max RSS MiB");
        for (int i = 1; i < argc; ++i) {
            const std::string binary = argv[i];
            PrintRows(binary, false, [&](std::size_t requests) {
                const auto file = std::make_shared<ScriptFile>(ScriptOf(requests));
                return Round([binary, file] { return RunTool(binary, file->Path()); });
            });
        }
        PrintRows("library (Script::Rendering, pulled)", true, [](std::size_t requests) {
            return Round([script = ScriptOf(requests)] { return RenderInProcess(script); });
        });
    } catch (const std::exception& e) {
        std::fprintf(stderr, "varnel_request_cost: %s\n", e.what());
        return 1;
    }
    return 0;
}
