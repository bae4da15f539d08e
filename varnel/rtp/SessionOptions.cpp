#include "varnel/rtp/SessionOptions.h"

#include <algorithm>
#include <array>
#include <ctime>

#include "varnel/platform/PrintableText.h"
#include "varnel/script/RequestError.h"

namespace Quorvex::VarnelNet::Rtp {

namespace {

constexpr std::array<SessionOptionSpec, 11> kSpecs = {{
    {"ptime", "MS", "", "packet time, 10 to 60 ms (default 20)"},
    {"dtmf-mode", "inband|rfc4733|rfc2833", "inband rfc4733 rfc2833",
     "inband: DTMF keys in the audio (default); rfc4733 (or its older name rfc2833): each key as telephone events, in "
     "place of its audio"},
    {"tone-events", "", "", "modem and fax tones as RFC 4734 events, in place of their audio"},
    {"event-pt", "PT", "", "payload type of the telephone events, 96 to 127 (default 101)"},
    {"tty-rtt", "", "", "TTY text also as real-time text (T.140 with two generations of redundancy) in a second stream"},
    {"t140-pt", "PT", "", "payload type of the T.140 text, 96 to 127 (default 98)"},
    {"red-pt", "PT", "", "payload type of the redundant text, 96 to 127 (default 100)"},
    {"seed", "N", "", "SSRCs, first sequence numbers and timestamps from N (0 to 2^64-1) instead of at random"},
    {"pcap-start", "TIME", "", "time of the first packet in a pcap: YYYY-MM-DDTHH:MM:SS[.ffffff]Z, seconds since 1970, or now (the default)"},
    {"rtp-src", "ADDR:PORT", "", "source of the audio in a pcap, bound by a live send (default 127.0.0.1:40000)"},
    {"rtp-dst", "ADDR:PORT", "", "destination of the audio in a pcap and an SDP (default 127.0.0.1:5004)"},
}};

constexpr std::uint32_t kShortestPtime = 10;
constexpr std::uint32_t kLongestPtime = 60;
constexpr int kFirstDynamicType = 96;
constexpr int kLastDynamicType = 127;
constexpr std::uint16_t kDefaultSourcePort = 40000;
constexpr std::uint16_t kDefaultDestinationPort = 5004;
constexpr std::uint64_t kLastSecond = 0xFFFFFFFFULL;  // pcap time stamps hold 32-bit seconds

[[noreturn]] void Refuse(std::string_view name, std::string_view value, const std::string& reason) {
    throw Script::RequestError("--" + std::string(name) + ": '" + Printable(value) + "' " + reason);
}

// A whole number of up to `digits` decimal digits, or nothing.
std::optional<std::uint64_t> ReadWhole(std::string_view text, std::size_t digits = 19) {
    if (text.empty() || text.size() > digits || text.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) value = value * 10 + static_cast<std::uint64_t>(c - '0');
    return value;
}

// A seed: any 64-bit value; 20 digits may overflow, so they are checked against 2^64 - 1.
std::optional<std::uint64_t> ReadSeed(std::string_view text) {
    if (text.size() < 20) return ReadWhole(text);
    if (text.size() > 20 || text.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
    if (text > std::string_view("18446744073709551615")) return std::nullopt;
    const std::uint64_t head = *ReadWhole(text.substr(0, 19));
    return head * 10 + static_cast<std::uint64_t>(text[19] - '0');
}

std::uint8_t ReadPayloadType(std::string_view name, std::string_view value) {
    const std::optional<std::uint64_t> type = ReadWhole(value, 3);
    if (type && (*type == 0 || *type == 8)) {
        Refuse(name, value, std::string("is the audio's payload type (") + (*type == 0 ? "PCMU" : "PCMA") +
                                "): give a dynamic type from 96 to 127");
    }
    if (!type || *type < kFirstDynamicType || *type > kLastDynamicType) {
        Refuse(name, value, "is not a dynamic payload type from 96 to 127");
    }
    return static_cast<std::uint8_t>(*type);
}

bool ReadFlag(std::string_view name, std::string_view value) {
    if (value == "1") return true;
    if (value == "0") return false;
    Refuse(name, value, "is not 1 or 0");
}

// Microseconds of a fraction of a second written after the point, up to six digits.
std::optional<std::uint64_t> ReadFraction(std::string_view digits) {
    if (digits.empty() || digits.size() > 6) return std::nullopt;
    std::optional<std::uint64_t> value = ReadWhole(digits);
    if (!value) return std::nullopt;
    for (std::size_t i = digits.size(); i < 6; ++i) *value *= 10;
    return value;
}

std::optional<std::uint64_t> ReadUtcTime(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SS[.f]Z
    if (text.size() < 20 || text.back() != 'Z' || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':') {
        return std::nullopt;
    }
    const auto year = ReadWhole(text.substr(0, 4), 4), month = ReadWhole(text.substr(5, 2), 2),
               day = ReadWhole(text.substr(8, 2), 2), hour = ReadWhole(text.substr(11, 2), 2),
               minute = ReadWhole(text.substr(14, 2), 2), second = ReadWhole(text.substr(17, 2), 2);
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    std::uint64_t micro = 0;
    const std::string_view rest = text.substr(19, text.size() - 20);
    if (!rest.empty()) {
        if (rest.front() != '.') return std::nullopt;
        const std::optional<std::uint64_t> fraction = ReadFraction(rest.substr(1));
        if (!fraction) return std::nullopt;
        micro = *fraction;
    }
    if (*year < 1970 || *month < 1 || *month > 12 || *day < 1 || *hour > 23 || *minute > 59 || *second > 59) return std::nullopt;
    std::tm tm{};
    tm.tm_year = static_cast<int>(*year) - 1900;
    tm.tm_mon = static_cast<int>(*month) - 1;
    tm.tm_mday = static_cast<int>(*day);
    tm.tm_hour = static_cast<int>(*hour);
    tm.tm_min = static_cast<int>(*minute);
    tm.tm_sec = static_cast<int>(*second);
    const std::time_t seconds = ::timegm(&tm);
    if (seconds < 0 || tm.tm_mday != static_cast<int>(*day)) return std::nullopt;  // 02-30 rolls over into March
    return static_cast<std::uint64_t>(seconds) * 1000000 + micro;
}

std::optional<std::uint64_t> ReadEpochSeconds(std::string_view text) {
    const std::size_t point = text.find('.');
    const std::optional<std::uint64_t> seconds = ReadWhole(text.substr(0, point), 10);
    if (!seconds) return std::nullopt;
    std::uint64_t micro = 0;
    if (point != std::string_view::npos) {
        const std::optional<std::uint64_t> fraction = ReadFraction(text.substr(point + 1));
        if (!fraction) return std::nullopt;
        micro = *fraction;
    }
    return *seconds * 1000000 + micro;
}

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

std::span<const SessionOptionSpec> SessionOptionSpecs() { return kSpecs; }

const SessionOptionSpec* FindSessionOption(std::string_view name) {
    const auto found = std::find_if(kSpecs.begin(), kSpecs.end(), [&](const SessionOptionSpec& s) { return s.name == name; });
    return found == kSpecs.end() ? nullptr : &*found;
}

std::uint64_t ParsePcapStart(std::string_view text) {
    std::optional<std::uint64_t> micro = text.find('T') != std::string_view::npos ? ReadUtcTime(text) : ReadEpochSeconds(text);
    if (!micro || *micro / 1000000 > kLastSecond) {
        Refuse("pcap-start", text, "is not a time from 1970 to 2106 as YYYY-MM-DDTHH:MM:SS[.ffffff]Z (UTC) or seconds since 1970");
    }
    return *micro;
}

void SetSessionOption(SessionOptions& options, std::string_view name, std::string_view value) {
    if (name == "ptime") {
        const std::optional<std::uint64_t> ms = ReadWhole(value, 3);
        if (!ms || *ms < kShortestPtime || *ms > kLongestPtime) Refuse(name, value, "is not a whole number of milliseconds from 10 to 60");
        options.ptimeMs = static_cast<std::uint32_t>(*ms);
    } else if (name == "dtmf-mode") {
        if (value == "inband") {
            options.dtmfMode = DtmfMode::Inband;
        } else if (value == "rfc4733" || value == "rfc2833") {
            options.dtmfMode = DtmfMode::Rfc4733;
        } else {
            Refuse(name, value, "is not inband or rfc4733");
        }
    } else if (name == "tone-events") {
        options.toneEvents = ReadFlag(name, value);
    } else if (name == "tty-rtt") {
        options.ttyRtt = ReadFlag(name, value);
    } else if (name == "event-pt") {
        options.eventPayloadType = ReadPayloadType(name, value);
    } else if (name == "t140-pt") {
        options.t140PayloadType = ReadPayloadType(name, value);
    } else if (name == "red-pt") {
        options.redPayloadType = ReadPayloadType(name, value);
    } else if (name == "seed") {
        const std::optional<std::uint64_t> seed = ReadSeed(value);
        if (!seed) Refuse(name, value, "is not a whole number from 0 to 18446744073709551615");
        options.seed = seed;
    } else if (name == "pcap-start") {
        options.pcapStartMicroseconds =
            value == "now" ? std::nullopt : std::optional<std::uint64_t>(ParsePcapStart(value));
    } else if (name == "rtp-src") {
        options.source = ParseEndpoint(value, name);
    } else if (name == "rtp-dst") {
        options.destination = ParseEndpoint(value, name);
    } else {
        throw Script::RequestError("unknown RTP option '" + Printable(name) + "'");
    }
}

std::string CheckSessionOptions(const SessionOptions& options) {
    const auto same = [](std::uint8_t a, std::uint8_t b) { return a == b; };
    if (options.SendsEvents() && options.ttyRtt) {
        if (same(options.eventPayloadType, options.t140PayloadType)) return "--event-pt and --t140-pt are both " + std::to_string(options.eventPayloadType);
        if (same(options.eventPayloadType, options.redPayloadType)) return "--event-pt and --red-pt are both " + std::to_string(options.eventPayloadType);
    }
    if (options.ttyRtt && same(options.t140PayloadType, options.redPayloadType)) {
        return "--t140-pt and --red-pt are both " + std::to_string(options.t140PayloadType);
    }
    if (options.source && options.destination && options.source->ipv6 != options.destination->ipv6) {
        return "--rtp-src " + options.source->Text() + " and --rtp-dst " + options.destination->Text() +
               " are of different address families: give two IPv4 or two IPv6 addresses";
    }
    if (options.ttyRtt && (options.Source().port > 65533 || options.Destination().port > 65533)) {
        return "--tty-rtt sends the text on the ports 2 above the audio's: the audio's ports must be 65533 or below";
    }
    return "";
}

}  // namespace Quorvex::VarnelNet::Rtp
