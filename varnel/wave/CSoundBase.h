#pragma once

#include <cstdint>

namespace Quorvex::VarnelNet {

#pragma pack(push, 1)
// The 18-byte PCM format record, laid out as the platform's WAVEFORMATEX.
struct WAVEFORMATEX {
    std::uint16_t wFormatTag, nChannels;
    std::uint32_t nSamplesPerSec, nAvgBytesPerSec;
    std::uint16_t nBlockAlign, wBitsPerSample, cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

// Holds an audio format record and keeps its derived fields (block align, bytes per second)
// in step with bits per sample, sample rate and channels.
class CSoundBase {
public:
    CSoundBase();
    virtual ~CSoundBase() = default;

    void SetBitsPerSample(std::uint16_t bits);
    void SetSamplesPerSec(std::uint32_t rate);
    void SetChannels(std::uint16_t channels);

    const WAVEFORMATEX& Format() const { return m_format; }

private:
    void UpdateDerived();

    WAVEFORMATEX m_format{};
};

}  // namespace Quorvex::VarnelNet
