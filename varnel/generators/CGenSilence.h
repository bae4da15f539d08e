#pragma once

#include <cstdint>

#include "varnel/generators/CGenBase.h"

namespace Quorvex::VarnelNet {

// A stretch of silence: 0x80 bytes in 8-bit output, zero samples in 16-bit output.
class CGenSilence : public CGenBase {
public:
    CGenSilence() = default;
    ~CGenSilence() override;

    void Clear() override;
    int Init(std::uint8_t is16Bit, float sampleRate, float amplitude) override;
    int Read(std::uint8_t* buffer, int byteCount) override;

    // Sets the duration in milliseconds. Returns 0, or -1 when its length in bytes does not fit
    // a 32-bit count (the duration is then left unchanged).
    int SetDuration(float ms);
    // Sets the length in bytes directly, a whole number of samples.
    void SetLength(std::int32_t bytes) { m_remaining = bytes; }

private:
    float m_sampleRate = 0.0f;
    std::uint8_t m_is16Bit = 0;
    std::int32_t m_remaining = 0;
};

}  // namespace Quorvex::VarnelNet
