#include "varnel/rtp/SessionDescription.h"

namespace Quorvex::VarnelNet::Rtp {

namespace {

std::string AddressLine(const Endpoint& endpoint) {
    return std::string(endpoint.ipv6 ? "IN IP6 " : "IN IP4 ") + endpoint.AddressText();
}

}  // namespace

std::string SessionDescription(const SessionOptions& options, std::uint8_t audioPayloadType, const Endpoint& source,
                               const Endpoint& destination, std::uint32_t sessionId) {
    const std::string audio = std::to_string(audioPayloadType);
    const std::string events = std::to_string(options.eventPayloadType);
    std::string sdp = "v=0\r\n";
    sdp += "o=- " + std::to_string(sessionId) + " 1 " + AddressLine(source) + "\r\n";
    sdp += "s=varnel\r\n";
    sdp += "c=" + AddressLine(destination) + "\r\n";
    sdp += "t=0 0\r\n";
    sdp += "m=audio " + std::to_string(destination.port) + " RTP/AVP " + audio + (options.SendsEvents() ? " " + events : "") + "\r\n";
    sdp += "a=rtpmap:" + audio + (audioPayloadType == 0 ? " PCMU/8000\r\n" : " PCMA/8000\r\n");
    if (options.SendsEvents()) {
        std::string codes;
        if (options.dtmfMode == DtmfMode::Rfc4733) codes = "0-15";
        if (options.toneEvents) codes += codes.empty() ? "32-36" : ",32-36";
        sdp += "a=rtpmap:" + events + " telephone-event/8000\r\n";
        sdp += "a=fmtp:" + events + " " + codes + "\r\n";
    }
    sdp += "a=ptime:" + std::to_string(options.ptimeMs) + "\r\n";
    if (options.ttyRtt) {
        const std::string t140 = std::to_string(options.t140PayloadType);
        const std::string red = std::to_string(options.redPayloadType);
        sdp += "m=text " + std::to_string(destination.port + 2) + " RTP/AVP " + red + " " + t140 + "\r\n";
        sdp += "a=rtpmap:" + t140 + " t140/1000\r\n";
        sdp += "a=rtpmap:" + red + " red/1000\r\n";
        sdp += "a=fmtp:" + red + " " + t140 + "/" + t140 + "/" + t140 + "\r\n";
    }
    return sdp;
}

}  // namespace Quorvex::VarnelNet::Rtp
