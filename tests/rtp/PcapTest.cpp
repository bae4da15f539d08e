// Pcap files of RTP sessions read back by tshark, one table of cases: the frames as SIPp's
// play_pcap_audio takes them (Ethernet, IPv4 or IPv6 UDP without extension headers, captured
// length equal to length, UDP length at most 1500, checksums right), the audio as the rendering's
// G.711 bytes on the send schedule, every telephone event as RFC 4733 has it, and the text of a
// second stream with its redundancy.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/Shell.h"
#include "varnel/rtp/Session.h"
#include "varnel/script/Parser.h"

namespace {

using namespace Quorvex::VarnelNet;
using namespace varnel_test;

constexpr std::uint64_t kStart = 1700000000000000;  // microseconds since 1970

// One frame as tshark decodes it.
struct Frame {
    std::uint64_t micro = 0;  // since kStart
    int capLen = 0, len = 0, udpLength = 0, dstPort = 0;
    std::string ethType, ipVersion, ipv6Next, checksum;
    std::uint32_t seq = 0, timestamp = 0;
    int type = -1;
    bool marker = false;
    std::vector<std::string> payloads;  // the RTP payload; with RED its blocks follow
    std::vector<std::string> offsets;   // RED's timestamp offsets
    int event = -1, volume = -1, duration = -1;
    bool end = false;
};

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}

std::vector<Frame> ReadWithTshark(const std::string& path, int eventType) {
    std::string out;
    const std::string command =
        "tshark -r " + Quote(path) + " -o udp.check_checksum:TRUE -o ip.check_checksum:TRUE -d udp.port==5004,rtp " +
        "-d udp.port==5006,rtp -d rtp.pt==100,rtp_rfc2198 -d rtp.pt==" + std::to_string(eventType) + ",rtpevent " +
        "-T fields -e frame.time_epoch -e frame.cap_len -e frame.len -e eth.type -e ip.version -e ipv6.nxt " +
        "-e udp.length -e udp.checksum.status -e udp.dstport -e rtp.seq -e rtp.timestamp -e rtp.p_type -e rtp.marker " +
        "-e rtp.payload -e rtp.timestamp-offset -e rtpevent.event_id -e rtpevent.volume -e rtpevent.end_of_event " +
        "-e rtpevent.duration 2>/dev/null";
    EXPECT_EQ(RunShell(command, out), 0) << out;
    std::vector<Frame> frames;
    for (const std::string& line : Split(out, '\n')) {
        const std::vector<std::string> f = Split(line, '\t');
        if (f.size() != 19) continue;
        Frame frame;
        const std::vector<std::string> seconds = Split(f[0], '.');
        frame.micro = std::stoull(seconds[0]) * 1000000 + std::stoull(seconds[1].substr(0, 6)) - kStart;
        frame.capLen = std::stoi(f[1]);
        frame.len = std::stoi(f[2]);
        frame.ethType = f[3];
        frame.ipVersion = f[4];
        frame.ipv6Next = f[5];
        frame.udpLength = std::stoi(f[6]);
        frame.checksum = f[7];
        frame.dstPort = std::stoi(f[8]);
        frame.seq = static_cast<std::uint32_t>(std::stoul(f[9]));
        frame.timestamp = static_cast<std::uint32_t>(std::stoul(f[10]));
        frame.type = std::stoi(Split(f[11], ',')[0]);
        frame.marker = f[12] == "1" || f[12] == "True";
        frame.payloads = Split(f[13], ',');
        frame.offsets = Split(f[14], ',');
        if (!f[15].empty()) {
            frame.event = std::stoi(f[15]);
            frame.volume = std::stoi(f[16]);
            frame.end = f[17] == "1" || f[17] == "True";
            frame.duration = std::stoi(f[18]);
        }
        frames.push_back(frame);
    }
    return frames;
}

std::string Hex(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t count) {
    std::string text;
    char two[3];
    for (std::size_t i = from; i < from + count && i < bytes.size(); ++i) {
        std::snprintf(two, sizeof two, "%02x", bytes[i]);
        text += two;
    }
    return text;
}

struct Case {
    std::string name;
    std::vector<std::string> requests;
    Rtp::SessionOptions options;
    std::optional<float> dbm0;
    std::uint8_t volume;  // of every event
    std::string text;     // the real-time text
};

// The events the labels call for: each DTMF key, and the elements of each modem tone request
// together (CNG, 1100 Hz, or ANS).
std::vector<Rtp::EventSpan> ExpectedEvents(const Script::Rendering& rendering, const Case& c) {
    std::vector<Rtp::EventSpan> spans;
    std::size_t request = 0;
    for (const Script::Label& l : rendering.Labels()) {
        if (l.kind == "dtmf" && l.symbol == SymbolKind::Key && c.options.dtmfMode == Rtp::DtmfMode::Rfc4733) {
            spans.push_back({l.first, l.end, *Rtp::DtmfEventCode(l.text[0]), c.volume});
        } else if (l.kind == "modem" && l.symbol == SymbolKind::Tone && c.options.toneEvents) {
            if (!spans.empty() && spans.back().end == l.first && l.position == request) {
                spans.back().end = l.end + 1;
            } else {
                request = l.position;
                spans.push_back({l.first, l.end, static_cast<std::uint8_t>(l.hz[0] == 1100.0 ? 36 : 32), c.volume});
            }
        }
    }
    return spans;
}

Rtp::SessionOptions With(std::vector<std::pair<std::string, std::string>> values) {
    Rtp::SessionOptions options;
    options.seed = 17;
    for (const auto& [name, value] : values) Rtp::SetSessionOption(options, name, value);
    return options;
}

// Checks the audio stream's frames: the sequence numbers run on, audio packets carry the
// rendering's bytes at their timestamps and leave on the schedule, the marker only where due,
// and every event is sent as RFC 4733 says.
void CheckAudioStream(const std::vector<Rtp::EventSpan>& events, const std::vector<Frame>& frames, const Rtp::StreamPlan& plan,
                      const std::vector<std::uint8_t>& audio) {
    const std::uint32_t slot = plan.slotSamples;
    std::uint32_t expectedSeq = plan.audio.sequence;
    std::size_t audioPackets = 0;
    bool first = true;
    std::map<std::size_t, std::vector<const Frame*>> byEvent;  // by index in events
    for (const Frame& f : frames) {
        if (f.dstPort != 5004) continue;
        EXPECT_EQ(f.seq, expectedSeq++ & 0xFFFF);
        EXPECT_EQ(f.micro % (slot * 125), 0u) << "leaves on a slot";
        const std::uint32_t at = f.timestamp - plan.audio.timestamp;
        if (f.type == plan.audioFormat.type) {
            EXPECT_EQ(at * 125ull, f.micro) << "audio timestamp on its send time";
            EXPECT_EQ(f.payloads[0], Hex(audio, at, slot));
            EXPECT_EQ(f.marker, first);
            for (const Rtp::EventSpan& e : events) {
                EXPECT_TRUE(at + slot <= e.first || at >= e.end) << "audio under an event";
            }
            ++audioPackets;
        } else {
            ASSERT_EQ(f.type, plan.eventFormat.type);
            std::size_t i = 0;
            while (i < events.size() && !(at >= events[i].first && at < events[i].end)) ++i;
            ASSERT_LT(i, events.size()) << "an event packet outside every event, timestamp +" << at;
            byEvent[i].push_back(&f);
        }
        first = false;
    }
    EXPECT_GT(audioPackets, 0u);
    EXPECT_EQ(byEvent.size(), events.size()) << "every event sent";
    for (const auto& [i, packets] : byEvent) {
        SCOPED_TRACE("event " + std::to_string(i));
        const Rtp::EventSpan& e = events[i];
        std::map<std::uint32_t, std::vector<const Frame*>> segments;  // by first sample
        EXPECT_FALSE(packets.front()->end) << "an event starts without the E bit, however short";
        for (const Frame* f : packets) {
            EXPECT_EQ(f->event, e.code);
            EXPECT_EQ(f->volume, e.volume);
            EXPECT_EQ(f->marker, f == packets.front()) << "the marker on the event's first packet only";
            segments[f->timestamp - plan.audio.timestamp].push_back(f);
        }
        std::uint32_t expectedStart = e.first;
        for (const auto& [start, segment] : segments) {
            const bool last = start == segments.rbegin()->first;
            EXPECT_EQ(start, expectedStart);
            expectedStart += 0xFFFF;
            ASSERT_GE(segment.size(), 3u);
            for (std::size_t k = 0; k < segment.size(); ++k) {
                const Frame& f = *segment[k];
                const bool closing = k + 3 >= segment.size();  // the final packet, sent three times
                EXPECT_EQ(f.end, closing && last);
                if (closing) {
                    EXPECT_EQ(f.duration, last ? static_cast<int>(e.end - start) : 0xFFFF);
                } else {  // an update reaches the end of its slot (or the event's): a packet time more each time
                    EXPECT_EQ(start + f.duration, std::min<std::uint64_t>(f.micro / 125 + slot, e.end));
                    if (k > 0) {
                        EXPECT_EQ(f.duration, segment[k - 1]->duration + static_cast<int>(slot));
                    }
                }
            }
        }
    }
}

// Checks the text stream: each packet's primary block is the text that became ready since the
// one before, each redundant block a primary sent before (with its timestamp offset), every
// character three times, the marker on the first packet of each burst.
void CheckTextStream(const std::string& expected, const std::vector<Frame>& frames, const Rtp::StreamPlan& plan) {
    std::string sent;
    std::vector<std::pair<std::uint32_t, std::string>> primaries;  // timestamp, text in hex
    std::size_t copies = 0;
    for (const Frame& f : frames) {
        if (f.dstPort != 5006) continue;
        EXPECT_EQ(f.type, plan.redFormat.type);
        ASSERT_EQ(f.payloads.size(), 4u) << "two redundant blocks and the primary";
        ASSERT_EQ(f.offsets.size(), 2u);
        const std::string primary = f.payloads[3] == "<MISSING>" ? "" : f.payloads[3];
        for (int g = 1; g <= 2; ++g) {
            const std::string block = f.payloads[3 - g] == "<MISSING>" ? "" : f.payloads[3 - g];
            if (block.empty()) continue;
            ++copies;
            ASSERT_GE(primaries.size(), static_cast<std::size_t>(g));
            EXPECT_EQ(block, primaries[primaries.size() - g].second);
            EXPECT_EQ(std::stoul(f.offsets[2 - g]), f.timestamp - primaries[primaries.size() - g].first);
        }
        EXPECT_EQ(f.marker, primaries.empty() || f.timestamp - primaries.back().first > 300) << "marker after idle";
        primaries.emplace_back(f.timestamp, primary);
        sent += primary;
        copies += primary.empty() ? 0 : 1;
    }
    std::vector<std::uint8_t> bytes(expected.begin(), expected.end());
    EXPECT_EQ(sent, Hex(bytes, 0, bytes.size()));
    std::size_t nonEmpty = 0;
    for (const auto& p : primaries) nonEmpty += p.second.empty() ? 0 : 1;
    EXPECT_EQ(copies, 3 * nonEmpty) << "every primary sent three times";
}

TEST(PcapTest, TsharkReadsEverySessionAsSent) {
    VARNEL_REQUIRE_TOOL("tshark");
    const std::vector<Case> cases = {
        {"mu-law 20 ms", {"dtmf:159", "silence:110"}, With({}), {}, 0, ""},
        {"A-law 30 ms IPv6", {"set:encoding=alaw", "dtmf:0"}, With({{"ptime", "30"}, {"rtp-dst", "[::1]:5004"}}), {}, 0, ""},
        {"DTMF events 20 ms", {"dtmf:123A*#"}, With({{"dtmf-mode", "rfc4733"}}), {}, 9, ""},
        {"DTMF events 10 ms, type 96", {"silence:35", "dtmf:D09"},
         With({{"dtmf-mode", "rfc4733"}, {"ptime", "10"}, {"event-pt", "96"}}), -10.0f, 10, ""},
        {"DTMF events 60 ms", {"dtmf:7"}, With({{"dtmf-mode", "rfc4733"}, {"ptime", "60"}}), -20.0f, 20, ""},
        {"DTMF keys shorter than a packet time", {"set:dtmf-tone=10", "set:dtmf-break=15", "dtmf:123A", "silence:100"},
         With({{"dtmf-mode", "rfc2833"}}), {}, 9, ""},
        {"CNG bursts, and ANS in two segments", {"modem:cng:4000", "modem:ans:9000"}, With({{"tone-events", "1"}}), {}, 3, ""},
        {"text with redundancy", {"tty:HI 5", "silence:200", "tty:GA"}, With({{"tty-rtt", "1"}}), {}, 0, "HI 5GA"},
        {"text beside A-law at 30 ms, IPv6", {"set:encoding=alaw", "tty:OK", "silence:400", "tty:GO"},
         With({{"tty-rtt", "1"}, {"ptime", "30"}, {"rtp-dst", "[::1]:5004"}}), {}, 0, "OKGO"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Script::Requests requests = Script::ParseEach(std::vector<std::string>{"set:rate=8000", "set:encoding=ulaw"});
        const Script::Requests more = Script::ParseEach(c.requests, 3);
        requests.insert(requests.end(), more.begin(), more.end());
        Script::RenderOptions options;
        options.dbm0 = c.dbm0;
        std::vector<std::uint8_t> audio;
        {
            Script::Rendering rendering(options, requests);
            audio.resize(rendering.TotalBytes());
            for (std::size_t at = 0; at < audio.size();) at += rendering.Pull(std::span(audio).subspan(at));
        }
        Script::Rendering rendering(Rtp::RenderOptionsFor(options, c.options), requests);
        Rtp::Session session(rendering, c.options);
        ScratchDir dir;
        const std::string path = (dir.path() / "session.pcap").string();
        {
            std::ofstream file(path, std::ios::binary);
            Rtp::WritePcap(session, kStart, [&](const std::uint8_t* data, std::size_t n) {
                file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(n));
            });
        }
        const std::vector<Frame> frames = ReadWithTshark(path, c.options.eventPayloadType);
        ASSERT_EQ(frames.size(), session.Counts().Total());
        const bool ipv6 = c.options.Destination().ipv6;
        for (const Frame& f : frames) {  // what SIPp's play_pcap_audio accepts
            EXPECT_EQ(f.capLen, f.len);
            EXPECT_LE(f.udpLength, 1500);
            EXPECT_EQ(f.ethType, ipv6 ? "0x86dd" : "0x0800");
            EXPECT_EQ(f.ipVersion, ipv6 ? "6" : "4");
            EXPECT_EQ(f.ipv6Next, ipv6 ? "17" : "");
            EXPECT_EQ(f.checksum, "1") << "UDP checksum good";
        }
        CheckAudioStream(ExpectedEvents(rendering, c), frames, session.Plan(), audio);
        CheckTextStream(c.text, frames, session.Plan());
    }
}

}  // namespace
