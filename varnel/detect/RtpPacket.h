#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace Quorvex::VarnelNet::Detect {

// An RTP packet as a UDP datagram carries it: its fixed header's fields and its payload,
// contributing sources, a header extension and padding taken off.
struct RtpPacket {
    bool marker = false;
    std::uint8_t payloadType = 0;
    std::uint16_t sequence = 0;
    std::uint32_t timestamp = 0;
    std::uint32_t ssrc = 0;
    std::span<const std::uint8_t> payload;
};

// The packet the datagram holds; nothing for one that is not RTP version 2, is RTCP (payload
// types 200 to 207 with the marker bit) or is cut short.
std::optional<RtpPacket> ReadRtp(std::span<const std::uint8_t> datagram);

// Whether the packet's payload is G.711 audio (PCMU or PCMA) or, on a dynamic payload type with
// the four bytes of one, a telephone event.
bool IsAudio(const RtpPacket& packet);
bool IsTelephoneEvent(const RtpPacket& packet);

}  // namespace Quorvex::VarnelNet::Detect
