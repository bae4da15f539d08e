// How closely a live RTP send keeps its schedule, as a receiver on the loopback sees it: the tool
// sends SECONDS of ring-back to a socket that takes each datagram with the kernel's time stamp of
// its arrival (SO_TIMESTAMPNS); packet k is due at start + k x 20 ms. The start is estimated as
// the earliest any packet implies (none leaves early), so each packet's lateness is its arrival
// minus its due time. Prints the lateness at the median, p99 and worst, and the drift: the median
// lateness of the last 100 packets minus that of the first 100. With --load, two other renders
// keep both cores busy meanwhile.
//
//   varnel_rtp_pacing TOOL [SECONDS] [--load]

#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr std::int64_t kPacketNs = 20000000;

pid_t Spawn(std::vector<std::string> argv) {
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);  // its own group, ended as one
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], nullptr, &attributes, args.data(), environ) != 0) pid = -1;
    posix_spawnattr_destroy(&attributes);
    return pid;
}

std::int64_t Percentile(std::vector<std::int64_t> values, double p) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(p * static_cast<double>(values.size())))];
}

double Ms(std::int64_t ns) { return static_cast<double>(ns) / 1e6; }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: varnel_rtp_pacing TOOL [SECONDS] [--load]\n");
        return 2;
    }
    const std::string tool = argv[1];
    const int seconds = argc > 2 && argv[2][0] != '-' ? std::stoi(argv[2]) : 60;
    const bool load = std::string(argv[argc - 1]) == "--load";

    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    const int buffer = 1 << 22;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    const timeval wait{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);

    std::vector<pid_t> loads;
    if (load) {
        const std::string render = "while :; do " + tool + " --raw -r 16777216 -b 8 tone:20000,0,1000,1200,1400 >/dev/null; done";
        for (int i = 0; i < 2; ++i) loads.push_back(Spawn({"sh", "-c", render}));
        ::sleep(1);
    }
    const pid_t sender = Spawn({tool, "--rtp", "127.0.0.1:" + std::to_string(ntohs(address.sin_port)), "--seed", "1",
                                "plan:us:ringback:" + std::to_string(seconds * 1000)});

    std::vector<std::int64_t> offsets;  // arrival minus k x 20 ms
    std::uint32_t firstTimestamp = 0;
    for (;;) {
        std::uint8_t datagram[2048];
        char control[256];
        iovec io{datagram, sizeof datagram};
        msghdr message{};
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        if (::recvmsg(fd, &message, 0) < 12) break;
        timespec arrival{};
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) std::memcpy(&arrival, CMSG_DATA(c), sizeof arrival);
        }
        const std::uint32_t timestamp = std::uint32_t{datagram[4]} << 24 | std::uint32_t{datagram[5]} << 16 |
                                         std::uint32_t{datagram[6]} << 8 | datagram[7];
        if (offsets.empty()) firstTimestamp = timestamp;
        const std::int64_t k = (timestamp - firstTimestamp) / 160;
        offsets.push_back(arrival.tv_sec * 1000000000LL + arrival.tv_nsec - k * kPacketNs);
    }
    ::waitpid(sender, nullptr, 0);
    for (const pid_t pid : loads) {
        ::kill(-pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
    if (offsets.size() < 200) {
        std::fprintf(stderr, "varnel_rtp_pacing: only %zu packets received\n", offsets.size());
        return 1;
    }
    const std::int64_t start = *std::min_element(offsets.begin(), offsets.end());
    std::vector<std::int64_t> late;
    for (const std::int64_t o : offsets) late.push_back(o - start);
    const std::vector<std::int64_t> head(late.begin(), late.begin() + 100), tail(late.end() - 100, late.end());
    std::printf("%s%d s, %zu packets: lateness median %.3f ms, p99 %.3f ms, worst %.3f ms; drift %+.3f ms\n",
                load ? "under load, " : "", seconds, late.size(), Ms(Percentile(late, 0.5)), Ms(Percentile(late, 0.99)),
                Ms(Percentile(late, 1.0)), Ms(Percentile(tail, 0.5) - Percentile(head, 0.5)));
    return 0;
}
