#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace Quorvex::VarnelNet {

// Text to 5-bit Baudot (ITA2) codes with letters/figures shifting. One of three figures
// tables: 0 (US, with BEL, $, #), 1 (with ENQ, +, the pound sign, =), 2 (backspace as code 0).
// Letters come from the letters table (A-Z only); every other byte from the figures table.
class BaudotCoder {
public:
    // An item of the output: 0-31 a code, or kIdle for 7 mark bits (lead-in and trailer).
    static constexpr std::int16_t kIdle = -1;
    static constexpr int kLetters = 31;
    static constexpr int kFigures = 27;
    static constexpr int kSpace = 4;

    // Shift states carried between texts.
    static constexpr std::int32_t kShiftFigures = 0;
    static constexpr std::int32_t kShiftLetters = 1;
    static constexpr std::int32_t kShiftUnset = -1;

    BaudotCoder(int figuresTable, std::int32_t shiftState, bool figsAfterSpace);

    // Lead-in, the initial shift when the state is unset (letters if the text starts with a
    // letter; with figsAfterSpace the shift in force when it is set), the characters, trailer. Lower case is sent as upper case; \NN sends code NN
    // (0-31) as it is and 32-99 nothing; a byte in no table is dropped.
    std::vector<std::int16_t> Encode(const std::uint8_t* text, std::size_t length);

    std::int32_t ShiftState() const { return m_shiftState; }

    // The text byte a receiver reads for code (0-31) in the shift, with the figures table.
    static std::uint8_t Character(int code, bool figures, int figuresTable);

private:
    // Writes one text byte with the shift it needs; false when no table holds it.
    bool EncodeChar(std::uint8_t c);
    void Put(int code);

    int m_figuresTable;
    std::int32_t m_shiftState;
    bool m_figsAfterSpace;
    bool m_afterSpace = false;  // the last code written was a space
    std::vector<std::int16_t> m_out;
};

}  // namespace Quorvex::VarnelNet
