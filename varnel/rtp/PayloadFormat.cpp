#include "varnel/rtp/PayloadFormat.h"

namespace Quorvex::VarnelNet::Rtp {

std::string PayloadFormat::Rtpmap() const {
    std::string text(name);
    text.append("/").append(std::to_string(clockRate));
    if (channels != 1) text.append("/").append(std::to_string(channels));
    return text;
}

}  // namespace Quorvex::VarnelNet::Rtp
