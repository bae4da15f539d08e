#pragma once

#include <cstdint>

#include "varnel/signal/SampleFormat.h"
#include "varnel/wave/CSoundBase.h"

namespace Quorvex::VarnelNet {

// How the engine's settings write a sample: an ENCODING_TYPE value, and for ENC_PCM the bits
// per sample (8, else 16).
SampleFormat OutputSampleFormat(std::int32_t encoding, std::int32_t bitsPerSample);

// The format record of that output at the sample rate: the record a file generation writes
// into its "fmt " chunk and a buffer stream announces.
WAVEFORMATEX OutputWaveFormat(std::int32_t encoding, std::int32_t bitsPerSample, std::uint32_t sampleRate);

}  // namespace Quorvex::VarnelNet
