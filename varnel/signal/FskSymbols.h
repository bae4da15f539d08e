#pragma once

#include <cstdint>
#include <vector>

namespace Quorvex::VarnelNet {

// A transmission is a string of symbols, one byte each: a bit value and how it is sent.
using FskSymbols = std::vector<std::uint8_t>;

namespace FskSymbol {
inline constexpr std::uint8_t kSpace = 0x00;     // a 0 bit
inline constexpr std::uint8_t kMark = 0x01;      // a 1 bit
inline constexpr std::uint8_t kValue = 0x01;     // the bit's value
// The tone runs on from the previous bit without a new start from the running phase (the
// continuous-phase modulator otherwise starts every bit afresh from it).
inline constexpr std::uint8_t kContinue = 0x02;
inline constexpr std::uint8_t kHalf = 0x04;      // lasts half a bit (1.5 stop bits)
inline constexpr std::uint8_t kSilent = 0x08;    // a bit time of silence
}  // namespace FskSymbol

}  // namespace Quorvex::VarnelNet
