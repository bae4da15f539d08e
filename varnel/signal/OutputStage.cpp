#include "varnel/signal/OutputStage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "varnel/signal/LineImpairments.h"

namespace Quorvex::VarnelNet {

void FillSilence(SampleFormat format, std::uint8_t* out, std::size_t samples) {
    std::memset(out, SilenceByte(format), samples * static_cast<std::size_t>(BytesPerSample(format)));
}

void StoreSamples(SampleFormat format, const double* source, std::uint8_t* out, std::size_t count, double amplitude) {
    WithFormat(format, [&](auto f) {
        constexpr std::size_t kBytes = static_cast<std::size_t>(BytesPerSample(f.value));
        for (std::size_t i = 0; i < count; ++i) StoreSample<f.value>(out + i * kBytes, amplitude * source[i]);
    });
}

void StoreLineSamples(SampleFormat format, const double* source, std::uint8_t* out, std::size_t count) {
    WithFormat(format, [&](auto f) {
        constexpr SampleFormat kF = f.value;
        for (std::size_t i = 0; i < count; ++i) {
            const double v = std::clamp(source[i], -1.0, 1.0);
            if constexpr (kF == SampleFormat::U8) {
                out[i] = static_cast<std::uint8_t>(128.0 + std::floor(v * 127.0 + 0.5));
            } else if constexpr (kF == SampleFormat::S16) {
                const auto word = static_cast<std::uint16_t>(NearestPcm16(v));
                out[2 * i] = static_cast<std::uint8_t>(word);
                out[2 * i + 1] = static_cast<std::uint8_t>(word >> 8);
            } else if constexpr (kF == SampleFormat::MuLaw) {
                out[i] = MuLawFromLinear(NearestPcm16(v));
            } else {
                out[i] = ALawFromLinear(NearestPcm16(v));
            }
        }
    });
}

void LoadPcmSamples(SampleFormat pcm, const std::uint8_t* in, double* out, std::size_t count) {
    if (pcm == SampleFormat::U8) {
        for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<double>(in[i] - 128) / 127.0;
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = static_cast<double>(static_cast<std::int16_t>(in[2 * i] | (in[2 * i + 1] << 8))) / 32767.0;
    }
}

void EncodeFrom16(SampleFormat format, const std::uint8_t* source, std::uint8_t* out, std::size_t count) {
    const bool muLaw = format == SampleFormat::MuLaw;
    for (std::size_t i = 0; i < count; ++i) {
        const auto s = static_cast<std::int16_t>(source[2 * i] | (source[2 * i + 1] << 8));
        out[i] = muLaw ? MuLawFromLinear(s) : ALawFromLinear(s);
    }
}

}  // namespace Quorvex::VarnelNet
