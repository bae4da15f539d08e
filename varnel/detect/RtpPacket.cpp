#include "varnel/detect/RtpPacket.h"

#include "varnel/rtp/ByteOrder.h"
#include "varnel/rtp/PayloadFormat.h"
#include "varnel/rtp/RtpHeader.h"

namespace Quorvex::VarnelNet::Detect {

std::optional<RtpPacket> ReadRtp(std::span<const std::uint8_t> rtp) {
    if (rtp.size() < Rtp::RtpHeader::kSize || rtp[0] >> 6 != 2) return std::nullopt;
    if (rtp[1] >= 200 && rtp[1] <= 207) return std::nullopt;  // RTCP: sender and receiver reports and the rest
    std::size_t header = Rtp::RtpHeader::kSize + (rtp[0] & 0x0F) * 4u;
    if ((rtp[0] & 0x10) != 0) {
        if (rtp.size() < header + 4) return std::nullopt;
        header += 4 + Rtp::GetBig16(&rtp[header + 2]) * 4u;
    }
    std::size_t end = rtp.size();
    if ((rtp[0] & 0x20) != 0 && end > 0) end = rtp[end - 1] <= end ? end - rtp[end - 1] : 0;
    if (end < header) return std::nullopt;
    RtpPacket packet;
    packet.marker = (rtp[1] & 0x80) != 0;
    packet.payloadType = rtp[1] & 0x7F;
    packet.sequence = Rtp::GetBig16(&rtp[2]);
    packet.timestamp = Rtp::GetBig32(&rtp[4]);
    packet.ssrc = Rtp::GetBig32(&rtp[8]);
    packet.payload = rtp.subspan(header, end - header);
    return packet;
}

bool IsAudio(const RtpPacket& packet) { return packet.payloadType == Rtp::kPcmu.type || packet.payloadType == Rtp::kPcma.type; }

bool IsTelephoneEvent(const RtpPacket& packet) { return packet.payloadType >= 96 && packet.payload.size() == 4; }

}  // namespace Quorvex::VarnelNet::Detect
