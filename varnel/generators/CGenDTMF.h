#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "varnel/generators/CGenBase.h"
#include "varnel/signal/ToneSum.h"

namespace Quorvex::VarnelNet {

// One played character: a key's row and column frequency, 0xFFFF twice for a pause, 0 twice
// for the terminator.
struct DigitEntry {
    std::uint16_t row;
    std::uint16_t column;
};

// Renders keypad characters as DTMF: per key a two-tone burst with a linear fade at both
// ends, then a silent break; a comma is a longer silent pause. Other characters are skipped.
//
// The fades scale samples that are already quantised (8- or 16-bit PCM), by factors counted in
// bytes of PCM; G.711 output is faded as 16-bit PCM and then encoded.
class CGenDTMF : public CGenBase {
public:
    using CGenBase::Init;

    CGenDTMF() { Clear(); }
    ~CGenDTMF() override;

    void Clear() override;
    int Init(SampleFormat format, float sampleRate, float amplitude) override;
    int Read(std::uint8_t* buffer, int byteCount) override;
    std::int64_t Length() const override;
    void SetLevelPerTone(bool perTone) override;
    double LoudestLevelSum() const override;
    // Each key's tone (its break is not a symbol of its own) and each ',' pause.
    void ReportSymbols(const SymbolReport& report) const override;

    // Tone, break and pause times in milliseconds. Returns 0, or -1 when a time is negative or
    // its length in PCM bytes does not fit a 32-bit count (nothing is changed then).
    int SetTimes(std::int32_t toneMs, std::int32_t breakMs, std::int32_t pauseMs);
    // Replaces the keys to play; letters a-d play as A-D.
    int SetDigits(std::string_view text);
    // The high-group tone's level above the low group's, in dB; the low group keeps the level
    // set. 0 (the default) plays both at the same level. Returns 0, or -1 for a value that is
    // not finite (nothing is changed then).
    int SetTwist(double db);

private:
    std::int64_t EntryLength(const DigitEntry& entry) const;
    void StartKey(const DigitEntry& entry);
    // Writes n samples of the current key's tone, from `offset` samples into it, faded.
    template <SampleFormat F>
    void RenderTone(std::uint8_t* out, std::int64_t offset, std::size_t n);
    // Scales the PCM samples of a tone piece that lie in the fades.
    template <SampleFormat F>
    void Fade(std::uint8_t* pcm, std::int64_t offset, std::size_t n) const;

    SampleFormat m_format = SampleFormat::U8;
    float m_sampleRate = 0.0f;
    float m_amplitude = 0.0f;
    double m_highLevel = 1.0;  // the column tone's level relative to the row tone's
    std::int64_t m_toneSamples = 0;
    std::int64_t m_breakSamples = 0;
    std::int64_t m_pauseSamples = 0;
    // Fade length in PCM bytes: 5.5 % of the tone's bytes, rounded up to an even number.
    std::int64_t m_rampBytes = 0;
    std::vector<DigitEntry> m_digits;
    std::size_t m_current = 0;
    std::int64_t m_position = 0;  // samples into the current entry
    ToneSum m_tones;
    // The keypad's tones started at phase 0, rows then columns, set up once at Init.
    SineOscillator m_keypadTones[8];
    std::vector<std::uint8_t> m_scratch;  // 16-bit PCM of a G.711 tone piece
};

}  // namespace Quorvex::VarnelNet
