#pragma once

#include <cstdint>

#include "varnel/signal/FskSymbols.h"

namespace Quorvex::VarnelNet {

enum class Parity : std::uint8_t { None, Even, Odd };
enum class StopBits : std::uint8_t { One, OneAndHalf, Two };

// Asynchronous (start-stop) characters: a start bit (space), the data bits least significant
// first, an optional parity bit, then the stop bits (mark).
struct AsyncFrame {
    int dataBits = 8;  // 5 to 8
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;

    // Appends the frame of the low dataBits bits of value.
    void Append(FskSymbols& symbols, std::uint32_t value) const;
};

// Appends count mark bits (idle line).
void AppendMarks(FskSymbols& symbols, int count);
// Appends count bits alternating 0 1 0 1 ... (a channel seizure), starting with space.
void AppendAlternating(FskSymbols& symbols, int count);
// Appends count bit times of silence.
void AppendSilence(FskSymbols& symbols, int count);

}  // namespace Quorvex::VarnelNet
