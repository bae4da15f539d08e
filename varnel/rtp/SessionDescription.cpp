#include "varnel/rtp/SessionDescription.h"

namespace Quorvex::VarnelNet::Rtp {

namespace {

std::string AddressLine(const Endpoint& endpoint) {
    return std::string(endpoint.ipv6 ? "IN IP6 " : "IN IP4 ") + endpoint.AddressText();
}

std::string RtpmapLine(const PayloadFormat& format) {
    return "a=rtpmap:" + std::to_string(format.type) + " " + format.Rtpmap() + "\r\n";
}

}  // namespace

std::string SessionDescription(const SessionOptions& options, const StreamPlan& plan, const Endpoint& source,
                               const Endpoint& destination, std::uint32_t sessionId) {
    const std::string audio = std::to_string(plan.audioFormat.type);
    const std::string events = std::to_string(plan.eventFormat.type);
    std::string sdp = "v=0\r\n";
    sdp += "o=- " + std::to_string(sessionId) + " 1 " + AddressLine(source) + "\r\n";
    sdp += "s=varnel\r\n";
    sdp += "c=" + AddressLine(destination) + "\r\n";
    sdp += "t=0 0\r\n";
    sdp += "m=audio " + std::to_string(destination.port) + " RTP/AVP " + audio + (options.SendsEvents() ? " " + events : "") + "\r\n";
    sdp += RtpmapLine(plan.audioFormat);
    if (options.SendsEvents()) {
        std::string codes;
        if (options.dtmfMode == DtmfMode::Rfc4733) codes = "0-15";
        if (options.toneEvents) codes += codes.empty() ? "32-36" : ",32-36";
        sdp += RtpmapLine(plan.eventFormat);
        sdp += "a=fmtp:" + events + " " + codes + "\r\n";
    }
    sdp += "a=ptime:" + std::to_string(options.ptimeMs) + "\r\n";
    if (options.ttyRtt) {
        const std::string t140 = std::to_string(plan.t140Format.type);
        const std::string red = std::to_string(plan.redFormat.type);
        sdp += "m=text " + std::to_string(destination.port + 2) + " RTP/AVP " + red + " " + t140 + "\r\n";
        sdp += RtpmapLine(plan.t140Format);
        sdp += RtpmapLine(plan.redFormat);
        sdp += "a=fmtp:" + red + " " + t140 + "/" + t140 + "/" + t140 + "\r\n";
    }
    return sdp;
}

}  // namespace Quorvex::VarnelNet::Rtp
