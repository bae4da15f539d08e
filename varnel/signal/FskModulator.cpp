#include "varnel/signal/FskModulator.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "varnel/signal/OutputStage.h"
#include "varnel/signal/PortableMath.h"

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
        a = c2 * b - a;
        StoreSamplePair<F>(out, amplitude, b, a);
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

// A bit started afresh: its two seed samples, then the recursion from them; n >= 2 samples.
struct SeededBit {
    double c2;
    double older;  // the seeds, then the bit's last two samples
    double newer;
    std::uint8_t* out;
    std::size_t n;
};

template <SampleFormat F>
void RunSeeded(SeededBit& r, double amplitude) {
    constexpr std::size_t kBytes = static_cast<std::size_t>(BytesPerSample(F));
    StoreSamplePair<F>(r.out, amplitude, r.older, r.newer);
    RunRecursion<F>(r.c2, r.newer, r.older, amplitude, r.out + 2 * kBytes, r.n - 2);
}

// Two seeded bits side by side: their recursions do not depend on each other, so running them
// together halves the dependent chain per sample. Every sample is the same product as alone.
template <SampleFormat F>
void RunSeededPair(SeededBit& r, SeededBit& s, double amplitude) {
    constexpr std::size_t kBytes = static_cast<std::size_t>(BytesPerSample(F));
    StoreSamplePair<F>(r.out, amplitude, r.older, r.newer);
    StoreSamplePair<F>(s.out, amplitude, s.older, s.newer);
    double ra = r.newer, rb = r.older, sa = s.newer, sb = s.older;
    const double rc = r.c2, sc = s.c2;
    const std::size_t common = std::min(r.n, s.n);
    std::size_t i = 2;
    for (; i + 2 <= common; i += 2) {
        rb = rc * ra - rb;
        sb = sc * sa - sb;
        ra = rc * rb - ra;
        sa = sc * sb - sa;
        StoreSamplePair<F>(r.out + i * kBytes, amplitude, rb, ra);
        StoreSamplePair<F>(s.out + i * kBytes, amplitude, sb, sa);
    }
    RunRecursion<F>(rc, ra, rb, amplitude, r.out + i * kBytes, r.n - i);
    RunRecursion<F>(sc, sa, sb, amplitude, s.out + i * kBytes, s.n - i);
    r.newer = ra;
    r.older = rb;
    s.newer = sa;
    s.older = sb;
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
    m_markCosine = PortableMath::Cos(m_markStep);
    m_spaceCosine = PortableMath::Cos(m_spaceStep);
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
        halfBits += HalfBits(s);
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
std::int32_t FskModulator::ExactLengthOf(std::uint8_t symbol, std::int64_t halfBitsBefore, std::int64_t samplesBefore) const {
    const std::int64_t halfBitsAfter = halfBitsBefore + HalfBits(symbol);
    const double end = static_cast<double>(halfBitsAfter) * m_sampleRate / (2.0 * m_bitRate);
    return static_cast<std::int32_t>(std::llround(end) - samplesBefore);
}

void FskModulator::ForEachSymbol(const std::function<void(std::size_t, std::int64_t, std::int64_t)>& timed) const {
    std::int64_t halfBits = 0;
    std::int64_t samples = 0;
    for (std::size_t i = 0; i < m_symbols.size(); ++i) {
        const std::int32_t length = LengthOf(m_symbols[i], halfBits, samples);
        timed(i, samples, length);
        samples += length;
        halfBits += HalfBits(m_symbols[i]);
    }
}

void FskModulator::StartSymbol(std::int32_t length) {
    m_symbol = m_symbols[m_next++];
    m_halfBits += HalfBits(m_symbol);
    m_samplesDone += length;
    m_left = length;
    if ((m_symbol & FskSymbol::kSilent) || m_keying == FskKeying::SwitchedTones) return;

    const bool mark = (m_symbol & FskSymbol::kValue) != 0;
    const double step = mark ? m_markStep : m_spaceStep;
    m_cosine = mark ? m_markCosine : m_spaceCosine;
    if (!(m_symbol & FskSymbol::kContinue)) {
        m_seed0 = PortableMath::Sin(m_phase);
        m_seed1 = PortableMath::Sin(m_phase + step);
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

std::size_t FskModulator::Render(std::uint8_t* out, std::size_t samples) {
    const auto bytesPerSample = static_cast<std::size_t>(BytesPerSample(m_format));
    std::size_t written = 0;
    WithFormat(m_format, [&](auto f) {
        while (written < samples) {
            if (m_left == 0) {
                if (m_next >= m_symbols.size()) break;
                StartSymbol(LengthOf(m_symbols[m_next], m_halfBits, m_samplesDone));
                continue;
            }
            written += RenderLeft<f.value>(out + written * bytesPerSample, samples - written);
        }
    });
    return written;
}

template <SampleFormat F>
std::size_t FskModulator::RenderLeft(std::uint8_t* out, std::size_t room) {
    const auto n = static_cast<std::size_t>(std::min<std::int64_t>(m_left, static_cast<std::int64_t>(room)));
    RenderPart<F>(out, n);
    m_left -= static_cast<std::int64_t>(n);
    return n;
}

// The usual case of continuous-phase keying, with the state in locals: silent bits, seeded
// bits of two samples or more (two at a time where two follow each other) and bits that run
// the tone on, as StartSymbol and RenderPart would render them one by one.
template <SampleFormat F>
std::size_t FskModulator::RenderBits(std::uint8_t* out, std::size_t room) {
    constexpr std::size_t kBytes = static_cast<std::size_t>(BytesPerSample(F));
    const std::size_t count = m_symbols.size();
    const double amplitude = m_amplitude;
    std::size_t next = m_next;
    std::int64_t halfBits = m_halfBits;
    std::int64_t samplesDone = m_samplesDone;
    double phase = m_phase;
    double y1 = m_y1;
    double y2 = m_y2;
    bool running = m_runIndex >= 2;  // the recursion may run on from y1 and y2
    std::size_t written = 0;
    const auto take = [&](std::uint8_t symbol, std::int32_t length) {
        ++next;
        halfBits += HalfBits(symbol);
        samplesDone += length;
        written += static_cast<std::size_t>(length);
    };
    const auto seed = [&](std::uint8_t symbol, std::int32_t length, std::uint8_t* at) {
        const bool mark = (symbol & FskSymbol::kValue) != 0;
        const double step = mark ? m_markStep : m_spaceStep;
        SeededBit bit{2.0 * (mark ? m_markCosine : m_spaceCosine), PortableMath::Sin(phase),
                      PortableMath::Sin(phase + step), at, static_cast<std::size_t>(length)};
        phase = phase + static_cast<double>(length) * step;
        return bit;
    };
    while (next < count) {
        const std::uint8_t symbol = m_symbols[next];
        const std::int32_t length = LengthOf(symbol, halfBits, samplesDone);
        if (static_cast<std::size_t>(length) > room - written) break;
        std::uint8_t* at = out + written * kBytes;
        if (symbol & FskSymbol::kSilent) {
            FillSilence(F, at, static_cast<std::size_t>(length));
            take(symbol, length);
            continue;
        }
        const bool mark = (symbol & FskSymbol::kValue) != 0;
        if (symbol & FskSymbol::kContinue) {
            if (!running) break;
            const double step = mark ? m_markStep : m_spaceStep;
            const double c2 = 2.0 * (mark ? m_markCosine : m_spaceCosine);
            phase = phase + static_cast<double>(length) * step;
            RunRecursion<F>(c2, y1, y2, amplitude, at, static_cast<std::size_t>(length));
            take(symbol, length);
            continue;
        }
        if (length < 2) break;
        SeededBit first = seed(symbol, length, at);
        take(symbol, length);
        const std::uint8_t following = next < count ? m_symbols[next] : FskSymbol::kSilent;
        const std::int32_t second = next < count ? LengthOf(following, halfBits, samplesDone) : 0;
        if (!(following & (FskSymbol::kSilent | FskSymbol::kContinue)) && second >= 2 &&
            static_cast<std::size_t>(second) <= room - written) {
            SeededBit other = seed(following, second, out + written * kBytes);
            take(following, second);
            RunSeededPair<F>(first, other, amplitude);
            first = other;
        } else {
            RunSeeded<F>(first, amplitude);
        }
        y1 = first.newer;
        y2 = first.older;
        running = true;
    }
    if (next != m_next) {
        m_symbol = m_symbols[next - 1];
        m_next = next;
        m_halfBits = halfBits;
        m_samplesDone = samplesDone;
        m_phase = phase;
        m_y1 = y1;
        m_y2 = y2;
        if (running) m_runIndex = 2;
    }
    return written;
}

template <SampleFormat F>
std::size_t FskModulator::RenderWholeSymbolsAs(std::uint8_t* out, std::size_t room) {
    constexpr std::size_t kBytes = static_cast<std::size_t>(BytesPerSample(F));
    std::size_t written = 0;
    if (m_left > 0) {
        written = RenderLeft<F>(out, room);
        if (m_left > 0) return written;
    }
    while (m_next < m_symbols.size()) {
        // RenderBits keys both tones at one level.
        if (m_keying == FskKeying::ContinuousPhase && m_spaceAmplitude == m_amplitude) {
            written += RenderBits<F>(out + written * kBytes, room - written);
        }
        if (m_next >= m_symbols.size()) break;
        // A symbol RenderBits leaves to the general path.
        const std::int32_t length = LengthOf(m_symbols[m_next], m_halfBits, m_samplesDone);
        if (static_cast<std::size_t>(length) > room - written) break;
        StartSymbol(length);
        written += RenderLeft<F>(out + written * kBytes, static_cast<std::size_t>(length));
    }
    if (written == 0 && room > 0 && m_next < m_symbols.size()) {
        StartSymbol(LengthOf(m_symbols[m_next], m_halfBits, m_samplesDone));
        written = RenderLeft<F>(out, room);
    }
    return written;
}

std::size_t FskModulator::RenderWholeSymbols(std::uint8_t* out, std::size_t room) {
    return WithFormat(m_format, [&](auto f) { return RenderWholeSymbolsAs<f.value>(out, room); });
}

}  // namespace Quorvex::VarnelNet
