// varnel detect --expect: a recording's keys against a script's, in a WAV file, a pcap, a live
// RTP stream and a capture tshark makes of one; --labels, --junit, a pcap's real-time text, and
// a live stream's packets put back in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "support/Shell.h"
#include "varnel/detect/LiveStream.h"

namespace {

using varnel_test::Quote;
using varnel_test::RunShell;

class DetectExpectTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return (m_dir.path() / name).string(); }
    // Runs a shell command, TOOL standing for the tool and DIR/ for the scratch folder.
    int Run(std::string command, std::string& out) const {
        for (const auto& [word, value] : {std::pair<std::string, std::string>{"TOOL", Quote(VARNEL_CLI_PATH)}, {"DIR/", Path("")}}) {
            for (std::size_t at; (at = command.find(word)) != std::string::npos;) command.replace(at, word.size(), value);
        }
        return RunShell("{ " + command + "; } < /dev/null", out);
    }
    // A live listen in the background, its port read from what it says once bound, then the
    // command with PORT standing for it; once the listen has ended, its output, its status in $s.
    std::string Listen(const std::string& detect, const std::string& then) const {
        return "TOOL detect --rtp-listen 0 " + detect + " 2> DIR/listen.txt > DIR/heard.txt & l=$!; for i in $(seq 250); do"
               " grep -q listening DIR/listen.txt && break; sleep 0.02; done; PORT=$(sed -n 's/.*://p' DIR/listen.txt); " + then +
               "; wait $l; s=$?; cat DIR/heard.txt";
    }
    varnel_test::ScratchDir m_dir;
};

TEST_F(DetectExpectTest, JudgesARecordingAgainstAScript) {
    std::string out;
    ASSERT_EQ(Run("TOOL -o DIR/a.wav silence:300 dtmf:123# && TOOL -o DIR/short.wav --dtmf-tone 50 dtmf:1 && printf 'dtmf:12\\n# then\\ndtmf:3#\\n' > DIR/s.txt && for r in cid:5551234 mf:K123S r2f:5 r2b:3 plan:us:busy sit:nc modem:ansam tty:GA5;"
                  " do TOOL -r 8000 -o DIR/${r%%:*}.wav $r; done", out), 0) << out;
    const struct {
        std::string args;
        int status;
        std::string output;  // a regular expression
    } cases[] = {
        {"--expect dtmf:123# DIR/a.wav", 0, "matches: 4 keys\n"},
        {"-f DIR/s.txt DIR/a.wav DIR/a.wav", 0, "(.*a\\.wav: matches: 4 keys\n){2}"},
        {"--expect dtmf:1239 DIR/a.wav", 1, "key 4: expected '9' at 0\\.690 s, heard '#' at 0\\.99\\d s\n"},
        {"--expect dtmf:123#5 DIR/a.wav", 1, "key 5: expected '5' at 0\\.920 s, missing\n"},
        {"--expect dtmf:123 DIR/a.wav", 1, "extra key '#' at 0\\.99\\d s, after key 3\n"},
        {"--expect 'set:dtmf-break=200 dtmf:123#' DIR/a.wav", 1, "key 2: expected '2' at 0\\.280 s, heard it at 0\\.53\\d s: 5\\d ms early \\(40 ms allowed\\)\n"},
        {"--expect dtmf:1 DIR/short.wav", 1, "key 1: expected '1' lasting 80 ms, heard it lasting 4\\d ms at 0\\.00\\d s \\(20 ms allowed\\)\n"},
        {"--expect dtmf:1239 --junit DIR/j.xml DIR/a.wav; s=$?; cat DIR/j.xml; exit $s", 1,
         "key 4: (.|\n)*<testsuites name=\"varnel detect --expect\" tests=\"1\" failures=\"1\">(.|\n)*<testcase classname=\"varnel detect --expect\""
         " name=\".*a\\.wav\">\n      <failure message=\"key 4: expected '9' (.|\n)*"},
        {"--expect 'dtmf:1 foo:2' DIR/a.wav", 2, "varnel: request 2 'foo:2': unknown request kind 'foo' (.|\n)*"},
        {"--expect '' DIR/a.wav", 2, "varnel: --expect needs a script of one request or more\n(.|\n)*"},
        {"--junit DIR/j.xml DIR/a.wav", 2, "varnel: --junit reports the verdicts of --expect(.|\n)*"},
        {"--rtp-listen 70000", 2, "varnel: --rtp-listen needs \\[ADDRESS:\\]PORT, a port from 0 \\(any\\) to 65535, not '70000'\n(.|\n)*"},
        {"--labels DIR/l.wav DIR/a.wav", 2, "varnel: --labels: .*neither a \\.txt file(.|\n)*"},
        {"--labels DIR/l.txt DIR/a.wav > /dev/null; cat DIR/l.txt", 0, "0\\.30\\d+\t0\\.37\\d+\t1\n(.*\n){2}0\\.99\\d+\t1\\.06\\d+\t#\n"},
        // Every kind a detector hears, through its rendering at 8000 Hz.
        {"--expect cid:5551239 DIR/cid.wav", 1, "Caller-ID message 1: expected '5551239' at 0\\.401 s, heard '5551234' at 0\\.401 s\n"},
        {"--cid-standard bell --expect cid:5551234 DIR/cid.wav", 0, "matches: 1 Caller-ID message\n"},
        {"--cid-standard dtmf --expect cid:5551234 DIR/cid.wav", 1, "Caller-ID message 1: expected '5551234' at 0\\.401 s, missing\n"},
        {"--cid-standard v23 DIR/cid.wav", 2, "varnel: --cid-standard is bell, etsi, bt, ntt or dtmf, not 'v23'\n(.|\n)*"},
        {"--cid-standard bell --rtp-listen 0", 2, "varnel: --cid-standard narrows the Caller-ID of files: --rtp-listen hears keys\n(.|\n)*"},
        {"--expect mf:K123S DIR/mf.wav", 0, "matches: 5 MF signals\n"},
        {"--expect r2f:5 DIR/r2f.wav", 0, "matches: 1 R2 forward signal\n"},
        {"--expect r2b:3 DIR/r2b.wav", 0, "matches: 1 R2 backward signal\n"},
        {"--expect plan:uk:busy DIR/plan.wav", 1, "plan tone 1: expected '400' at 0\\.000 s, heard '480\\+620' at 0\\.00\\d s\n"},
        {"--expect sit:nc DIR/sit.wav", 0, "matches: 3 SIT segments\n"},
        {"--expect modem:ansam DIR/modem.wav", 0, "matches: 1 modem tone\n"},
        {"--expect tty:GA6 DIR/tty.wav", 1, "TTY character 5: expected '6' at 0\\.904 s, heard '5' at 0\\.90\\d s\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_EQ(Run("TOOL detect " + c.args, out), c.status);
        EXPECT_TRUE(std::regex_match(out, std::regex(c.output))) << out;
    }
}

// A pcap of telephone events beside real-time text: the events match, the text is printed.
TEST_F(DetectExpectTest, JudgesAPcapAndPrintsItsText) {
    std::string out;
    ASSERT_EQ(Run("TOOL --pcap DIR/a.pcap --seed 5 --tty-rtt --dtmf-mode rfc4733 dtmf:159D 'tty:HELLO GA' 2> /dev/null && TOOL detect DIR/a.pcap &&"
                  " TOOL detect --expect dtmf:159D DIR/a.pcap", out), 0) << out;
    EXPECT_TRUE(std::regex_match(out, std::regex("RTP .* payload 0 events 101 packets \\d+\nTTY .* \"HELLO GA\" .*\n(. .* rfc4733\n){4}RTP .* > 127\\.0\\.0\\.1:5006 text 98"
                                                 " packets \\d+\nRTT 0\\.000 1\\.\\d+ \"HELLO GA\"\nmatches: 4 keys \\(RTP .*:5004\\)\n"))) << out;
}

// The tool sends to a live listen on loopback, in-band: the listen's verdict.
TEST_F(DetectExpectTest, JudgesALiveStream) {
    std::string out;
    EXPECT_EQ(Run(Listen("--expect dtmf:159D", "TOOL --rtp 127.0.0.1:$PORT dtmf:159D 2> /dev/null") + "; exit $s", out), 0) << out;
    EXPECT_EQ(out, "matches: 4 keys\n");
}

// tshark captures the live send a listen hears: the capture matches the script, a changed script
// names its difference.
TEST_F(DetectExpectTest, JudgesACaptureTsharkMakes) {
    VARNEL_REQUIRE_TOOL("tshark");
    std::string out;
    const std::string capture = "tshark -i lo -f \"udp port $PORT\" -F pcap -w DIR/cap.pcap 2> DIR/tshark.txt & t=$!; for i in $(seq 250); do"
                                " bash -c \"echo probe > /dev/udp/127.0.0.1/$PORT\"; [ $(stat -c %s DIR/cap.pcap 2> /dev/null || echo 0) -gt 24 ] && break;"
                                " grep -q -i error DIR/tshark.txt && break; sleep 0.02; done; TOOL --rtp 127.0.0.1:$PORT dtmf:159D 2> /dev/null";
    const int status = Run(Listen("--expect dtmf:159D", capture) + "; kill -INT $t; wait $t; cat DIR/tshark.txt; exit $s", out);
    if (out.find("Capturing") == std::string::npos) {
        if (std::getenv("CI") != nullptr) FAIL() << out;
        GTEST_SKIP() << "tshark cannot capture here: " << out;
    }
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(Run("TOOL detect --expect dtmf:159D DIR/cap.pcap", out), 0) << out;
    EXPECT_TRUE(std::regex_match(out, std::regex("matches: 4 keys \\(RTP 0x[0-9A-F]{8} 127\\.0\\.0\\.1:\\d+ > 127\\.0\\.0\\.1:\\d+\\)\n"))) << out;
    EXPECT_EQ(Run("TOOL detect --expect dtmf:159# DIR/cap.pcap", out), 1) << out;
    EXPECT_TRUE(std::regex_match(out, std::regex("key 4: expected '#' at 0\\.690 s, heard 'D' at \\d\\.\\d{3} s \\(RTP .*\\)\n"))) << out;
}

// The UDP payloads of a pcap the tool writes (Ethernet, IPv4, UDP headers: 42 bytes).
std::vector<std::string> Datagrams(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> datagrams;
    for (std::size_t at = 24; at + 16 <= bytes.size();) {
        const std::size_t length = static_cast<unsigned char>(bytes[at + 8]) | static_cast<std::size_t>(static_cast<unsigned char>(bytes[at + 9])) << 8;
        datagrams.push_back(bytes.substr(at + 16 + 42, length - 42));
        at += 16 + length;
    }
    return datagrams;
}

// What a live stream tells of the datagrams: each key and event, its span.
std::string Told(const std::vector<std::string>& datagrams) {
    std::string told;
    using namespace Quorvex::VarnelNet::Detect;
    LiveStream stream([&](const DtmfEvent& k) { told += std::string(1, k.key) + " " + std::to_string(k.first) + " " + std::to_string(k.last) + "\n"; },
                      [&](const TelephoneEvent& e) { told += std::to_string(e.code) + " " + std::to_string(e.first) + " " + std::to_string(e.end) + "\n"; });
    for (const std::string& d : datagrams) stream.Add(std::span(reinterpret_cast<const std::uint8_t*>(d.data()), d.size()));
    stream.Finish();
    return told;
}

// Packets swapped (up to seven apart, within the buffer), sent twice, or lost in a break reach
// the detector as the stream in order does, to the sample.
TEST_F(DetectExpectTest, ALiveStreamPutsItsPacketsBackInOrder) {
    const struct {
        std::vector<std::pair<std::size_t, std::size_t>> swaps;
        std::size_t twice, lost;  // 0: none
    } cases[] = {{{{3, 4}}, 0, 0}, {{{10, 17}, {20, 22}}, 0, 0}, {{}, 12, 0}, {{}, 0, 5}, {{{1, 2}, {9, 16}}, 30, 6}};
    for (const char* mode : {"", "--dtmf-mode rfc4733"}) {
        std::string out;
        ASSERT_EQ(Run("TOOL --pcap DIR/a.pcap --seed 2 " + std::string(mode) + " dtmf:159D 2>&1", out), 0) << out;
        const std::vector<std::string> inOrder = Datagrams(Path("a.pcap"));
        const std::string told = Told(inOrder);
        ASSERT_EQ(std::count(told.begin(), told.end(), '\n'), 4) << told;
        for (const auto& c : cases) {
            std::vector<std::string> sent = inOrder;
            for (const auto& [a, b] : c.swaps) std::swap(sent[a], sent[b]);
            if (c.twice != 0) sent.insert(sent.begin() + static_cast<std::ptrdiff_t>(c.twice + 3), sent[c.twice]);
            if (c.lost != 0) sent.erase(sent.begin() + static_cast<std::ptrdiff_t>(c.lost));
            EXPECT_EQ(Told(sent), told) << mode << " " << c.twice << " " << c.lost;
        }
    }
}

}  // namespace
