// What a pcap of an hour costs against the same audio as raw G.711, in alternating rounds of
// one run: each minute a DTMF string of 16 keys, a fax calling tone and ring-back, the pcap with
// every key and CNG burst as telephone events. The raw audio and one pcap go to standard output
// redirected to a file in DIR (the same path to the disk); the other pcap is --pcap FILE, which
// also flushes the file to the disk before renaming it over the old one. Prints each one's median
// wall and CPU time (the tool's user + system) and the pcaps' ratios to the raw audio.
//
//   varnel_rtp_pcap_cost TOOL DIR [ROUNDS]

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Cost {
    double wall = 0.0;
    double cpu = 0.0;
};

double CpuOfChildren() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs argv with standard output to `out`; its wall and CPU time.
Cost Run(std::vector<std::string> argv, const std::string& out) {
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    const double cpu = CpuOfChildren();
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    int status = -1;
    if (posix_spawn(&pid, args[0], &files, nullptr, args.data(), environ) == 0) ::waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&files);
    if (status != 0) std::fprintf(stderr, "varnel_rtp_pcap_cost: %s failed\n", argv[0].c_str());
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), CpuOfChildren() - cpu};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: varnel_rtp_pcap_cost TOOL DIR [ROUNDS]\n");
        return 2;
    }
    const std::string tool = argv[1];
    const std::string dir = argv[2];
    const int rounds = argc > 3 ? std::stoi(argv[3]) : 5;
    const std::string script = dir + "/hour.txt";
    {
        std::ofstream text(script);
        for (int minute = 0; minute < 60; ++minute) text << "dtmf:0123456789*#ABCD silence:1320 modem:cng:7000 plan:us:ringback:48000\n";
    }
    const std::vector<std::string> raw = {tool, "--raw", "-r", "8000", "-e", "ulaw", "-f", script};
    const std::vector<std::string> events = {"--dtmf-mode", "rfc4733", "--tone-events", "--seed", "1", "-f", script};
    std::vector<std::string> pcapOut = {tool, "--pcap", "-"}, pcapFile = {tool, "--pcap", dir + "/hour.pcap"};
    pcapOut.insert(pcapOut.end(), events.begin(), events.end());
    pcapFile.insert(pcapFile.end(), events.begin(), events.end());
    struct Runs {
        const char* name;
        std::vector<std::string> argv;
        std::string out;
        std::vector<double> wall, cpu;
    };
    std::vector<Runs> runs = {{"--raw > FILE", raw, dir + "/hour.ul", {}, {}},
                              {"--pcap - > FILE", pcapOut, dir + "/hour-out.pcap", {}, {}},
                              {"--pcap FILE", pcapFile, "/dev/null", {}, {}}};
    for (int r = 0; r < rounds; ++r) {
        for (Runs& run : runs) {
            const Cost cost = Run(run.argv, run.out);
            run.wall.push_back(cost.wall);
            run.cpu.push_back(cost.cpu);
        }
    }
    std::printf("one hour, %d alternating rounds (medians):\n", rounds);
    for (const Runs& run : runs) {
        std::printf("  %-16s %.3f s wall, %.3f s CPU", run.name, Median(run.wall), Median(run.cpu));
        if (&run != &runs[0]) {
            std::printf("  (%.2fx wall, %.2fx CPU)", Median(run.wall) / Median(runs[0].wall), Median(run.cpu) / Median(runs[0].cpu));
        }
        std::printf("\n");
    }
    return 0;
}
