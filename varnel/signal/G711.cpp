#include "varnel/signal/G711.h"

#include <bit>

namespace Quorvex::VarnelNet {

namespace {

constexpr int kMuLawBias = 33;       // in 14-bit units
constexpr int kMuLawClip = 8159;     // largest 14-bit magnitude before the bias
constexpr std::uint8_t kALawEvenBits = 0x55;

// The 16-bit sample rounded to the nearest value of `bits` bits (halves upward), the largest
// samples held at the top value instead of rounding past it.
int Rounded(std::int16_t sample, int bits) {
    const int shift = 16 - bits;
    const int top = (1 << (bits - 1)) - 1;
    if (sample > (top << shift) + (1 << (shift - 1)) - 1) return top;
    return (sample + (1 << (shift - 1))) >> shift;
}

}  // namespace

std::uint8_t MuLawFromLinear(std::int16_t sample) {
    int magnitude = Rounded(sample, 14);
    std::uint8_t sign = 0x00;
    if (magnitude < 0) {
        magnitude = -magnitude;
        sign = 0x80;
    }
    if (magnitude > kMuLawClip) magnitude = kMuLawClip;
    const auto biased = static_cast<unsigned>(magnitude + kMuLawBias);  // 33 .. 8192
    // Segment 0 holds 32..63, segment 7 holds 4096..8191; 8192 is past the last one.
    const int segment = std::bit_width(biased) - 6;
    std::uint8_t code = 0x7F;
    if (segment < 8) {
        code = static_cast<std::uint8_t>((segment << 4) | ((biased >> (segment + 1)) & 0x0F));
    }
    return static_cast<std::uint8_t>(~(sign | code));
}

std::uint8_t ALawFromLinear(std::int16_t sample) {
    int magnitude = Rounded(sample, 13);
    std::uint8_t sign = 0x80;
    if (magnitude < 0) {
        magnitude = -magnitude - 1;
        sign = 0x00;
    }
    // Segments 0 and 1 share the step size; segment s >= 1 holds 2^(s+4) .. 2^(s+5) - 1.
    const auto value = static_cast<unsigned>(magnitude);
    const int segment = value < 32 ? 0 : std::bit_width(value) - 5;
    std::uint8_t code = 0x7F;
    if (segment < 8) {
        const unsigned mantissa = segment < 2 ? (value >> 1) & 0x0F : (value >> segment) & 0x0F;
        code = static_cast<std::uint8_t>((segment << 4) | mantissa);
    }
    return static_cast<std::uint8_t>((sign | code) ^ kALawEvenBits);
}

std::int16_t LinearFromMuLaw(std::uint8_t code) {
    const unsigned bits = static_cast<std::uint8_t>(~code);
    const unsigned segment = (bits >> 4) & 0x07;
    const int magnitude = static_cast<int>((((bits & 0x0F) << 3) + 0x84) << segment) - 0x84;
    return static_cast<std::int16_t>((bits & 0x80) ? -magnitude : magnitude);
}

std::int16_t LinearFromALaw(std::uint8_t code) {
    const unsigned bits = code ^ kALawEvenBits;
    const unsigned segment = (bits >> 4) & 0x07;
    int magnitude = static_cast<int>((bits & 0x0F) << 4);
    magnitude = segment == 0 ? magnitude + 8 : (magnitude + 0x108) << (segment - 1);
    return static_cast<std::int16_t>((bits & 0x80) ? magnitude : -magnitude);
}

}  // namespace Quorvex::VarnelNet
