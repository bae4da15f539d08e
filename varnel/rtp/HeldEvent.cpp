#include "varnel/rtp/HeldEvent.h"

#include <algorithm>

#include "varnel/rtp/ByteOrder.h"

namespace Quorvex::VarnelNet::Rtp {

namespace {

constexpr int kEndCopies = 3;
constexpr std::size_t kEndByte = RtpHeader::kSize + 1;  // E|R|volume
constexpr std::uint8_t kEndBit = 0x80;
constexpr std::uint8_t kMarkerBit = 0x80;

}  // namespace

void HeldEvent::Sent(const Packet& packet) {
    if (packet.stream != StreamKind::Audio) return;
    m_nextSequence = static_cast<std::uint16_t>(GetBig16(packet.bytes.data() + 2) + 1);
    if ((packet.bytes[1] & 0x7F) != m_eventPayloadType || packet.bytes.size() != kBytes) return;
    const bool end = (packet.bytes[kEndByte] & kEndBit) != 0;
    // The same final packet again: the same timestamp (bytes 4-7) and payload.
    const bool again = m_any && std::equal(packet.bytes.begin() + 4, packet.bytes.begin() + 8, m_last.begin() + 4) &&
                       std::equal(packet.bytes.begin() + RtpHeader::kSize, packet.bytes.end(), m_last.begin() + RtpHeader::kSize);
    m_endsSent = !end ? 0 : again ? m_endsSent + 1 : 1;
    std::copy(packet.bytes.begin(), packet.bytes.end(), m_last.begin());
    m_any = true;
}

void HeldEvent::End(const std::function<void(std::span<const std::uint8_t>)>& send) {
    if (!m_any) return;
    std::array<std::uint8_t, kBytes> packet = m_last;
    packet[1] &= static_cast<std::uint8_t>(~kMarkerBit);
    packet[kEndByte] |= kEndBit;
    for (; m_endsSent < kEndCopies; ++m_endsSent) {
        PutBig16(packet.data() + 2, m_nextSequence++);
        send(packet);
    }
}

}  // namespace Quorvex::VarnelNet::Rtp
