#pragma once

#include <array>
#include <cstdint>

#include "varnel/generators/CGenBase.h"
#include "varnel/signal/ToneSum.h"

namespace Quorvex::VarnelNet {

// A caller's description of a tone for AddTones: one entry of a singly linked chain.
struct ToneNode {
    float frequency = 0.0f;    // Hz; 0 adds no tone
    ToneNode* next = nullptr;
    float amplitude = 0.0f;    // relative level; <= 0 or > 1 is taken as 1.0
};

// Sums a list of sine tones: every sample is the mean of the tones, scaled by the generator
// amplitude. Tones run on across Read calls; the signal never ends by itself.
class CMultiTone : public CGenBase {
public:
    using CGenBase::Init;

    CMultiTone() = default;
    ~CMultiTone() override;

    void Clear() override;
    int Init(SampleFormat format, float sampleRate, float amplitude) override;
    // Fills byteCount rounded down to whole samples with tone; returns the bytes written.
    int Read(std::uint8_t* buffer, int byteCount) override;
    std::int64_t Length() const override { return -1; }
    void SetLevelPerTone(bool perTone) override;
    double LoudestLevelSum() const override;

    // Appends the non-zero frequencies of the chain, each starting at phase 0.
    // Returns the number of tones held. Init must come first.
    int AddTones(const ToneNode* chain);

protected:
    SampleFormat Format() const { return m_format; }
    float SampleRate() const { return m_sampleRate; }
    // Writes `samples` samples of tone.
    void RenderTone(std::uint8_t* out, std::size_t samples);
    // The first three frequencies added, and how many were.
    const std::array<double, 3>& Frequencies() const { return m_hz; }
    int ToneCount() const { return static_cast<int>(m_tones.Count()); }

private:
    float m_sampleRate = 0.0f;
    SampleFormat m_format = SampleFormat::U8;
    float m_amplitude = 0.0f;
    ToneSum m_tones;
    std::array<double, 3> m_hz{};
};

// Array conversions for waveforms computed as doubles: amplitude * sample is formed first, then
// scaled, then truncated toward zero. 8-bit: byte i = trunc(amplitude * source[i] * 127.0 +
// 128.0). 16-bit: sample i = trunc(amplitude * source[i] * 32767.0), little-endian.
void PcmFromDouble8(const double* source, std::uint8_t* destination, std::uint32_t count, double amplitude);
void PcmFromDouble16(const double* source, std::uint8_t* destination, std::uint32_t count, double amplitude);

}  // namespace Quorvex::VarnelNet
