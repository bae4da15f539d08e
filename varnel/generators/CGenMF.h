#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "varnel/generators/CGenBase.h"
#include "varnel/signal/MfSignals.h"
#include "varnel/signal/ToneSequence.h"

namespace Quorvex::VarnelNet {

// A string of multi-frequency trunk signals (R1, or R2 forward or backward; MfSignals.h), each
// a pair of tones at the level set followed by the system's silence between signals.
class CGenMF : public CGenBase {
public:
    using CGenBase::Init;

    void Clear() override;
    int Init(SampleFormat format, float sampleRate, float amplitude) override;
    int Read(std::uint8_t* buffer, int byteCount) override;
    std::int64_t Length() const override;
    void SetLevelPerTone(bool perTone) override;
    double LoudestLevelSum() const override;
    // Each signal's tone pair (the silence between signals is not a symbol).
    void ReportSymbols(const SymbolReport& report) const override;

    // Replaces the signals; returns an empty text, or why they are refused (nothing is then
    // held).
    std::string SetSignals(MfSystem system, std::string_view signals);

private:
    SampleFormat m_format = SampleFormat::U8;
    float m_sampleRate = 0.0f;
    float m_amplitude = 0.0f;
    ToneSequence m_sequence;
    std::string m_signals;  // upper case, one character a signal
};

}  // namespace Quorvex::VarnelNet
