#include "varnel/rtp/SessionOptions.h"

#include <algorithm>
#include <array>
#include <limits>

#include "varnel/options/Refusal.h"
#include "varnel/options/ValueReaders.h"
#include "varnel/platform/PrintableText.h"
#include "varnel/script/RequestError.h"

// The rows name the members they set and leave the others at their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace Quorvex::VarnelNet::Rtp {

namespace {

using Row = Option::OptionRow;
using Option::Kind;
using Option::Target;

constexpr std::uint16_t kDefaultSourcePort = 40000;
constexpr std::uint16_t kDefaultDestinationPort = 5004;

void SetPayloadType(std::uint8_t& type, const Row& row, std::string_view value) {
    const std::optional<std::uint64_t> audio = Option::ReadWhole(value, 0, 8);
    if (audio && (*audio == 0 || *audio == 8)) {
        Option::Refuse(row.name, value, std::string("is the audio's payload type (") + (*audio == 0 ? "PCMU" : "PCMA") +
                                             "): give a dynamic type from 96 to 127");
    }
    type = static_cast<std::uint8_t>(Option::WholeOf(row, value));
}

void SetDtmfMode(SessionOptions& options, const Row& row, std::string_view value) {
    constexpr std::array<std::string_view, 3> kModes = {"inband", "rfc4733", "rfc2833"};
    const std::optional<std::size_t> mode = Option::ReadKeyword(value, kModes);
    if (!mode) Option::Refuse(row.name, value, "is not inband or rfc4733");
    options.dtmfMode = *mode == 0 ? DtmfMode::Inband : DtmfMode::Rfc4733;
}

void SetPcapStart(SessionOptions& options, const Row& row, std::string_view value) {
    if (value == "now") {
        options.pcapStartMicroseconds.reset();
        return;
    }
    options.pcapStartMicroseconds = Option::ReadTime(value);
    if (!options.pcapStartMicroseconds) {
        Option::Refuse(row.name, value,
                        "is not a time from 1970 to 2106 as YYYY-MM-DDTHH:MM:SS[.ffffff]Z (UTC) or seconds since 1970");
    }
}

constexpr Row PayloadTypeRow(std::string_view name, std::string_view fallback, std::string_view help) {
    return {.name = name, .target = Target::Session, .kind = Kind::Whole, .placeholder = "PT",
            .noun = "a dynamic payload type", .least = 96, .most = 127, .fallback = fallback, .help = help};
}

constexpr std::array<Option::AppliedRow<SessionOptions>, 11> kRows = {{
    {{.name = "ptime", .target = Target::Session, .kind = Kind::Whole, .placeholder = "MS",
      .noun = "a whole number of milliseconds", .least = 10, .most = 60, .fallback = "20",
      .help = "packet time, 10 to 60 ms (default 20)"},
     [](SessionOptions& o, const Row& row, std::string_view v) { o.ptimeMs = static_cast<std::uint32_t>(Option::WholeOf(row, v)); }},
    {{.name = "dtmf-mode", .target = Target::Session, .kind = Kind::Keyword, .placeholder = "inband|rfc4733|rfc2833",
      .fallback = "inband", .words = "inband rfc4733 rfc2833",
      .help = "inband: DTMF keys in the audio (default); rfc4733 (or its older name rfc2833): each key as telephone "
              "events, in place of its audio"},
     SetDtmfMode},
    {{.name = "tone-events", .target = Target::Session, .kind = Kind::Flag,
      .help = "modem and fax tones as RFC 4734 events, in place of their audio"},
     [](SessionOptions& o, const Row& row, std::string_view v) { o.toneEvents = Option::FlagOf(row, v); }},
    {PayloadTypeRow("event-pt", "101", "payload type of the telephone events, 96 to 127 (default 101)"),
     [](SessionOptions& o, const Row& row, std::string_view v) { SetPayloadType(o.eventPayloadType, row, v); }},
    {{.name = "tty-rtt", .target = Target::Session, .kind = Kind::Flag,
      .help = "TTY text also as real-time text (T.140 with two generations of redundancy) in a second stream"},
     [](SessionOptions& o, const Row& row, std::string_view v) { o.ttyRtt = Option::FlagOf(row, v); }},
    {PayloadTypeRow("t140-pt", "98", "payload type of the T.140 text, 96 to 127 (default 98)"),
     [](SessionOptions& o, const Row& row, std::string_view v) { SetPayloadType(o.t140PayloadType, row, v); }},
    {PayloadTypeRow("red-pt", "100", "payload type of the redundant text, 96 to 127 (default 100)"),
     [](SessionOptions& o, const Row& row, std::string_view v) { SetPayloadType(o.redPayloadType, row, v); }},
    {{.name = "seed", .target = Target::Session, .kind = Kind::Whole, .placeholder = "N", .noun = "a whole number",
      .most = std::numeric_limits<std::uint64_t>::max(),
      .help = "SSRCs, first sequence numbers and timestamps from N (0 to 2^64-1) instead of at random"},
     [](SessionOptions& o, const Row& row, std::string_view v) { o.seed = Option::WholeOf(row, v); }},
    {{.name = "pcap-start", .target = Target::Session, .kind = Kind::Time, .placeholder = "TIME", .fallback = "now",
      .help = "time of the first packet in a pcap: YYYY-MM-DDTHH:MM:SS[.ffffff]Z, seconds since 1970, or now (the "
              "default)"},
     SetPcapStart},
    {{.name = "rtp-src", .target = Target::Session, .kind = Kind::Address, .placeholder = "ADDR:PORT",
      .fallback = "127.0.0.1:40000",
      .help = "source of the audio in a pcap, bound by a live send (default 127.0.0.1:40000)"},
     [](SessionOptions& o, const Row& row, std::string_view v) { o.source = ParseEndpoint(v, row.name); }},
    {{.name = "rtp-dst", .target = Target::Session, .kind = Kind::Address, .placeholder = "ADDR:PORT",
      .fallback = "127.0.0.1:5004", .help = "destination of the audio in a pcap and an SDP (default 127.0.0.1:5004)"},
     [](SessionOptions& o, const Row& row, std::string_view v) { o.destination = ParseEndpoint(v, row.name); }},
}};

}  // namespace

Endpoint SessionOptions::Source() const {
    if (source) return *source;
    const bool ipv6 = destination && destination->ipv6;
    return ParseEndpoint(ipv6 ? "[::1]:" + std::to_string(kDefaultSourcePort) : "127.0.0.1:" + std::to_string(kDefaultSourcePort),
                         "rtp-src");
}

Endpoint SessionOptions::Destination() const {
    if (destination) return *destination;
    const bool ipv6 = source && source->ipv6;
    return ParseEndpoint(ipv6 ? "[::1]:" + std::to_string(kDefaultDestinationPort)
                              : "127.0.0.1:" + std::to_string(kDefaultDestinationPort),
                         "rtp-dst");
}

std::span<const Option::AppliedRow<SessionOptions>> SessionOptionRows() { return kRows; }

const Option::AppliedRow<SessionOptions>* FindSessionOption(std::string_view name) {
    const auto found = std::find_if(kRows.begin(), kRows.end(), [&](const auto& r) { return r.row.name == name; });
    return found == kRows.end() ? nullptr : &*found;
}

void SetSessionOption(SessionOptions& options, std::string_view name, std::string_view value) {
    const Option::AppliedRow<SessionOptions>* found = FindSessionOption(name);
    if (!found) throw Script::RequestError("unknown RTP option '" + Printable(name) + "'");
    found->apply(options, found->row, value);
}

std::optional<Option::Refusal> CheckSessionOptions(const SessionOptions& options) {
    const auto both = [](std::string_view a, std::string_view b, std::uint8_t type) {
        std::string reason(1, '{');
        reason.append(a).append("} and {").append(b).append("} are both ").append(std::to_string(type));
        return Option::Together(std::move(reason));
    };
    if (options.SendsEvents() && options.ttyRtt) {
        if (options.eventPayloadType == options.t140PayloadType) return both("event-pt", "t140-pt", options.eventPayloadType);
        if (options.eventPayloadType == options.redPayloadType) return both("event-pt", "red-pt", options.eventPayloadType);
    }
    if (options.ttyRtt && options.t140PayloadType == options.redPayloadType) return both("t140-pt", "red-pt", options.t140PayloadType);
    if (options.source && options.destination && options.source->ipv6 != options.destination->ipv6) {
        return Option::Together("{rtp-src} " + options.source->Text() + " and {rtp-dst} " + options.destination->Text() +
                                " are of different address families: give two IPv4 or two IPv6 addresses");
    }
    if (options.ttyRtt && (options.Source().port > 65533 || options.Destination().port > 65533)) {
        return Option::Together("{tty-rtt} sends the text on the ports 2 above the audio's: the audio's ports must be 65533 or below");
    }
    return std::nullopt;
}

}  // namespace Quorvex::VarnelNet::Rtp
