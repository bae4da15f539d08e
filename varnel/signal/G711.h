#pragma once

#include <array>
#include <cstdint>

namespace Quorvex::VarnelNet {

// ITU-T G.711 companding of a signed 16-bit linear sample. mu-law rounds it to 14 bits, adds
// the bias of 33 to the magnitude and sends the inverted sign, segment and mantissa; A-law
// rounds it to 13 bits and sends sign, segment and mantissa with the even bits inverted (XOR
// 0x55). The rounding (halves upward, the largest samples held at the top value) is sox's, so
// that its conversions of our 16-bit output give our bytes.
namespace G711 {

// The 16-bit sample rounded to `bits` bits, as an index into a table of codes from the most
// negative value up.
constexpr int RoundedIndex(std::int16_t sample, int bits) {
    const int shift = 16 - bits;
    const int top = (1 << (bits - 1)) - 1;
    const int rounded = sample > (top << shift) + (1 << (shift - 1)) - 1 ? top : (sample + (1 << (shift - 1))) >> shift;
    return rounded + top + 1;
}

// Codes by 14-bit (mu-law) and 13-bit (A-law) value.
extern const std::array<std::uint8_t, 16384> kMuLawCodes;
extern const std::array<std::uint8_t, 8192> kALawCodes;

}  // namespace G711

inline std::uint8_t MuLawFromLinear(std::int16_t sample) {
    return G711::kMuLawCodes[static_cast<std::size_t>(G711::RoundedIndex(sample, 14))];
}

inline std::uint8_t ALawFromLinear(std::int16_t sample) {
    return G711::kALawCodes[static_cast<std::size_t>(G711::RoundedIndex(sample, 13))];
}

// The decoding tables' values, as 16-bit linear samples.
std::int16_t LinearFromMuLaw(std::uint8_t code);
std::int16_t LinearFromALaw(std::uint8_t code);

}  // namespace Quorvex::VarnelNet
