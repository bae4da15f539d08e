#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "varnel/options/OptionRow.h"
#include "varnel/options/Refusal.h"
#include "varnel/rtp/Endpoint.h"

namespace Quorvex::VarnelNet::Rtp {

// How DTMF keys travel: in the audio, or as telephone events (RFC 4733) that replace it.
enum class DtmfMode : std::uint8_t { Inband, Rfc4733 };

// Everything a session is asked for besides the audio, with the defaults of the tool.
struct SessionOptions {
    std::uint32_t ptimeMs = 20;
    DtmfMode dtmfMode = DtmfMode::Inband;
    bool toneEvents = false;  // modem and fax tones as RFC 4734 events
    bool ttyRtt = false;      // TTY requests also as real-time text (RFC 4103) in a second stream
    std::uint8_t eventPayloadType = 101;
    std::uint8_t t140PayloadType = 98;
    std::uint8_t redPayloadType = 100;
    std::optional<std::uint64_t> seed;                // SSRCs, sequence numbers, timestamps
    std::optional<std::uint64_t> pcapStartMicroseconds;  // since 1970; none: now
    std::optional<Endpoint> source;       // the pcap's source; a live send binds to it
    std::optional<Endpoint> destination;  // the pcap's destination and the SDP's

    bool SendsEvents() const { return dtmfMode == DtmfMode::Rfc4733 || toneEvents; }
    // Whether the events or the text come from the rendering's labels.
    bool NeedsLabels() const { return SendsEvents() || ttyRtt; }
    // The source and destination of the audio in a pcap: as given, else 127.0.0.1 (or ::1 beside
    // an IPv6 address) port 40000 and port 5004. The text stream uses the ports 2 above.
    Endpoint Source() const;
    Endpoint Destination() const;
    bool operator==(const SessionOptions&) const = default;
};

// The options of a session, as the tool names them (--NAME VALUE, or --NAME alone for a flag):
// rows of the option registry (varnel/options/OptionRegistry.h), each with what reads its value
// in; Python takes the same names with '_' for '-'.
std::span<const Option::AppliedRow<SessionOptions>> SessionOptionRows();
const Option::AppliedRow<SessionOptions>* FindSessionOption(std::string_view name);

// Sets the option `name` from its text (for a flag: "1" or "0"). Throws Option::OptionRefused
// for a value it does not take ("ptime: '70' is not a whole number of milliseconds from 10 to
// 60"), RequestError for a name that is not one of them.
void SetSessionOption(SessionOptions& options, std::string_view name, std::string_view value);

// Why the options do not go together (two streams with one payload type, a source and a
// destination of different address families): a refusal of options together, or nothing.
std::optional<Option::Refusal> CheckSessionOptions(const SessionOptions& options);

}  // namespace Quorvex::VarnelNet::Rtp
