#include "varnel/rtp/RtpHeader.h"

#include "varnel/rtp/ByteOrder.h"

namespace Quorvex::VarnelNet::Rtp {

void RtpHeader::Write(std::uint8_t* at) const {
    at[0] = 0x80;  // version 2
    at[1] = static_cast<std::uint8_t>((marker ? 0x80 : 0x00) | (payloadType & 0x7F));
    PutBig16(at + 2, sequence);
    PutBig32(at + 4, timestamp);
    PutBig32(at + 8, ssrc);
}

}  // namespace Quorvex::VarnelNet::Rtp
