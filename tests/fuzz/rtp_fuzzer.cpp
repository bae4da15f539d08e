// RTP sessions: the options in their own words, the requests, and event spans and text
// characters given as they are (without them, those the rendering's labels call for). What the options accept is sent within a budget, and the
// packets are checked as they come out: RTP version 2, sequence numbers running on in each
// stream, datagrams within 1500 bytes, every packet a whole record of the pcap written, the
// session description of what was sent.
//
//   option dtmf-mode rfc4733     (any option of the tool's RTP table, by name and value)
//   request dtmf:123             (a request of the language)
//   event 0 640 1 10             (first sample, end, code, volume)
//   char 2000 H                  (ready sample, text)

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "FuzzScript.h"
#include "varnel/rtp/Session.h"
#include "varnel/script/Parser.h"
#include "varnel/script/RequestError.h"

namespace {

using namespace Quorvex::VarnelNet;

constexpr std::size_t kMaxCommands = 64;
constexpr std::uint64_t kMaxSamples = 1 << 20;

std::uint32_t Little32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 | std::uint32_t{b[at + 3]} << 24;
}

// Follows the pcap's records and the RTP packets in them.
void CheckPcap(const std::vector<std::uint8_t>& pcap, std::uint64_t packets) {
    Fuzz::Require(pcap.size() >= 24, "a pcap without its header");
    std::map<std::uint32_t, std::uint16_t> sequences;  // the last one of each SSRC
    std::size_t at = 24;
    std::uint64_t records = 0;
    while (at < pcap.size()) {
        Fuzz::Require(pcap.size() - at >= 16, "a cut record header");
        const std::uint32_t caplen = Little32(pcap, at + 8);
        Fuzz::Require(caplen == Little32(pcap, at + 12) && caplen <= 14 + 1500 && pcap.size() - at - 16 >= caplen,
                      "a record of the wrong length");
        const std::size_t ip = at + 16 + 14;
        const std::size_t rtp = ip + (pcap[ip] >> 4 == 6 ? 40 : 20) + 8;
        Fuzz::Require(pcap[rtp] == 0x80, "an RTP packet that is not version 2");
        const auto sequence = static_cast<std::uint16_t>(pcap[rtp + 2] << 8 | pcap[rtp + 3]);
        const std::uint32_t ssrc = std::uint32_t{pcap[rtp + 8]} << 24 | std::uint32_t{pcap[rtp + 9]} << 16 |
                                   std::uint32_t{pcap[rtp + 10]} << 8 | std::uint32_t{pcap[rtp + 11]};
        if (const auto last = sequences.find(ssrc); last != sequences.end()) {
            Fuzz::Require(sequence == static_cast<std::uint16_t>(last->second + 1), "sequence numbers that do not run on");
        }
        sequences[ssrc] = sequence;
        at += 16 + caplen;
        ++records;
    }
    Fuzz::Require(records == packets, "a pcap with another number of records than packets sent");
}

// Without events or text given, they come from the rendering's labels as the options ask.
void Send(const Script::Requests& requests, const Rtp::SessionOptions& options, const std::vector<Rtp::EventSpan>& events,
          const std::vector<Rtp::TextCharacter>& text) {
    const bool given = !events.empty() || !text.empty();
    Script::Rendering rendering(given ? Script::RenderOptions{} : Rtp::RenderOptionsFor({}, options), requests);
    if (rendering.TotalBytes() > kMaxSamples) return;
    Rtp::Session session = given ? Rtp::Session(rendering, options, events, text) : Rtp::Session(rendering, options);
    std::vector<std::uint8_t> pcap;
    Rtp::WritePcap(session, options.pcapStartMicroseconds.value_or(0),
                   [&](const std::uint8_t* data, std::size_t n) { pcap.insert(pcap.end(), data, data + n); });
    CheckPcap(pcap, session.Counts().Total());
    Rtp::ShortKeyWarning(rendering, options);
    Fuzz::Require(!session.Description(options.Destination()).empty(), "an empty session description");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Rtp::SessionOptions options;
    std::vector<std::string> texts = {"set:rate=8000", "set:encoding=ulaw"};
    std::vector<Rtp::EventSpan> events;
    std::vector<Rtp::TextCharacter> text;
    for (const Fuzz::Command& c : Fuzz::ParseScript(std::string_view(reinterpret_cast<const char*>(data), size), kMaxCommands)) {
        if (c.word == "option") {
            try {
                Rtp::SetSessionOption(options, Fuzz::Field(c.args, 0), Fuzz::Rest(c.args, 1));
            } catch (const Script::RequestError& e) {
                Fuzz::Require(!e.Reason().empty(), "a refusal without its reason");
            }
        } else if (c.word == "request") {
            texts.push_back(Fuzz::Bytes(c.args));
        } else if (c.word == "event") {
            events.push_back({Fuzz::UInt32(Fuzz::Field(c.args, 0)), Fuzz::UInt32(Fuzz::Field(c.args, 1)),
                              static_cast<std::uint8_t>(Fuzz::UInt32(Fuzz::Field(c.args, 2))),
                              static_cast<std::uint8_t>(Fuzz::UInt32(Fuzz::Field(c.args, 3)))});
        } else if (c.word == "char") {
            text.push_back({Fuzz::UInt32(Fuzz::Field(c.args, 0)), Fuzz::Bytes(Fuzz::Rest(c.args, 1))});
        }
    }
    try {
        const Script::Requests requests = Script::ParseEach(texts);
        for (const Script::Entry& entry : requests) {
            if (std::holds_alternative<Script::TtyFile>(entry.request)) return 0;  // it would read a file
        }
        Send(requests, options, events, text);
    } catch (const Script::RequestError& e) {
        Fuzz::Require(!e.Reason().empty(), "a refusal without its reason");
    }
    return 0;
}
