#include "varnel/signal/OutputStage.h"

#include <cstring>

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

void EncodeFrom16(SampleFormat format, const std::uint8_t* source, std::uint8_t* out, std::size_t count) {
    const bool muLaw = format == SampleFormat::MuLaw;
    for (std::size_t i = 0; i < count; ++i) {
        const auto s = static_cast<std::int16_t>(source[2 * i] | (source[2 * i + 1] << 8));
        out[i] = muLaw ? MuLawFromLinear(s) : ALawFromLinear(s);
    }
}

}  // namespace Quorvex::VarnelNet
