#pragma once

#include <cstdint>

namespace Quorvex::VarnelNet {

// A generator renders one queued request as 8-bit unsigned or 16-bit signed little-endian
// mono PCM. It is set up once, then pulled with Read until Read answers 0.
class CGenBase {
public:
    virtual ~CGenBase() = default;

    // Drops the generator's content and what it holds.
    virtual void Clear() = 0;
    // Stores the output format: is16Bit is 1 for 16-bit samples, amplitude a linear factor.
    virtual int Init(std::uint8_t is16Bit, float sampleRate, float amplitude) = 0;
    // Writes the next bytes of the request to buffer, whole samples only, at most byteCount.
    // Returns the bytes written; 0 once the request has no more output.
    virtual int Read(std::uint8_t* buffer, int byteCount) = 0;
};

// The silence byte of 8-bit output; 16-bit silence is zero.
constexpr std::uint8_t kSilence8 = 0x80;

}  // namespace Quorvex::VarnelNet
