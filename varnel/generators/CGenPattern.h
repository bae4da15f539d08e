#pragma once

#include <cstdint>
#include <vector>

#include "varnel/generators/CGenBase.h"
#include "varnel/signal/TonePattern.h"
#include "varnel/signal/ToneSequence.h"

namespace Quorvex::VarnelNet {

// A cadence of tone steps: a tone pattern, a call-progress or special information tone of the
// tables, a modem tone. Every step is rendered by the signal core's ToneSequence, timed in
// milliseconds; the length in samples is the same in every sample format.
class CGenPattern : public CGenBase {
public:
    using CGenBase::Init;

    CGenPattern() = default;
    ~CGenPattern() override;

    void Clear() override;
    // Returns -1 (and plays nothing) unless the rate is above 0 and finite and the level is
    // from 0 to 1.
    int Init(SampleFormat format, float sampleRate, float amplitude) override;
    int Read(std::uint8_t* buffer, int byteCount) override;
    std::int64_t Length() const override;
    void SetLevelPerTone(bool perTone) override;
    double LoudestLevelSum() const override;
    // Every element as it is played: the repeats of a cadence are symbols of their own.
    void ReportSymbols(const SymbolReport& report) const override;

    // Plays the steps, whose lengths are milliseconds, until totalMs (sooner when none repeats),
    // modulated tones at depth (0..1); every boundary falls at the sample nearest its time.
    // Returns 0, or -1 when Init was refused or the depth is out of range.
    int SetSteps(std::vector<ToneSequence::Step> steps, std::int64_t totalMs, double depth);
    // SetSteps with the pattern's steps for totalMs milliseconds.
    int SetPattern(const TonePattern& pattern, std::int64_t totalMs, double depth);

private:
    bool Usable() const;

    SampleFormat m_format = SampleFormat::U8;
    float m_sampleRate = 0.0f;
    float m_amplitude = 0.0f;
    ToneSequence m_sequence;
};

}  // namespace Quorvex::VarnelNet
