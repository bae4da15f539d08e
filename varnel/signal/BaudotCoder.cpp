#include "varnel/signal/BaudotCoder.h"

#include <algorithm>

namespace Quorvex::VarnelNet {

namespace {

constexpr int kCodeBackspace = 0;
constexpr int kCodeLineFeed = 2;

// Text bytes by code. The letters table is used for A-Z only; LF, space and (third figures
// table) backspace never reach a lookup, and a text holds no NUL.
constexpr std::array<std::uint8_t, 32> kLetterCodes = {
    0x00, 'E', 0x0A, 'A', ' ', 'S', 'I', 'U', 0x0D, 'D', 'R', 'J', 'N', 'F', 'C', 'K',
    'T', 'Z', 'L', 'W', 'H', 'Y', 'P', 'Q', 'O', 'B', 'G', 0x1B, 'M', 'X', 'V', 0x1F};

constexpr std::array<std::uint8_t, 32> kFigureCodes[3] = {
    {0x00, '3', 0x0A, '-', ' ', 0x07, '8', '7', 0x0D, '$', '4', '\'', ',', '!', ':', '(',
     '5', '"', ')', '2', '#', '6', '0', '1', '9', '?', '&', 0x1B, '.', '/', ';', 0x1F},
    {0x00, '3', 0x0A, '-', ' ', '\'', '8', '7', 0x0D, 0x05, '4', 0x07, ',', '!', ':', '(',
     '5', '+', ')', '2', 0xA3, '6', '0', '1', '9', '?', '&', 0x1B, '.', '/', '=', 0x1F},
    {0x08, '3', 0x0A, '-', ' ', '\'', '8', '7', 0x0D, '$', '4', '\'', ',', '!', ':', '(',
     '5', '"', ')', '2', '=', '6', '0', '1', '9', '?', '+', 0x1B, '.', '/', ';', 0x1F},
};

bool IsDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }
bool IsUpper(std::uint8_t c) { return c >= 'A' && c <= 'Z'; }

// The first code whose entry is c, or -1.
int FindCode(std::uint8_t c, const std::array<std::uint8_t, 32>& table) {
    const auto it = std::find(table.begin(), table.end(), c);
    return it == table.end() ? -1 : static_cast<int>(it - table.begin());
}

}  // namespace

BaudotCoder::BaudotCoder(int figuresTable, std::int32_t shiftState, bool figsAfterSpace)
    : m_figuresTable(std::clamp(figuresTable, 0, 2)),
      m_shiftState(shiftState == kShiftFigures || shiftState == kShiftLetters ? shiftState : kShiftUnset),
      m_figsAfterSpace(figsAfterSpace) {}

std::uint8_t BaudotCoder::Character(int code, bool figures, int figuresTable) {
    const auto c = static_cast<std::size_t>(code & 31);
    return figures ? kFigureCodes[std::clamp(figuresTable, 0, 2)][c] : kLetterCodes[c];
}

void BaudotCoder::Put(int code) {
    m_out.push_back(static_cast<std::int16_t>(code));
    m_afterSpace = code == kSpace;
}

std::vector<std::int16_t> BaudotCoder::Encode(const std::uint8_t* text, std::size_t length) {
    std::vector<std::uint8_t> upper(text, text + length);
    for (std::uint8_t& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<std::uint8_t>(c - 'a' + 'A');
    }
    const std::size_t n = upper.size();
    m_out.clear();
    m_out.reserve(2 * n + 4);
    m_afterSpace = false;
    m_out.push_back(kIdle);
    if (m_shiftState == kShiftUnset) {
        const bool letter = n > 0 && IsUpper(upper[0]);
        Put(letter ? kLetters : kFigures);
        m_shiftState = letter ? kShiftLetters : kShiftFigures;
    } else if (m_figsAfterSpace) {
        // Receivers that unshift on a space also fall back to letters after a pause: the text
        // starts by sending the shift it continues in.
        Put(m_shiftState == kShiftLetters ? kLetters : kFigures);
    }
    for (std::size_t i = 0; i < n;) {
        if (upper[i] == '\\' && i + 2 < n && IsDigit(upper[i + 1]) && IsDigit(upper[i + 2])) {
            const int value = 10 * (upper[i + 1] - '0') + (upper[i + 2] - '0');
            if (value <= 31) Put(value);
            i += 3;
            continue;
        }
        EncodeChar(upper[i]);
        ++i;
    }
    m_out.push_back(kIdle);
    return std::move(m_out);
}

bool BaudotCoder::EncodeChar(std::uint8_t c) {
    if (c == 0x0A) {
        Put(kCodeLineFeed);
        return true;
    }
    if (c == ' ') {
        Put(kSpace);
        return true;
    }
    if (m_figuresTable == 2 && c == 0x08) {
        Put(kCodeBackspace);
        return true;
    }
    if (IsUpper(c)) {
        const int code = FindCode(c, kLetterCodes);
        if (m_shiftState == kShiftFigures) {
            Put(kLetters);
            m_shiftState = kShiftLetters;
        }
        Put(code);
        return true;
    }
    const int code = FindCode(c, kFigureCodes[m_figuresTable]);
    if (code < 0) return false;
    // Some receivers drop back to letters on a space; for them FIGS is repeated after one.
    if (m_shiftState != kShiftFigures || (m_figsAfterSpace && m_afterSpace)) {
        Put(kFigures);
        m_shiftState = kShiftFigures;
    }
    Put(code);
    return true;
}

}  // namespace Quorvex::VarnelNet
