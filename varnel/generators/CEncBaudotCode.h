#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "varnel/generators/CGenBase.h"
#include "varnel/generators/CMultiTone.h"
#include "varnel/platform/HResult.h"

namespace Quorvex::VarnelNet {

// Text-telephone (TTY) FSK, mark 1400 Hz and space 1800 Hz: 5-bit Baudot with letters/figures
// shifting (modes 0, 3 and 4, one figures table each) or ASCII with 7 or 8 data bits (modes 1
// and 2), at 45.45 to 110 baud. The text is encoded into code words when it is set; Read only
// sends them.
class CEncBaudotCode : public CGenBase {
public:
    CEncBaudotCode() = default;
    ~CEncBaudotCode() override;

    void Clear() override;
    int Init(std::uint8_t is16Bit, float sampleRate, float amplitude) override;
    int Read(std::uint8_t* buffer, int byteCount) override;

    // A BAUDOT_RATE index 0-5; others are refused with E_INVALIDARG and change nothing.
    HRESULT SetBaudRate(std::int32_t index);
    // Encodes a zero-terminated text (null counts as empty) in TTY mode 0-4. Returns 0, or -1
    // for any other mode, which changes nothing.
    int SetText(const char* text, std::int32_t mode);
    // When set (before SetText), the first figure after a space is preceded by FIGS even when
    // the shift is already figures, for receivers that fall back to letters on a space.
    void SetFigsAfterSpace(bool on);

    // Letters/figures shift carried between requests: -1 unset, 0 figures, 1 letters (any
    // other value is taken as unset).
    std::int32_t ShiftState() const;
    void SetShiftState(std::int32_t state);

    std::int32_t RateIndex() const;
    std::int32_t Mode() const;
    std::int32_t BytesPerBit() const;
    // The encoded frames, ending with the end marker 0xFFFF.
    const std::vector<std::uint16_t>& CodeWords() const;

    // Samples of one bit at the given rate, for the rate index (0-5); 0 for another index.
    static std::int32_t SamplesPerBit(float sampleRate, std::int32_t rateIndex);

private:
    using CodeTable = std::array<std::uint8_t, 32>;

    // Baudot: lead-in, the initial shift when the state is unset, the characters, trailer.
    void EncodeBaudot(const std::uint8_t* text, std::size_t length);
    // ASCII: lead-in, two NULs, the bytes as they are, two NULs.
    void EncodeASCII(const std::uint8_t* bytes, std::size_t count, bool eightBit);
    // Writes one text byte with the shift it needs; -2 when no table holds it.
    int EncodeChar(std::uint8_t c);
    // Appends the frame of Baudot code 0-31.
    void PutCode(int code);
    // The first code whose entry is c, or -1.
    static int FindCode(std::uint8_t c, const CodeTable& table);
    // The low 5 bits of x in reverse order.
    static std::uint16_t Reverse5(int x);
    static std::int32_t SamplesAt(double sampleRate, std::int32_t rateIndex);
    // True once every frame has been sent (or there is nothing to send).
    bool Ended() const;

    std::uint8_t m_is16Bit = 0;
    std::int32_t m_sampleRate = 0;
    std::vector<std::uint16_t> m_codes;
    std::size_t m_current = 0;     // index of the word being sent
    std::uint16_t m_word = 0;      // what is left of it; a copy, so m_codes stays whole
    std::int32_t m_bytesPerBit = 0;
    // Bytes still to send of the current bit; negative: minus the leading silence still due.
    std::int32_t m_bytesLeft = 0;
    CMultiTone m_mark;
    CMultiTone m_space;
    std::int32_t m_rateIndex = 0;
    std::uint16_t m_bitMask = 0x8000;  // 0x8000: Baudot words go out from the top; 1: ASCII
    std::int32_t m_mode = 0;
    std::int32_t m_figuresVariant = 0;
    std::int32_t m_shiftState = -1;
    bool m_figsAfterSpace = false;
    bool m_afterSpace = false;  // the last frame written was a space
};

}  // namespace Quorvex::VarnelNet
