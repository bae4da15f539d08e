#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "varnel/generators/CGenBase.h"
#include "varnel/platform/HResult.h"
#include "varnel/signal/FskModulator.h"

namespace Quorvex::VarnelNet {

// Text-telephone (TTY) FSK, mark 1400 Hz and space 1800 Hz from two free-running tones: 5-bit
// Baudot with letters/figures shifting (modes 0, 3 and 4, one figures table each) or ASCII with
// 7 or 8 data bits (modes 1 and 2), at 45.45 to 110 baud. The text is encoded into frames when
// it is set; Read only sends them, after two bit times of silence.
class CEncBaudotCode : public CGenBase {
public:
    using CGenBase::Init;

    CEncBaudotCode() = default;
    ~CEncBaudotCode() override;

    void Clear() override;
    int Init(SampleFormat format, float sampleRate, float amplitude) override;
    // Bits split across calls freely; once the text is sent the rest of the buffer is filled
    // with silence, which is not counted.
    int Read(std::uint8_t* buffer, int byteCount) override;
    std::int64_t Length() const override;
    // Each character frame (LTRS and FIGS shifts included), start bit to the last stop bit.
    void ReportSymbols(const SymbolReport& report) const override;

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
    // PCM bytes of one bit (0: the rate gives a bit no samples).
    std::int32_t BytesPerBit() const;
    // The frames as 16-bit code words, ending with the end marker 0xFFFF: a word holds the bits
    // of one frame followed by a sentinel 1 bit; Baudot words are sent from bit 15 down, ASCII
    // words from bit 0 up.
    const std::vector<std::uint16_t>& CodeWords() const;

    // Samples of one bit at the given rate, for the rate index (0-5); 0 for another index.
    static std::int32_t SamplesPerBit(float sampleRate, std::int32_t rateIndex);

private:
    // Frames the code words into the modulator's symbols.
    void Load();
    // The symbols of one code word on the line.
    std::size_t SymbolsOf(std::uint16_t word) const;

    SampleFormat m_format = SampleFormat::U8;
    std::int32_t m_sampleRate = 0;  // whole Hz
    float m_amplitude = 0.0f;
    std::vector<std::uint16_t> m_codes;
    std::int32_t m_rateIndex = 0;
    std::int32_t m_mode = 0;
    std::int32_t m_shiftState = -1;
    std::int32_t m_textShiftState = -1;  // the shift the text started in
    bool m_figsAfterSpace = false;
    FskModulator m_modem;
};

}  // namespace Quorvex::VarnelNet
