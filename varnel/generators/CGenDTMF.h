#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "varnel/generators/CGenBase.h"
#include "varnel/generators/CMultiTone.h"

namespace Quorvex::VarnelNet {

// One played character: a key's row and column frequency, 0xFFFF twice for a pause, 0 twice
// for the terminator.
struct DigitEntry {
    std::uint16_t row;
    std::uint16_t column;
};

// Renders keypad characters as DTMF: per key a two-tone burst with a linear fade at both
// ends, then a silent break; a comma is a longer silent pause. Other characters are skipped.
class CGenDTMF : public CGenBase {
public:
    CGenDTMF() { Clear(); }
    ~CGenDTMF() override;

    void Clear() override;
    int Init(std::uint8_t is16Bit, float sampleRate, float amplitude) override;
    int Read(std::uint8_t* buffer, int byteCount) override;

    // Tone, break and pause times in milliseconds. Returns 0, or -1 when a time is negative or
    // its length in bytes does not fit a 32-bit count (nothing is changed then).
    int SetTimes(std::int32_t toneMs, std::int32_t breakMs, std::int32_t pauseMs);
    // Replaces the keys to play; letters a-d play as A-D.
    int SetDigits(std::string_view text);

private:
    void StartEntry();
    void FadeIn(std::uint8_t* chunk, int n);
    void FadeOut(std::uint8_t* chunkEnd, int n);
    void Scale(std::uint8_t* sample, float factor) const;

    std::int32_t m_toneLength = 0;
    std::int32_t m_breakLength = 0;
    std::int32_t m_pauseLength = 0;
    std::vector<DigitEntry> m_digits;
    std::size_t m_current = 0;
    // > 0: bytes of tone still to come; <= 0: minus the bytes of silence already produced.
    std::int32_t m_countdown = 0;
    std::int32_t m_gapLength = 0;
    float m_sampleRate = 0.0f;
    std::uint8_t m_is16Bit = 0;
    float m_amplitude = 0.0f;
    std::int32_t m_rampLength = 0;
    std::int32_t m_fadeInProgress = 0;
    std::int32_t m_fadeOutRemaining = 0;
    CMultiTone m_synth;
};

}  // namespace Quorvex::VarnelNet
