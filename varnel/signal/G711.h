#pragma once

#include <cstdint>

namespace Quorvex::VarnelNet {

// ITU-T G.711 companding of a signed 16-bit linear sample. mu-law rounds it to 14 bits, adds
// the bias of 33 to the magnitude and sends the inverted sign, segment and mantissa; A-law
// rounds it to 13 bits and sends sign, segment and mantissa with the even bits inverted (XOR
// 0x55). The rounding is sox's, so that its conversions of our 16-bit output give our bytes.
std::uint8_t MuLawFromLinear(std::int16_t sample);
std::uint8_t ALawFromLinear(std::int16_t sample);

// The decoding tables' values, as 16-bit linear samples.
std::int16_t LinearFromMuLaw(std::uint8_t code);
std::int16_t LinearFromALaw(std::uint8_t code);

}  // namespace Quorvex::VarnelNet
