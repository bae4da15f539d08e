#pragma once

#include <cstdint>

#include "varnel/generators/CGenSilence.h"
#include "varnel/generators/CMultiTone.h"

namespace Quorvex::VarnelNet {

// One tone burst of up to three simultaneous frequencies, followed by silence.
class CCustomTone : public CMultiTone {
public:
    using CGenBase::Init;

    CCustomTone() = default;
    ~CCustomTone() override;

    void Clear() override;
    int Init(SampleFormat format, float sampleRate, float amplitude) override;
    int Read(std::uint8_t* buffer, int byteCount) override;
    std::int64_t Length() const override;
    // The tone (silence when it has no frequency), then the pause.
    void ReportSymbols(const SymbolReport& report) const override;

    // Sets the tone and pause times in milliseconds. Returns 0, or -1 when a time is negative
    // or its length in PCM bytes does not fit a 32-bit count (nothing is changed then).
    int SetTimes(std::int64_t toneMs, std::int64_t pauseMs);
    // SetTimes, then AddTones.
    int SetTones(std::int64_t toneMs, std::int64_t pauseMs, const ToneNode* chain);
    // SetTones with the chain f1, f2, f3; a frequency of 0 adds no tone.
    int SetTone(std::int64_t toneMs, std::int64_t pauseMs, float f1, float f2, float f3);

private:
    CGenSilence m_silence;
    std::int32_t m_toneSamples = 0;
    std::int32_t m_pauseSamples = 0;
    // Runs from -tone samples (start of the tone) to the pause samples (end of the burst).
    std::int32_t m_position = 0;
};

}  // namespace Quorvex::VarnelNet
