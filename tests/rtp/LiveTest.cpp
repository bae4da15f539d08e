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
    bool Receive() const {
        char datagram[2048];
        return ::recv(m_fd, datagram, sizeof datagram, 0) > 0;
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
        {{"--pcap", Path("no/such/dir.pcap"), "dtmf:1"}, 1, "(No such file or directory)"},
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

TEST_F(LiveTest, ASignalStopsASendWithinAPacketTime) {
    for (const auto& [signal, status, name] : {std::tuple{SIGINT, 130, "SIGINT"}, std::tuple{SIGTERM, 143, "SIGTERM"}}) {
        SCOPED_TRACE(name);
        const UdpSocket receiver;
        const std::string to = "127.0.0.1:" + std::to_string(receiver.Port());
        Process tool({VARNEL_CLI_PATH, "--rtp", to, "--ptime", "60", "silence:60000"}, Path("out"), Path("err"));
        ASSERT_TRUE(receiver.Receive());
        const auto sent = std::chrono::steady_clock::now();
        tool.Signal(signal);
        EXPECT_EQ(tool.Wait(5s), status);
        EXPECT_LT(std::chrono::steady_clock::now() - sent, 60ms);
        const std::string err = Slurp(Path("err"));
        EXPECT_EQ(err.substr(err.find("varnel: interrupted")).rfind(std::string("varnel: interrupted by ") + name + ": sent ", 0), 0u) << err;
        EXPECT_NE(err.find(" packets to " + to + "\n"), std::string::npos) << err;
    }
}

}  // namespace
