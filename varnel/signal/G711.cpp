#include "varnel/signal/G711.h"

#include <bit>

namespace Quorvex::VarnelNet {

namespace {

constexpr int kMuLawBias = 33;    // in 14-bit units
constexpr int kMuLawClip = 8159;  // largest 14-bit magnitude before the bias
constexpr std::uint8_t kALawEvenBits = 0x55;

constexpr std::uint8_t MuLawCode(int value) {
    int magnitude = value;
    std::uint8_t sign = 0x00;
    if (magnitude < 0) {
        magnitude = -magnitude;
        sign = 0x80;
    }
    if (magnitude > kMuLawClip) magnitude = kMuLawClip;
    const auto biased = static_cast<unsigned>(magnitude + kMuLawBias);  // 33 .. 8192
    // Segment 0 holds 32..63, segment 7 holds 4096..8191; 8192 is past the last one.
    const int segment = static_cast<int>(std::bit_width(biased)) - 6;
    std::uint8_t code = 0x7F;
    if (segment < 8) code = static_cast<std::uint8_t>((segment << 4) | static_cast<int>((biased >> (segment + 1)) & 0x0Fu));
    return static_cast<std::uint8_t>(~(sign | code));
}

constexpr std::uint8_t ALawCode(int value) {
    int magnitude = value;
    std::uint8_t sign = 0x80;
    if (magnitude < 0) {
        magnitude = -magnitude - 1;
        sign = 0x00;
    }
    // Segments 0 and 1 share the step size; segment s >= 1 holds 2^(s+4) .. 2^(s+5) - 1.
    const auto v = static_cast<unsigned>(magnitude);
    const int segment = v < 32 ? 0 : static_cast<int>(std::bit_width(v)) - 5;
    std::uint8_t code = 0x7F;
    if (segment < 8) {
        const auto mantissa = static_cast<int>(segment < 2 ? (v >> 1) & 0x0Fu : (v >> segment) & 0x0Fu);
        code = static_cast<std::uint8_t>((segment << 4) | mantissa);
    }
    return static_cast<std::uint8_t>((sign | code) ^ kALawEvenBits);
}

template <std::size_t N, class Code>
constexpr std::array<std::uint8_t, N> CodeTable(Code code) {
    std::array<std::uint8_t, N> table{};
    for (std::size_t i = 0; i < N; ++i) table[i] = code(static_cast<int>(i) - static_cast<int>(N / 2));
    return table;
}

}  // namespace

namespace G711 {
constinit const std::array<std::uint8_t, 16384> kMuLawCodes = CodeTable<16384>(MuLawCode);
constinit const std::array<std::uint8_t, 8192> kALawCodes = CodeTable<8192>(ALawCode);
}  // namespace G711

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
