// The tool's live sends on the loopback, taken by real receivers (GStreamer, and ffmpeg through
// the tool's own SDP): what they decode equals the G.711 the tool renders, sample for sample from
// the first packet they got, and multimon-ng hears the DTMF in it. Then the tool's refusals and
// failures, and a signal that stops a send within a packet time.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "support/Process.h"
#include "support/Shell.h"
#include "varnel/signal/G711.h"

namespace {

using namespace std::chrono_literals;
using namespace varnel_test;
namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A UDP socket on 127.0.0.1 at a port the system picked.
class UdpSocket {
public:
    UdpSocket() : m_fd(::socket(AF_INET, SOCK_DGRAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        const timeval wait{5, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    }
    ~UdpSocket() { ::close(m_fd); }
    int Port() const { return m_port; }
    // The next datagram, with its TOS byte at the back; empty when none comes. The
    // datagrams already queued, when `queued`.
    std::vector<std::string> Receive(bool queued = false) const {
        const int on = 1;
        ::setsockopt(m_fd, IPPROTO_IP, IP_RECVTOS, &on, sizeof on);
        std::vector<std::string> datagrams;
        char datagram[2048], control[64];
        for (;;) {
            iovec data{datagram, sizeof datagram};
            msghdr message{};
            message.msg_iov = &data;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            const ssize_t n = ::recvmsg(m_fd, &message, queued ? MSG_DONTWAIT : 0);
            if (n <= 0) return datagrams;
            const cmsghdr* tos = CMSG_FIRSTHDR(&message);
            datagrams.emplace_back(datagram, static_cast<std::size_t>(n));
            datagrams.back().push_back(tos && tos->cmsg_type == IP_TOS ? static_cast<char>(*CMSG_DATA(tos)) : '\0');
            if (!queued) return datagrams;
        }
    }

private:
    int m_fd;
    int m_port = 0;
};

// A port nothing listens on (taken from the system, then let go).
int FreePort() { return UdpSocket().Port(); }

// Whether a UDP socket is bound to the port (the receiver is ready).
bool Bound(int port) {
    char local[16];
    std::snprintf(local, sizeof local, ":%04X ", port);
    return Slurp("/proc/net/udp").find(local) != std::string::npos || Slurp("/proc/net/udp6").find(local) != std::string::npos;
}

std::vector<std::int16_t> Samples(const std::string& bytes) {
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[2 * i]) | static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8);
    }
    return samples;
}

class LiveTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return (m_dir.path() / name).string(); }

    // Runs the tool; returns its exit status, its output (standard output and error) in `out`.
    int Tool(const std::vector<std::string>& args, std::string& out) const {
        std::string command = Quote(VARNEL_CLI_PATH);
        for (const std::string& arg : args) command.append(" ").append(Quote(arg));
        return RunShell(command, out);
    }

    ScratchDir m_dir;
};

const std::vector<std::string> kRequests = {"dtmf:159#", "silence:200"};

TEST_F(LiveTest, ReceiversDecodeWhatTheToolRenders) {
    VARNEL_REQUIRE_TOOL("gst-launch-1.0");
    VARNEL_REQUIRE_TOOL("ffmpeg");
    VARNEL_REQUIRE_TOOL("multimon-ng");
    VARNEL_REQUIRE_TOOL("sox");
    std::string out;
    std::vector<std::string> raw = {"--raw", "-r", "8000", "-e", "ulaw"};
    raw.insert(raw.end(), kRequests.begin(), kRequests.end());
    ASSERT_EQ(Tool(raw, out), 0);
    std::vector<std::int16_t> expected;
    for (const char code : out) expected.push_back(Quorvex::VarnelNet::LinearFromMuLaw(static_cast<std::uint8_t>(code)));

    struct Receiver {
        std::string name;
        std::vector<std::string> argv;  // PORT, SDP and OUT are replaced
        std::size_t headerBytes;        // before the samples in OUT
        bool stopped;                   // by SIGINT, else it stops 2 s after the last packet
    };
    const std::vector<Receiver> receivers = {
        {"GStreamer",
         {"gst-launch-1.0", "-e", "-q", "udpsrc", "port=PORT",
          "caps=application/x-rtp,media=audio,clock-rate=8000,encoding-name=PCMU,payload=0", "!", "rtppcmudepay", "!",
          "mulawdec", "!", "wavenc", "!", "filesink", "location=OUT"},
         44, true},
        {"ffmpeg",
         {"ffmpeg", "-nostdin", "-loglevel", "error", "-protocol_whitelist", "file,udp,rtp", "-listen_timeout", "2", "-i", "SDP",
          "-f", "s16le", "-y", "OUT"},
         0, false},
    };
    for (const Receiver& r : receivers) {
        SCOPED_TRACE(r.name);
        const int port = FreePort();
        ASSERT_EQ(Tool({"--sdp", Path("stream.sdp"), "--rtp-dst", "127.0.0.1:" + std::to_string(port)}, out), 0) << out;
        std::vector<std::string> argv = r.argv;
        for (std::string& arg : argv) {
            for (const auto& [key, value] : {std::pair<std::string, std::string>{"PORT", std::to_string(port)},
                                             {"SDP", Path("stream.sdp")}, {"OUT", Path("received")}}) {
                if (const std::size_t at = arg.find(key); at != std::string::npos) arg.replace(at, key.size(), value);
            }
        }
        Process receiver(argv, Path("receiver.out"), Path("receiver.err"));
        ASSERT_TRUE(receiver.Started());
        for (int i = 0; i < 1000 && !Bound(port); ++i) std::this_thread::sleep_for(5ms);
        ASSERT_TRUE(Bound(port)) << Slurp(Path("receiver.err"));
        std::vector<std::string> send = {"--rtp", "127.0.0.1:" + std::to_string(port), "--seed", "3"};
        send.insert(send.end(), kRequests.begin(), kRequests.end());
        ASSERT_EQ(Tool(send, out), 0) << out;
        if (r.stopped) {
            std::this_thread::sleep_for(200ms);
            receiver.Signal(SIGINT);
        }
        ASSERT_EQ(receiver.Wait(10s), 0) << Slurp(Path("receiver.err"));

        const std::vector<std::int16_t> got = Samples(Slurp(Path("received")).substr(r.headerBytes));
        ASSERT_GE(got.size(), expected.size() / 2) << "most of the audio received";
        ASSERT_EQ((expected.size() - got.size()) % 160, 0u) << "whole packets missed at the start, no more";
        EXPECT_TRUE(std::equal(got.begin(), got.end(), expected.end() - static_cast<std::ptrdiff_t>(got.size())));
        std::ofstream(Path("received.s16"), std::ios::binary).write(reinterpret_cast<const char*>(got.data()),
                                                                   static_cast<std::streamsize>(got.size() * 2));
        RunShell("sox -t raw -r 8000 -e signed -b 16 -c 1 " + Quote(Path("received.s16")) +
                     " -t raw -r 22050 - | multimon-ng -q -a DTMF -t raw -",
                 out);
        EXPECT_EQ(out, "DTMF: 1\nDTMF: 5\nDTMF: 9\nDTMF: #\n");
    }
}

TEST_F(LiveTest, RefusalsAndFailuresSayWhyAndLeaveNothing) {
    const std::string pcap = Path("out.pcap");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const std::string closed = "127.0.0.1:" + std::to_string(FreePort());
    const std::vector<Case> cases = {
        {{"--pcap", pcap, "-r", "16000", "dtmf:1"}, 2, "G.711 in RTP runs at 8000 Hz: the output is 16000 Hz, G.711 mu-law mono; give -r 8000"},
        {{"--pcap", pcap, "-e", "pcm", "dtmf:1"}, 2, "RTP carries G.711 here: the output is 8000 Hz, 16-bit mono; give -e ulaw or -e alaw"},
        {{"--pcap", pcap, "--ptime", "61", "dtmf:1"}, 2, "--ptime: '61' is not a whole number of milliseconds from 10 to 60"},
        {{"--pcap", pcap, "-e", "alaw", "--event-pt", "8", "dtmf:1"}, 2,
         "--event-pt: '8' is the audio's payload type (PCMA): give a dynamic type from 96 to 127"},
        {{"--pcap", pcap, "--tty-rtt", "--t140-pt", "100", "dtmf:1"}, 2, "--t140-pt and --red-pt are both 100"},
        {{"--pcap", pcap, "--rtp-src", "[::1]:9", "--rtp-dst", "127.0.0.1:9", "dtmf:1"}, 2, "are of different address families"},
        {{"--rtp", "no-such-host.invalid:5004", "dtmf:1"}, 2, "--rtp: 'no-such-host.invalid' does not resolve"},
        {{"--rtp", "127.0.0.1:0", "dtmf:1"}, 2, "--rtp: '127.0.0.1:0' does not end in a port from 1 to 65535"},
        {{"-o", Path("a.wav"), "--sdp", "-", "dtmf:1"}, 2, "--sdp describes RTP: give it alone or with --pcap FILE or --rtp HOST:PORT"},
        {{"-o", Path("a.wav"), "--ptime", "30", "dtmf:1"}, 2, "--ptime applies to --pcap, --rtp and --sdp only"},
        {{"--pcap", Path("no/such/dir.pcap"), "dtmf:1"}, 1, "Unable to create or write this pcap file. (No such file or directory)"},
        {{"--sdp", Path("no/such/dir.sdp"), "dtmf:1"}, 1,
         "Unable to create or write this session description file. (No such file or directory)"},
        {{"--rtp", closed, "silence:1000"}, 1,
         "--rtp " + closed + ": " + closed + " refused the packets (ICMP port unreachable): nothing receives on that port"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1] + " ... " + c.message);
        std::string out;
        EXPECT_EQ(Tool(c.args, out), c.status);
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
        EXPECT_FALSE(fs::exists(pcap));
        EXPECT_EQ(std::distance(fs::directory_iterator(m_dir.path()), fs::directory_iterator()), 0) << "nothing left";
    }
}

// What users type: rfc2833 for rfc4733, --pcap-start now; the warning for keys shorter than a
// packet; --sdp alone renders nothing and writes what the RTP page shows.
TEST_F(LiveTest, TheToolTakesRtpOptionsAsUsersTypeThem) {
    struct Case {
        std::vector<std::string> args;
        std::string said, unsaid;
    };
    const std::vector<Case> cases = {
        {{"--pcap", Path("now.pcap"), "--pcap-start", "now", "dtmf:1"}, "varnel: wrote ", "warning"},
        {{"--pcap", Path("short.pcap"), "--dtmf-mode", "rfc2833", "--dtmf-tone", "10", "dtmf:123A"},
         "varnel: warning: 'dtmf:123A': keys of 10 ms are shorter than the packet time (20 ms)", ""},
        {{"--sdp", "-", "--seed", "1"}, "v=0\r\n", "no request given"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1] + " " + c.args[2]);
        std::string out;
        EXPECT_EQ(Tool(c.args, out), 0);
        EXPECT_NE(out.find(c.said), std::string::npos) << out;
        EXPECT_TRUE(c.unsaid.empty() || out.find(c.unsaid) == std::string::npos) << out;
        if (c.args[0] != "--sdp") continue;
        const std::string page = Slurp(VARNEL_RTP_PAGE_PATH);
        const std::size_t block = page.find("```\nv=0\n") + 4;
        std::erase(out, '\r');
        EXPECT_EQ(page.substr(block, page.find("```", block) - block), out);
    }
}

// A signal (or two, as `timeout` sends one to the process group) stops a send within a packet
// time; the summary counts what arrived, DSCP EF marked, and a key held down when the signal came
// is ended: its last packet again with the E bit, three times.
TEST_F(LiveTest, ASignalStopsASendWithinAPacketTime) {
    const std::vector<std::string> silence = {"--ptime", "60", "silence:60000"};
    const std::vector<std::string> key = {"--dtmf-mode", "rfc4733", "--dtmf-tone", "10000", "dtmf:5"};
    for (const auto& [signal, times, status, name, args] :
         {std::tuple{SIGINT, 1, 130, "SIGINT", silence}, std::tuple{SIGTERM, 1, 143, "SIGTERM", silence},
          std::tuple{SIGINT, 2, 130, "SIGINT", silence}, std::tuple{SIGINT, 2, 130, "SIGINT", key}}) {
        SCOPED_TRACE(std::string(name) + " x" + std::to_string(times) + " " + args.back());
        const UdpSocket receiver;
        const std::string to = "127.0.0.1:" + std::to_string(receiver.Port());
        std::vector<std::string> argv = {VARNEL_CLI_PATH, "--rtp", to};
        argv.insert(argv.end(), args.begin(), args.end());
        Process tool(argv, Path("out"), Path("err"));
        std::vector<std::string> got;
        while (got.size() < (args == key ? 5u : 1u)) {  // a key held over a few updates
            const std::vector<std::string> next = receiver.Receive();
            ASSERT_EQ(next.size(), 1u);
            got.push_back(next[0]);
        }
        const auto sent = std::chrono::steady_clock::now();
        for (int i = 0; i < times; ++i) tool.Signal(signal);
        EXPECT_EQ(tool.Wait(5s), status);
        // A packet time (60 ms at the most here), and the process's exit, which a sanitizer's
        // leak check at exit lengthens.
        EXPECT_LT(std::chrono::steady_clock::now() - sent, 100ms);
        const std::string err = Slurp(Path("err"));
        for (std::string& d : receiver.Receive(true)) got.push_back(std::move(d));
        EXPECT_NE(err.find(std::string("varnel: interrupted by ") + name + ": sent " + std::to_string(got.size()) +
                           " packets to " + to + "\n"),
                  std::string::npos)
            << err;
        for (const std::string& d : got) EXPECT_EQ(static_cast<std::uint8_t>(d.back()), 0xB8) << "DSCP EF";
        if (args != key) continue;
        ASSERT_GE(got.size(), 4u);
        const std::string& held = got[got.size() - 4];
        const auto sequence = [](const std::string& d) { return static_cast<std::uint8_t>(d[2]) << 8 | static_cast<std::uint8_t>(d[3]); };
        for (std::size_t k = got.size() - 3; k < got.size(); ++k) {
            EXPECT_EQ(sequence(got[k]), (sequence(held) + static_cast<int>(k + 4 - got.size())) & 0xFFFF) << "no gap";
            EXPECT_EQ(got[k].substr(4, 8), held.substr(4, 8)) << "the key's timestamp and SSRC";
            EXPECT_EQ(got[k][1], 101) << "event, no marker";
            EXPECT_EQ(static_cast<std::uint8_t>(got[k][13]), 0x80 | static_cast<std::uint8_t>(held[13])) << "the E bit";
            EXPECT_EQ(got[k].substr(14, 2), held.substr(14, 2)) << "the duration heard last";
        }
    }
}

}  // namespace
