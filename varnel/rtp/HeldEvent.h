#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>

#include "varnel/rtp/PacketStream.h"

namespace Quorvex::VarnelNet::Rtp {

// The telephone event a receiver last heard from a live send, followed packet by packet as they
// go, so that a send stopped early ends it as RFC 4733 ends an event: a key whose last packet
// went without the E bit is still held down at the receiver, and one whose final packet went
// fewer than three times may not have ended there.
class HeldEvent {
public:
    explicit HeldEvent(std::uint8_t eventPayloadType) : m_eventPayloadType(eventPayloadType) {}

    // A packet the system took.
    void Sent(const Packet& packet);

    // Gives send the packets still due to end the event: its last packet with the E bit, up to
    // three in all, without the marker, on the sequence numbers after the last one sent. None
    // when no event went, or its end went three times.
    void End(const std::function<void(std::span<const std::uint8_t>)>& send);

private:
    static constexpr std::size_t kBytes = RtpHeader::kSize + 4;

    std::uint8_t m_eventPayloadType;
    std::array<std::uint8_t, kBytes> m_last{};  // the last event packet sent
    bool m_any = false;
    int m_endsSent = 0;  // how many times it went with the E bit
    std::uint16_t m_nextSequence = 0;
};

}  // namespace Quorvex::VarnelNet::Rtp
