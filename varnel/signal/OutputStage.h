#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "varnel/signal/G711.h"
#include "varnel/signal/SampleFormat.h"

namespace Quorvex::VarnelNet {

// The one place where a signal value becomes output bytes. A value v is the signal already
// scaled by its level (|v| <= 1). PCM truncates toward zero, without clipping or rounding:
// 16-bit stores trunc(v * 32767.0), 8-bit trunc(v * 127.0 + 128.0). G.711 encodes the 16-bit
// value.
template <SampleFormat F>
inline void StoreSample(std::uint8_t* out, double v) {
    if constexpr (F == SampleFormat::U8) {
        out[0] = static_cast<std::uint8_t>(static_cast<int>(v * 127.0 + 128.0));
    } else {
        const int s = static_cast<int>(v * 32767.0);
        if constexpr (F == SampleFormat::S16) {
            if constexpr (std::endian::native == std::endian::little) {
                const auto word = static_cast<std::uint16_t>(s);
                std::memcpy(out, &word, sizeof word);
            } else {
                out[0] = static_cast<std::uint8_t>(s);
                out[1] = static_cast<std::uint8_t>(s >> 8);
            }
        } else if constexpr (F == SampleFormat::MuLaw) {
            out[0] = MuLawFromLinear(static_cast<std::int16_t>(s));
        } else {
            out[0] = ALawFromLinear(static_cast<std::int16_t>(s));
        }
    }
}

#if defined(__GNUC__)
// Two consecutive samples' values in the lanes of one register: every operation on it is the
// scalar operation, lane by lane.
using SamplePair = double __attribute__((vector_size(16)));

// Two consecutive samples, amplitude * v[0] and amplitude * v[1], as StoreSample stores them.
template <SampleFormat F>
inline void StoreSamplePair(std::uint8_t* out, double amplitude, SamplePair v) {
    if constexpr (F == SampleFormat::S16 && std::endian::native == std::endian::little) {
        using IntPair = std::int32_t __attribute__((vector_size(8)));
        using Halves = std::int16_t __attribute__((vector_size(8)));
        using WordPair = std::int16_t __attribute__((vector_size(4)));
        const IntPair s = __builtin_convertvector(v * amplitude * 32767.0, IntPair);
        // The low 16 bits of each (halves 0 and 2), as the scalar cast keeps them. The compiler's
        // bit cast: the C++ library of Emscripten 3.1 (libc++ 13) has no std::bit_cast.
        const auto halves = __builtin_bit_cast(Halves, s);
        const WordPair words = __builtin_shufflevector(halves, halves, 0, 2);
        std::memcpy(out, &words, sizeof words);
    } else {
        StoreSample<F>(out, amplitude * v[0]);
        StoreSample<F>(out + BytesPerSample(F), amplitude * v[1]);
    }
}
#endif

// Two consecutive samples, amplitude * v0 and amplitude * v1: the same arithmetic as
// StoreSample, in one pair of registers where the compiler has them.
template <SampleFormat F>
inline void StoreSamplePair(std::uint8_t* out, double amplitude, double v0, double v1) {
#if defined(__GNUC__)
    StoreSamplePair<F>(out, amplitude, SamplePair{v0, v1});
#else
    StoreSample<F>(out, amplitude * v0);
    StoreSample<F>(out + BytesPerSample(F), amplitude * v1);
#endif
}

// The byte every silent sample is made of: 0x80, 0x00, and the G.711 codes of 0.
constexpr std::uint8_t SilenceByte(SampleFormat format) {
    switch (format) {
        case SampleFormat::U8: return 0x80;
        case SampleFormat::S16: return 0x00;
        case SampleFormat::MuLaw: return 0xFF;
        case SampleFormat::ALaw: return 0xD5;
    }
    return 0x00;
}

// Calls fn with std::integral_constant<SampleFormat, format>, so that a rendering loop is
// compiled once per format and chosen once per call, not per sample.
template <class Fn>
decltype(auto) WithFormat(SampleFormat format, Fn&& fn) {
    switch (format) {
        case SampleFormat::S16: return fn(std::integral_constant<SampleFormat, SampleFormat::S16>{});
        case SampleFormat::MuLaw: return fn(std::integral_constant<SampleFormat, SampleFormat::MuLaw>{});
        case SampleFormat::ALaw: return fn(std::integral_constant<SampleFormat, SampleFormat::ALaw>{});
        case SampleFormat::U8: break;
    }
    return fn(std::integral_constant<SampleFormat, SampleFormat::U8>{});
}

// Writes `samples` silent samples.
void FillSilence(SampleFormat format, std::uint8_t* out, std::size_t samples);

// Writes count values, each amplitude * source[i], in the format.
void StoreSamples(SampleFormat format, const double* source, std::uint8_t* out, std::size_t count, double amplitude);

// Samples that come from the line (LineImpairments.h), held within full scale and rounded to
// the nearest step: 16-bit and G.711 the nearest 16-bit sample (NearestPcm16), 8-bit 128 plus
// the nearest whole number of 1/127.
void StoreLineSamples(SampleFormat format, const double* source, std::uint8_t* out, std::size_t count);

// PCM samples as numbers for the line: 16-bit s / 32767, 8-bit (u - 128) / 127; stored back
// by StoreLineSamples they give the same bytes.
void LoadPcmSamples(SampleFormat pcm, const std::uint8_t* in, double* out, std::size_t count);

// Encodes count 16-bit little-endian PCM samples as G.711 (format MuLaw or ALaw); out may be
// the start of the source itself.
void EncodeFrom16(SampleFormat format, const std::uint8_t* source, std::uint8_t* out, std::size_t count);

}  // namespace Quorvex::VarnelNet
