#pragma once

#include <cstdint>
#include <vector>

#include "varnel/generators/CGenBase.h"

namespace Quorvex::VarnelNet {

// A caller's description of a tone for AddTones: one entry of a singly linked chain.
struct ToneNode {
    float frequency = 0.0f;    // Hz; 0 adds no tone
    ToneNode* next = nullptr;
    float amplitude = 0.0f;    // relative level; <= 0 or > 1 is taken as 1.0
};

// One sine tone made by the second-order recursion y[n] = 2 cos(w) y[n-1] - y[n-2].
// w is the tone's step in radians per sample, 2 pi f / rate.
struct SineOscillator {
    double cw = 0.0;         // cos(w)
    double y2 = 0.0;         // y[n-2]
    double y1 = 0.0;         // y[n-1]
    double amplitude = 1.0;  // the tone's relative level
};

// Sums a list of sine tones into PCM: every sample is the mean of the tones, scaled by the
// generator amplitude and truncated toward zero. Tones run on across Read calls.
class CMultiTone : public CGenBase {
public:
    CMultiTone() = default;
    ~CMultiTone() override;

    void Clear() override;
    int Init(std::uint8_t is16Bit, float sampleRate, float amplitude) override;
    // Fills byteCount rounded down to whole samples with tone; returns the bytes written.
    int Read(std::uint8_t* buffer, int byteCount) override;

    // Appends the non-zero frequencies of the chain, each starting at phase 0.
    // Returns the number of tones held. Init must come first.
    int AddTones(const ToneNode* chain);

protected:
    std::uint8_t BytesPerSample() const { return static_cast<std::uint8_t>(m_is16Bit + 1); }
    float SampleRate() const { return m_sampleRate; }

private:
    template <std::size_t N, bool Is16>
    void Render(std::uint8_t* out, int samples);

    float m_sampleRate = 0.0f;
    std::uint8_t m_is16Bit = 0;
    float m_amplitude = 0.0f;
    std::vector<SineOscillator> m_tones;
};

// Array conversions for generators that compute a waveform as doubles first, by the same rule
// as CMultiTone: amplitude * sample is formed first, then scaled, then truncated toward zero.
// 8-bit: destination byte i = trunc(amplitude * source[i] * 127.0 + 128.0).
void PcmFromDouble8(const double* source, std::uint8_t* destination, std::uint32_t count, double amplitude);
// 16-bit: sample i = trunc(amplitude * source[i] * 32767.0), written little-endian to
// destination bytes 2i and 2i + 1.
void PcmFromDouble16(const double* source, std::uint8_t* destination, std::uint32_t count, double amplitude);

}  // namespace Quorvex::VarnelNet
