#include "varnel/rtp/Events.h"

#include <algorithm>
#include <cmath>

namespace Quorvex::VarnelNet::Rtp {

std::optional<std::uint8_t> DtmfEventCode(char key) {
    if (key >= '0' && key <= '9') return static_cast<std::uint8_t>(key - '0');
    if (key == '*') return 10;
    if (key == '#') return 11;
    if (key >= 'A' && key <= 'D') return static_cast<std::uint8_t>(12 + (key - 'A'));
    if (key >= 'a' && key <= 'd') return static_cast<std::uint8_t>(12 + (key - 'a'));
    return std::nullopt;
}

std::optional<char> DtmfEventKey(std::uint8_t code) {
    static constexpr char kKeys[] = "0123456789*#ABCD";
    if (code >= 16) return std::nullopt;
    return kKeys[code];
}

std::uint8_t EventVolume(double dbm0) {
    if (!(dbm0 < 0.0)) return 0;
    const double rounded = std::round(-dbm0);
    return static_cast<std::uint8_t>(std::min(rounded, 63.0));
}

}  // namespace Quorvex::VarnelNet::Rtp
