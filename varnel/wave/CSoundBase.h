#pragma once

#include <cstdint>

namespace Quorvex::VarnelNet {

#pragma pack(push, 1)
// The 18-byte format record, laid out as the platform's WAVEFORMATEX.
struct WAVEFORMATEX {
    std::uint16_t wFormatTag, nChannels;
    std::uint32_t nSamplesPerSec, nAvgBytesPerSec;
    std::uint16_t nBlockAlign, wBitsPerSample, cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

// Format tags of the record.
constexpr std::uint16_t WAVE_FORMAT_PCM = 1;
constexpr std::uint16_t WAVE_FORMAT_ALAW = 6;   // ITU-T G.711 A-law, 8 bits a sample
constexpr std::uint16_t WAVE_FORMAT_MULAW = 7;  // ITU-T G.711 mu-law, 8 bits a sample

// Holds an audio format record and keeps its derived fields (block align, bytes per second)
// in step with bits per sample, sample rate and channels.
class CSoundBase {
public:
    CSoundBase();
    virtual ~CSoundBase() = default;

    void SetFormatTag(std::uint16_t tag);
    void SetBitsPerSample(std::uint16_t bits);
    void SetSamplesPerSec(std::uint32_t rate);
    void SetChannels(std::uint16_t channels);

    const WAVEFORMATEX& Format() const { return m_format; }

private:
    void UpdateDerived();

    WAVEFORMATEX m_format{};
};

}  // namespace Quorvex::VarnelNet
