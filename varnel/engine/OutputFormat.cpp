#include "varnel/engine/OutputFormat.h"

#include "varnel/engine/Enumerations.h"

namespace Quorvex::VarnelNet {

SampleFormat OutputSampleFormat(std::int32_t encoding, std::int32_t bitsPerSample) {
    switch (encoding) {
        case ENC_MuLaw: return SampleFormat::MuLaw;
        case ENC_ALaw: return SampleFormat::ALaw;
        default: return bitsPerSample == 16 ? SampleFormat::S16 : SampleFormat::U8;
    }
}

WAVEFORMATEX OutputWaveFormat(std::int32_t encoding, std::int32_t bitsPerSample, std::uint32_t sampleRate) {
    const SampleFormat sample = OutputSampleFormat(encoding, bitsPerSample);
    CSoundBase format;
    format.SetFormatTag(sample == SampleFormat::MuLaw  ? WAVE_FORMAT_MULAW
                        : sample == SampleFormat::ALaw ? WAVE_FORMAT_ALAW
                                                       : WAVE_FORMAT_PCM);
    format.SetBitsPerSample(static_cast<std::uint16_t>(8 * BytesPerSample(sample)));
    format.SetSamplesPerSec(sampleRate);
    return format.Format();
}

}  // namespace Quorvex::VarnelNet
