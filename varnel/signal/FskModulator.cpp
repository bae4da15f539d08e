#include "varnel/signal/FskModulator.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "varnel/signal/OutputStage.h"

namespace Quorvex::VarnelNet {

namespace {

// n samples of y = c2 * y1 - y2 scaled by amplitude, two per pass with the newer value written
// over the older, so that the dependent chain carries no register copies.
template <SampleFormat F>
void RunRecursion(double c2, double& y1, double& y2, double amplitude, std::uint8_t* out, std::size_t n) {
    constexpr std::size_t kBytes = static_cast<std::size_t>(BytesPerSample(F));
    double a = y1;
    double b = y2;
    std::size_t i = 0;
    for (; i + 2 <= n; i += 2, out += 2 * kBytes) {
        b = c2 * a - b;
        StoreSample<F>(out, amplitude * b);
        a = c2 * b - a;
        StoreSample<F>(out + kBytes, amplitude * a);
    }
    if (i < n) {
        const double y = c2 * a - b;
        b = a;
        a = y;
        StoreSample<F>(out, amplitude * y);
    }
    y1 = a;
    y2 = b;
}

}  // namespace

void FskModulator::Start(const ModemSpec& spec, FskKeying keying, BitTiming timing, double sampleRate,
                         SampleFormat format, double amplitude) {
    m_keying = keying;
    m_timing = timing;
    m_format = format;
    m_sampleRate = sampleRate;
    m_bitRate = spec.bitRate;
    m_amplitude = amplitude;
    m_spaceAmplitude = amplitude;
    const double samplesPerBit = spec.bitSeconds > 0.0 ? sampleRate * spec.bitSeconds : sampleRate / spec.bitRate;
    m_samplesPerBit = samplesPerBit >= 0.0 && samplesPerBit < 2147483647.0
                          ? static_cast<std::int32_t>(samplesPerBit + 0.5)
                          : 0;
    m_markStep = kTwoPi * spec.markHz / sampleRate;
    m_spaceStep = kTwoPi * spec.spaceHz / sampleRate;
    m_markCosine = std::cos(m_markStep);
    m_spaceCosine = std::cos(m_spaceStep);
    m_mark = SineOscillator::Start(spec.markHz, sampleRate);
    m_space = SineOscillator::Start(spec.spaceHz, sampleRate);
    m_phase = std::numbers::pi;
    Load({});
}

void FskModulator::SetSpaceLevel(double relative) {
    m_spaceAmplitude = relative == 1.0 ? m_amplitude : m_amplitude * relative;
}

void FskModulator::Load(FskSymbols symbols) {
    m_symbols = std::move(symbols);
    m_next = 0;
    m_halfBits = 0;
    m_samplesDone = 0;
    m_left = 0;
    std::int64_t halfBits = 0;
    std::int64_t samples = 0;
    for (const std::uint8_t s : m_symbols) {
        samples += LengthOf(s, halfBits, samples);
        halfBits += (s & FskSymbol::kHalf) ? 1 : 2;
    }
    m_totalSamples = samples;
}

std::int32_t FskModulator::ShortestBit() const {
    if (m_timing == BitTiming::Exact) {
        const double samples = m_sampleRate / m_bitRate;
        return samples >= 0.0 && samples < 2147483647.0 ? static_cast<std::int32_t>(samples) : 0;
    }
    return m_samplesPerBit;
}

// With exact timing, time is counted in half bits: a symbol ending after h half bits ends at
// sample round(h * rate / (2 * bit rate)), which for whole bits is round(k * rate / bit rate).
std::int32_t FskModulator::LengthOf(std::uint8_t symbol, std::int64_t halfBitsBefore, std::int64_t samplesBefore) const {
    const bool half = (symbol & FskSymbol::kHalf) != 0;
    if (m_timing == BitTiming::Exact) {
        const std::int64_t halfBitsAfter = halfBitsBefore + (half ? 1 : 2);
        const double end = static_cast<double>(halfBitsAfter) * m_sampleRate / (2.0 * m_bitRate);
        return static_cast<std::int32_t>(std::llround(end) - samplesBefore);
    }
    return half ? (m_samplesPerBit + 1) / 2 : m_samplesPerBit;
}

void FskModulator::ForEachSymbol(const std::function<void(std::size_t, std::int64_t, std::int64_t)>& timed) const {
    std::int64_t halfBits = 0;
    std::int64_t samples = 0;
    for (std::size_t i = 0; i < m_symbols.size(); ++i) {
        const std::int32_t length = LengthOf(m_symbols[i], halfBits, samples);
        timed(i, samples, length);
        samples += length;
        halfBits += (m_symbols[i] & FskSymbol::kHalf) ? 1 : 2;
    }
}

void FskModulator::StartSymbol() {
    m_symbol = m_symbols[m_next++];
    const std::int32_t length = LengthOf(m_symbol, m_halfBits, m_samplesDone);
    m_halfBits += (m_symbol & FskSymbol::kHalf) ? 1 : 2;
    m_samplesDone += length;
    m_left = length;
    if ((m_symbol & FskSymbol::kSilent) || m_keying == FskKeying::SwitchedTones) return;

    const bool mark = (m_symbol & FskSymbol::kValue) != 0;
    const double step = mark ? m_markStep : m_spaceStep;
    m_cosine = mark ? m_markCosine : m_spaceCosine;
    if (!(m_symbol & FskSymbol::kContinue)) {
        m_seed0 = std::sin(m_phase);
        m_seed1 = std::sin(m_phase + step);
        m_runIndex = 0;
    }
    m_phase = m_phase + static_cast<double>(length) * step;
}

template <SampleFormat F>
void FskModulator::RenderPart(std::uint8_t* out, std::size_t n) {
    constexpr std::size_t kBytes = static_cast<std::size_t>(BytesPerSample(F));
    const double amplitude = (m_symbol & FskSymbol::kValue) ? m_amplitude : m_spaceAmplitude;
    if (m_symbol & FskSymbol::kSilent) {
        FillSilence(F, out, n);
        return;
    }
    if (m_keying == FskKeying::SwitchedTones) {
        SineOscillator& tone = (m_symbol & FskSymbol::kValue) ? m_mark : m_space;
        RunRecursion<F>(tone.cw * 2.0, tone.y1, tone.y2, amplitude, out, n);
        return;
    }
    std::size_t i = 0;
    for (; i < n && m_runIndex < 2; ++i, ++m_runIndex, out += kBytes) {
        const double x = m_runIndex == 0 ? m_seed0 : m_seed1;
        m_y2 = m_y1;
        m_y1 = x;
        StoreSample<F>(out, amplitude * x);
    }
    RunRecursion<F>(2.0 * m_cosine, m_y1, m_y2, amplitude, out, n - i);
}

void FskModulator::RenderCurrent(std::uint8_t* out, std::size_t n) {
    WithFormat(m_format, [&](auto f) { RenderPart<f.value>(out, n); });
    m_left -= static_cast<std::int64_t>(n);
}

std::size_t FskModulator::Render(std::uint8_t* out, std::size_t samples) {
    const auto bytesPerSample = static_cast<std::size_t>(BytesPerSample(m_format));
    std::size_t written = 0;
    WithFormat(m_format, [&](auto f) {
        while (written < samples) {
            if (m_left == 0) {
                if (m_next >= m_symbols.size()) break;
                StartSymbol();
                continue;
            }
            const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(m_left, static_cast<std::int64_t>(samples - written)));
            RenderPart<f.value>(out + written * bytesPerSample, n);
            m_left -= static_cast<std::int64_t>(n);
            written += n;
        }
    });
    return written;
}

std::size_t FskModulator::RenderWholeSymbols(std::uint8_t* out, std::size_t room) {
    const auto bytesPerSample = static_cast<std::size_t>(BytesPerSample(m_format));
    std::size_t written = 0;
    if (m_left > 0) {
        written = static_cast<std::size_t>(std::min<std::int64_t>(m_left, static_cast<std::int64_t>(room)));
        RenderCurrent(out, written);
        if (m_left > 0) return written;
    }
    while (m_next < m_symbols.size()) {
        const std::int32_t length = LengthOf(m_symbols[m_next], m_halfBits, m_samplesDone);
        if (static_cast<std::size_t>(length) > room - written) break;
        StartSymbol();
        RenderCurrent(out + written * bytesPerSample, static_cast<std::size_t>(length));
        written += static_cast<std::size_t>(length);
    }
    if (written == 0 && room > 0 && m_next < m_symbols.size()) {
        StartSymbol();
        written = static_cast<std::size_t>(std::min<std::int64_t>(m_left, static_cast<std::int64_t>(room)));
        RenderCurrent(out, written);
    }
    return written;
}

}  // namespace Quorvex::VarnelNet
