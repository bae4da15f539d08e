#pragma once

#include <cstdint>
#include <string>

#include "varnel/rtp/PacketStream.h"
#include "varnel/rtp/SessionOptions.h"

namespace Quorvex::VarnelNet::Rtp {

// The session description (SDP, RFC 4566) a receiver reads to take the streams: ffmpeg
// (-protocol_whitelist file,udp,rtp -i FILE), GStreamer (sdpdemux) and VLC. It describes what
// the session sends to `destination` in the plan's formats: the audio (with the packet time;
// the telephone events when they are sent, with the codes they use, 0-15 for DTMF and 32-36
// for the modem tones) and, with --tty-rtt, the text stream on the port 2 above (T.140 with
// two generations of redundancy). sessionId is the o= line's session id.
std::string SessionDescription(const SessionOptions& options, const StreamPlan& plan, const Endpoint& source,
                               const Endpoint& destination, std::uint32_t sessionId);

}  // namespace Quorvex::VarnelNet::Rtp
