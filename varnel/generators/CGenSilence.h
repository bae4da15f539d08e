#pragma once

#include <cstdint>

#include "varnel/generators/CGenBase.h"

namespace Quorvex::VarnelNet {

// A stretch of silence: 0x80 bytes in 8-bit output, zero samples in 16-bit output, the G.711
// code of zero in G.711 output.
class CGenSilence : public CGenBase {
public:
    using CGenBase::Init;

    CGenSilence() = default;
    ~CGenSilence() override;

    void Clear() override;
    int Init(SampleFormat format, float sampleRate, float amplitude) override;
    int Read(std::uint8_t* buffer, int byteCount) override;
    std::int64_t Length() const override;
    void ReportSymbols(const SymbolReport& report) const override;

    // Sets the duration in milliseconds: trunc(ms * rate / 1000) samples, computed in 32-bit
    // floating point. Returns 0, or -1 when its length in PCM bytes does not fit a 32-bit count
    // (the duration is then left unchanged).
    int SetDuration(float ms);
    // Sets the length in samples directly.
    void SetSamples(std::int32_t samples) { m_remaining = samples; }

private:
    float m_sampleRate = 0.0f;
    SampleFormat m_format = SampleFormat::U8;
    std::int32_t m_remaining = 0;  // samples
};

}  // namespace Quorvex::VarnelNet
