// The DTMF detector and the sample reader: keys the tool renders heard at their labels' times
// (rates, levels, twist, offsets, noise), the tones the detector must refuse, split input equal
// to whole input, keys sox and GStreamer make, malformed WAV files refused, the keys and telephone
// events of the tool's pcaps and of a capture tshark makes, and the command's exits.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/Shell.h"
#include "varnel/detect/DtmfDetector.h"
#include "varnel/detect/PcmReader.h"

namespace {

using namespace Quorvex::VarnelNet::Detect;
using varnel_test::Quote;
using varnel_test::RunShell;

std::vector<double> Samples(const std::string& path, int& rate) {
    std::ifstream in(path, std::ios::binary);
    PcmReader reader = PcmReader::Wav(in);
    rate = reader.Format().rate;
    std::vector<double> samples;
    double block[512];
    while (const std::size_t n = reader.Read(block)) samples.insert(samples.end(), block, block + n);
    return samples;
}

std::vector<DtmfEvent> Detected(const std::vector<double>& samples, int rate, std::size_t block) {
    std::vector<DtmfEvent> events;
    DtmfDetector detector(rate, [&events](const DtmfEvent& e) { events.push_back(e); });
    for (std::size_t at = 0; at < samples.size(); at += block) {
        detector.Feed(std::span(samples).subspan(at, std::min(block, samples.size() - at)));
    }
    detector.Finish();
    return events;
}

// The keys of a labels file (JSON lines).
std::vector<DtmfEvent> Labelled(const std::string& path) {
    static const std::regex key(R"re("symbol":"key","start":(\d+),"end":(\d+),"text":"(.)")re");
    std::vector<DtmfEvent> keys;
    std::ifstream lines(path);
    for (std::string line; std::getline(lines, line);) {
        if (std::smatch m; std::regex_search(line, m, key)) keys.push_back({m[3].str()[0], std::stoull(m[1]), std::stoull(m[2])});
    }
    return keys;
}

class DetectTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return (m_dir.path() / name).string(); }
    // Renders with the tool into a WAV file and its labels.
    void Render(const std::string& args) const {
        std::string out;
        ASSERT_EQ(RunShell(Quote(VARNEL_CLI_PATH) + " -o " + Path("a.wav") + " --labels " + Path("a.jsonl") + " " + args, out), 0) << out;
    }
    varnel_test::ScratchDir m_dir;
};

struct Trip {
    const char* args;
    bool heard;
};
constexpr Trip kTrips[] = {
    {"-r 8000 --dbm0 -4 --dtmf-tone 50 --dtmf-break 50 dtmf:123A456B789C*0#D", true},
    {"-r 16000 --dbm0 -36 dtmf:159D", true},
    {"-r 44100 --dbm0 -3 --dtmf-twist -8 dtmf:2580", true},
    {"-r 48000 --dbm0 -10 --dtmf-twist 4 dtmf:147*", true},
    {"-r 8000 --dbm0 -17 --freq-offset 1.5 dtmf:369#", true},
    {"-r 48000 --dbm0 -17 --freq-offset -1.5 dtmf:ABCD", true},
    {"-r 8000 --dbm0 -10 --snr 15 --seed 7 dtmf:1234", true},
    {"-r 16000 --dbm0 -10 --dtmf-tone 40 --dtmf-break 40 dtmf:5555", true},
    {"-r 8000 -e ulaw --dbm0 -20 dtmf:0852", true},
    {"-r 8000 -e alaw --dbm0 -20 dtmf:0852", true},
    {"-r 8000 --dbm0 -17 --freq-offset 3.6 dtmf:159D", false},
    {"-r 48000 --dbm0 -17 --freq-offset -3.6 dtmf:159D", false},
    {"-r 8000 --dbm0 -56 dtmf:159D", false},
    {"-r 16000 --dbm0 -10 --dtmf-tone 20 dtmf:159D", false},
    {"-r 8000 --dbm0 -10 --dtmf-twist -10 dtmf:159D", false},
    {"-r 8000 --dbm0 -10 --dtmf-twist 6 dtmf:159D", false},
    {"-r 8000 --dbm0 -10 tone:500,0,1000 tone:300,0,697 plan:us:dial:500 plan:us:busy:1000", false},
    {"-r 8000 --dbm0 -37 tone:200,0,440,698,1320", false},  // a fading chord's partials on the tones of 2, its A4 on the dial tone's 440 Hz
};

TEST_F(DetectTest, HearsTheKeysTheToolRendersAtTheirLabels) {
    for (const Trip& trip : kTrips) {
        SCOPED_TRACE(trip.args);
        Render(trip.args);
        int rate = 0;
        const std::vector<double> samples = Samples(Path("a.wav"), rate);
        const std::vector<DtmfEvent> events = Detected(samples, rate, 1 << 20);
        if (!trip.heard) {
            EXPECT_TRUE(events.empty()) << events.size() << " keys, the first " << events.front().key;
            continue;
        }
        const std::vector<DtmfEvent> labels = Labelled(Path("a.jsonl"));
        ASSERT_EQ(events.size(), labels.size());
        const double tolerance = 0.004 * rate;  // 4 ms
        for (std::size_t i = 0; i < labels.size(); ++i) {
            EXPECT_EQ(events[i].key, labels[i].key);
            EXPECT_NEAR(static_cast<double>(events[i].first), static_cast<double>(labels[i].first), tolerance) << i;
            EXPECT_NEAR(static_cast<double>(events[i].last), static_cast<double>(labels[i].last), tolerance) << i;
        }
    }
}

TEST_F(DetectTest, SplitInputIsWholeInput) {
    Render("-r 8000 --dbm0 -20 --snr 20 --seed 3 --dtmf-tone 45 --dtmf-break 45 dtmf:0123456789");
    int rate = 0;
    const std::vector<double> samples = Samples(Path("a.wav"), rate);
    const std::vector<DtmfEvent> whole = Detected(samples, rate, samples.size());
    ASSERT_EQ(whole.size(), 10u);
    for (const std::size_t block : {1u, 7u, 51u, 160u, 1001u}) {
        const std::vector<DtmfEvent> split = Detected(samples, rate, block);
        ASSERT_EQ(split.size(), whole.size()) << block;
        for (std::size_t i = 0; i < whole.size(); ++i) {
            EXPECT_EQ(split[i].first, whole[i].first);
            EXPECT_EQ(split[i].last, whole[i].last);
            EXPECT_EQ(split[i].rowDbm0, whole[i].rowDbm0);
            EXPECT_EQ(split[i].columnHz, whole[i].columnHz);
        }
    }
}

// Keys sox synthesises, and the tones GStreamer makes of the telephone events of a live send.
TEST_F(DetectTest, HearsTheKeysOtherSendersMake) {
    VARNEL_REQUIRE_TOOL("sox");
    VARNEL_REQUIRE_TOOL("gst-launch-1.0");
    const int port = 20000 + getpid() % 40000;
    const std::string send = Quote(VARNEL_CLI_PATH) + " --rtp 127.0.0.1:PORT --dtmf-mode rfc4733 --seed 3 dtmf:159D silence:200";
    const std::pair<std::string, std::string> senders[] = {
        {"sox -n -r 8000 -b 16 -c 1 OUT synth 0.045 sine 697 sine 1209 channels 1 gain -12 pad 0.05 0 : synth 0.06 sine 852 sine 1633"
         " channels 1 gain -20 pad 0.05 0 : synth 0.05 sine 941 sine 1477 channels 1 gain -30 pad 0.05 0.05",
         "1C#"},
        {"gst-launch-1.0 -e -q udpsrc port=PORT caps=application/x-rtp,media=audio,clock-rate=8000,encoding-name=TELEPHONE-EVENT,"
         "payload=101 ! rtpdtmfdepay ! audio/x-raw,format=S16LE,rate=8000,channels=1,layout=interleaved ! wavenc ! filesink location=OUT"
         " & g=$!; for i in $(seq 250); do grep -q \":$(printf %04X PORT) \" /proc/net/udp && break; sleep 0.02; done; " + send + " && sleep 0.3; kill -INT $g; wait $g",
         "159D"},
    };
    for (auto [command, keys] : senders) {
        SCOPED_TRACE(command);
        for (const auto& [key, value] : {std::pair<std::string, std::string>{"OUT", Path("sent.wav")}, {"PORT", std::to_string(port)}}) {
            for (std::size_t at; (at = command.find(key)) != std::string::npos;) command.replace(at, key.size(), value);
        }
        std::string out;
        ASSERT_EQ(RunShell("{ " + command + "; }", out), 0) << out;
        int rate = 0;
        const std::vector<double> samples = Samples(Path("sent.wav"), rate);
        std::string heard;
        for (const DtmfEvent& e : Detected(samples, rate, 256)) heard += e.key;
        EXPECT_EQ(heard, keys);
    }
}

// The keys `varnel detect --json` prints for a file: their kind and span.
using Found = std::pair<std::string, DtmfEvent>;
std::vector<Found> DetectedInFile(const std::string& path) {
    static const std::regex key(R"re("kind":"(\w+)","symbol":"key","start":(\d+),"end":(\d+),"text":"(.)")re");
    std::string out;
    EXPECT_EQ(RunShell(Quote(VARNEL_CLI_PATH) + " detect --json " + Quote(path), out), 0) << out;
    std::vector<Found> found;
    for (auto m = std::sregex_iterator(out.begin(), out.end(), key); m != std::sregex_iterator(); ++m) {
        found.push_back({(*m)[1], {(*m)[4].str()[0], std::stoull((*m)[2]), std::stoull((*m)[3])}});
    }
    return found;
}

void ExpectKeysAtLabels(const std::vector<Found>& found, const std::vector<DtmfEvent>& labels, const std::string& kind) {
    ASSERT_FALSE(labels.empty());
    ASSERT_EQ(found.size(), labels.size());
    for (std::size_t i = 0; i < labels.size(); ++i) {
        EXPECT_EQ(found[i].first, kind);
        EXPECT_EQ(found[i].second.key, labels[i].key);
        EXPECT_NEAR(static_cast<double>(found[i].second.first), static_cast<double>(labels[i].first), 160) << i;  // a packet time
        EXPECT_NEAR(static_cast<double>(found[i].second.last), static_cast<double>(labels[i].last), 160) << i;
    }
}

// Pcaps of the tool: in-band mu-law, telephone events, A-law over IPv6, and in-band with two
// packets swapped (a key's last and a break's) or three of a break dropped, which keep the keys
// on time only when packets are placed by their timestamps. Records are counted from 1.
struct Capture {
    const char* args;
    const char* kind;
    std::size_t swap[2], drop[2];  // two records exchanged; the first dropped and how many ({0, 0}: none)
};
constexpr Capture kCaptures[] = {
    {"dtmf:159D", "dtmf", {0, 0}, {0, 0}},
    {"--dtmf-mode rfc4733 dtmf:159D", "rfc4733", {0, 0}, {0, 0}},
    {"-e alaw --rtp-dst [::1]:6000 dtmf:159D", "dtmf", {0, 0}, {0, 0}},
    {"dtmf:159D", "dtmf", {4, 9}, {0, 0}},
    {"dtmf:159D", "dtmf", {0, 0}, {6, 3}},
};

TEST_F(DetectTest, HearsTheKeysAndEventsOfThePcapsTheToolWrites) {
    for (const Capture& capture : kCaptures) {
        SCOPED_TRACE(capture.args);
        std::string out;
        ASSERT_EQ(RunShell(Quote(VARNEL_CLI_PATH) + " --pcap " + Path("a.pcap") + " --labels " + Path("a.jsonl") +
                               " --seed 7 --pcap-start 1714564800 " + capture.args, out), 0) << out;
        std::ifstream in(Path("a.pcap"), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::size_t record = 16 + static_cast<unsigned char>(bytes[32]);  // every audio record is as long as the first
        const auto at = [&](std::size_t n) { return 24 + (n - 1) * record; };
        if (capture.swap[0] != 0) {
            const std::string first = bytes.substr(at(capture.swap[0]), record);
            bytes.replace(at(capture.swap[0]), record, bytes.substr(at(capture.swap[1]), record));
            bytes.replace(at(capture.swap[1]), record, first);
        }
        if (capture.drop[0] != 0) bytes.erase(at(capture.drop[0]), capture.drop[1] * record);
        std::ofstream(Path("a.pcap"), std::ios::binary) << bytes;
        ExpectKeysAtLabels(DetectedInFile(Path("a.pcap")), Labelled(Path("a.jsonl")), capture.kind);
    }
}

// A live send to loopback, to a port a socket of Python's binds and receives on, captured by
// tshark (capturing needs the rights CI has) once a probe datagram (too short for RTP) shows in
// its file.
TEST_F(DetectTest, HearsTheKeysOfACaptureTsharkMakes) {
    VARNEL_REQUIRE_TOOL("tshark");
    VARNEL_REQUIRE_TOOL("python3");
    const std::string log = Path("tshark.txt");
    const std::string capture =
        "python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind((\"127.0.0.1\", 0)); print(s.getsockname()[1],"
        " flush=True); [s.recv(2048) for _ in iter(int, 1)]' > " + Path("port") + " & r=$!; for i in $(seq 250); do [ -s " + Path("port") + " ] && break;"
        " sleep 0.02; done; p=$(cat " + Path("port") + "); tshark -i lo -f \"udp port $p\" -F pcap -w " + Path("live.pcap") + " 2> " + log +
        " & t=$!; for i in $(seq 250); do python3 -c \"import socket; socket.socket(socket.AF_INET, socket.SOCK_DGRAM).sendto(b'probe',"
        " ('127.0.0.1', $p))\"; [ $(stat -c %s " + Path("live.pcap") + " 2> /dev/null || echo 0) -gt 24 ] && break; sleep 0.02; done; " +
        Quote(VARNEL_CLI_PATH) + " --rtp 127.0.0.1:$p --labels " + Path("a.jsonl") + " dtmf:123; s=$?; sleep 0.5; kill -INT $t; wait $t;"
        " kill $r; cat " + log + "; exit $s";
    std::string out;
    const int status = RunShell("{ " + capture + "; }", out);
    if (out.find("Capturing") == std::string::npos) {
        if (std::getenv("CI") != nullptr) FAIL() << out;
        GTEST_SKIP() << "tshark cannot capture here: " << out;
    }
    ASSERT_EQ(status, 0) << out;
    ExpectKeysAtLabels(DetectedInFile(Path("live.pcap")), Labelled(Path("a.jsonl")), "dtmf");
}

std::string Le(std::uint32_t value, int bytes) {
    std::string text;
    for (int i = 0; i < bytes; ++i) text += static_cast<char>(value >> (8 * i) & 0xFF);
    return text;
}

// A WAV file of one fmt chunk (tag, channels, bits, block alignment) and one data chunk.
std::string Wav(int tag, int channels, int bits, int align, const std::string& data, bool dataFirst = false) {
    const std::string fmt = "fmt " + Le(16, 4) + Le(tag, 2) + Le(channels, 2) + Le(8000, 4) + Le(8000 * align, 4) + Le(align, 2) + Le(bits, 2);
    const std::string chunk = "data" + Le(static_cast<std::uint32_t>(data.size()), 4) + data;
    return "RIFF" + Le(0, 4) + "WAVE" + "LIST" + Le(3, 4) + "abc" + '\0' + (dataFirst ? chunk + fmt : fmt + chunk);
}

TEST(PcmReaderTest, ReadsTheFormatsAndRefusesMalformedFiles) {
    struct Case {
        std::string bytes;
        std::string refusal;          // empty: read
        std::vector<double> samples;  // of the first channel
    };
    const std::vector<Case> cases = {
        {Wav(1, 1, 16, 2, Le(0x8000, 2) + Le(0x4000, 2) + "\x01"), "", {-1.0, 0.5}},
        {Wav(1, 2, 8, 2, std::string("\xC0\x00\x40\x00", 4)), "", {0.5, -0.5}},
        {Wav(1, 1, 24, 3, Le(0xC00000, 3)), "", {-0.5}},
        {Wav(7, 1, 8, 1, std::string("\x00\xFF", 2)), "", {-32124 / 32768.0, 0.0}},
        {Wav(6, 1, 8, 1, std::string("\xD5", 1)), "", {8 / 32768.0}},
        {Wav(3, 1, 32, 4, Le(0x3F000000, 4)), "", {0.5}},
        {"", "not a WAV file", {}},
        {"RIFF" + Le(4, 4) + "WAVE", "no fmt chunk", {}},
        {Wav(2, 1, 4, 1, ""), "WAV format 2", {}},
        {Wav(1, 1, 12, 2, ""), "12 bits", {}},
        {Wav(1, 1, 16, 3, ""), "block alignment", {}},
        {Wav(1, 0, 16, 0, ""), "no channels", {}},
        {Wav(1, 1, 16, 2, "", true), "before its fmt chunk", {}},
        {Wav(1, 1, 16, 2, "").substr(0, 48), "no data chunk", {}},
        {Wav(1, 1, 16, 2, "").substr(0, 40), "inside its fmt chunk", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refusal);
        std::istringstream in(c.bytes);
        try {
            PcmReader reader = PcmReader::Wav(in);
            ASSERT_TRUE(c.refusal.empty());
            std::vector<double> samples(8);
            samples.resize(reader.Read(samples));
            EXPECT_EQ(samples, c.samples);
        } catch (const ReadError& e) {
            EXPECT_NE(std::string(e.what()).find(c.refusal), std::string::npos) << e.what();
            EXPECT_FALSE(c.refusal.empty()) << e.what();
        }
    }
}

TEST_F(DetectTest, TheCommandPrintsKeysAndExits) {
    Render("-r 8000 --dbm0 -10 dtmf:42");
    std::string out;
    std::ofstream(Path("bad.wav")) << "RIFF";
    const std::string pcap = Le(0xA1B2C3D4, 4) + Le(2, 2) + Le(4, 2) + Le(0, 4) + Le(0, 4) + Le(65535, 4);
    std::ofstream(Path("cut.pcap")) << pcap + Le(1, 4) + Le(0, 4) + Le(0, 4) + Le(100, 4) + Le(100, 4) + "abc";
    std::ofstream(Path("wifi.pcap")) << pcap + Le(105, 4);
    std::ofstream(Path("a.pcapng")) << Le(0x0A0D0D0A, 4) + Le(28, 4);
    std::ofstream(Path("m.bin")) << "MZ";  // a first byte of a pcap's magic, and no capture
    const std::string tool = Quote(VARNEL_CLI_PATH) + " detect ";
    const struct {
        std::string args;
        int status;
        std::string output;  // a regular expression the output matches
    } cases[] = {
        {Path("a.wav"), 0, R"(4 0\.00\d 0\.0[78]\d -10\.\d -10\.\d dBm0 770\.\d 1209\.\d Hz\n2 0\.2\d\d 0\.3\d\d .*\n)"},
        {"--json - < " + Path("a.wav"), 0, R"(\{"request":0,"kind":"dtmf","symbol":"key","start":\d+,"end":\d+,"text":"4","hz":\[770,1209\]\}\n.*\n)"},
        {"-r 8000 -e signed -b 16 - < " + Path("a.wav"), 0, R"(4 0\.00\d .*\n2 .*\n)"},
        {Path("bad.wav") + " " + Path("a.wav"), 1, R"((.|\n)*bad\.wav: it is not a WAV file(.|\n)*a\.wav:\n4 (.|\n)*)"},
        {Path("cut.pcap") + " " + Path("wifi.pcap") + " " + Path("a.pcapng"), 1,
         R"((.|\n)*cut\.pcap: its record 1 is cut short\n(.|\n)*wifi\.pcap: its link type 105 is not read (.|\n)*)"
         R"(a\.pcapng: it is a pcapng file: save it as pcap (.|\n)*)"},
        {Path("m.bin"), 1, R"(varnel: .*m\.bin: it is not a WAV file \(no RIFF WAVE header\)\n)"},
        {Path("none.wav"), 1, R"(varnel: .*none\.wav: No such file or directory\n)"},
        {"", 2, R"(varnel: detect needs a file(.|\n)*)"},
        {"-e mu-law x", 2, R"(varnel: -e and -b describe raw samples(.|\n)*)"},
        {"-r 4000 -", 1, R"(varnel: -: its rate of 4000 Hz is outside the 8000 to 48000 Hz the detector takes\n)"},
        // The help's first lines only: the library's matcher recurses a character at a time.
        {"--help < /dev/null > " + Path("help.txt") + " && head -2 " + Path("help.txt"), 0,
         R"(Detectors \(the first argument names the command\):\n  varnel detect \[--json\] .*\n)"},
        {"-r 99999999999 x", 2, R"(varnel: -r/--rate needs a positive whole number, not '99999999999'(.|\n)*)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_EQ(RunShell(tool + c.args + (c.args.find('<') == std::string::npos ? " < /dev/null" : ""), out), c.status);
        EXPECT_TRUE(std::regex_match(out, std::regex(c.output))) << out;
    }
}

}  // namespace
