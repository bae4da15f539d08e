#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "varnel/signal/FskSymbols.h"
#include "varnel/signal/ModemSpec.h"
#include "varnel/signal/SampleFormat.h"
#include "varnel/signal/SineOscillator.h"

namespace Quorvex::VarnelNet {

// How bits are laid on samples.
enum class BitTiming : std::uint8_t {
    WholeSamples,  // every bit has the same whole number of samples (see ModemSpec)
    Exact,         // bit k ends at sample round((k + 1) * rate / bit rate): the nominal rate exactly
};

// How the tone follows the bits.
enum class FskKeying : std::uint8_t {
    // One running phase: every bit starts from it as sin(phase), sin(phase + step), then the
    // recursion, and the phase advances by the bit's samples times its step (Caller-ID). A bit
    // marked kContinue runs the previous bit's recursion on instead.
    ContinuousPhase,
    // Two free-running oscillators, mark and space, each starting at phase 0 and advancing only
    // while its bit is sent (text telephones).
    SwitchedTones,
};

// Frequency-shift keying of a string of symbols (FskSymbols.h) into samples of one format,
// rendered in pieces of any size: the output does not depend on how it is pulled.
class FskModulator {
public:
    // Sets up the tones and the bit clock; the symbols come with Load.
    void Start(const ModemSpec& spec, FskKeying keying, BitTiming timing, double sampleRate,
               SampleFormat format, double amplitude);
    void Load(FskSymbols symbols);
    // The space tone at `relative` times the mark tone's level (1: the same; set after Start).
    void SetSpaceLevel(double relative);

    // Samples of a bit with whole-sample timing.
    std::int32_t SamplesPerBit() const { return m_samplesPerBit; }
    // The fewest samples a whole bit gets with the timing in force; 0 means some bit would
    // have none, and the transmission must not be sent.
    std::int32_t ShortestBit() const;
    std::int64_t TotalSamples() const { return m_totalSamples; }
    std::int64_t Position() const { return m_samplesDone - m_left; }
    bool Done() const { return Position() >= m_totalSamples; }
    // Writes the next min(samples, what is left) samples; returns how many.
    std::size_t Render(std::uint8_t* out, std::size_t samples);
    // Writes whole symbols where they fit in `room` samples: first the rest of a symbol an
    // earlier call could only start, then every symbol that fits completely. Only a call that
    // writes nothing else starts a symbol it cannot finish, so small rooms never stall it.
    std::size_t RenderWholeSymbols(std::uint8_t* out, std::size_t room);

    // Calls timed(symbol index, first sample, samples) for every loaded symbol, from the start,
    // with the timing Render gives it.
    void ForEachSymbol(const std::function<void(std::size_t, std::int64_t, std::int64_t)>& timed) const;

private:
    static std::int64_t HalfBits(std::uint8_t symbol) { return (symbol & FskSymbol::kHalf) ? 1 : 2; }
    std::int32_t LengthOf(std::uint8_t symbol, std::int64_t halfBitsBefore, std::int64_t samplesBefore) const {
        if (m_timing == BitTiming::Exact) return ExactLengthOf(symbol, halfBitsBefore, samplesBefore);
        return (symbol & FskSymbol::kHalf) ? (m_samplesPerBit + 1) / 2 : m_samplesPerBit;
    }
    std::int32_t ExactLengthOf(std::uint8_t symbol, std::int64_t halfBitsBefore, std::int64_t samplesBefore) const;
    // Makes the next symbol, of length samples, the current one.
    void StartSymbol(std::int32_t length);
    // Writes n samples of the current symbol.
    template <SampleFormat F>
    void RenderPart(std::uint8_t* out, std::size_t n);
    // Writes what is left of the current symbol, at most room samples; returns how many.
    template <SampleFormat F>
    std::size_t RenderLeft(std::uint8_t* out, std::size_t room);
    // Starts and writes whole symbols of continuous-phase keying while they fit in room and
    // need no more than the running state; returns the samples written.
    template <SampleFormat F>
    std::size_t RenderBits(std::uint8_t* out, std::size_t room);
    template <SampleFormat F>
    std::size_t RenderWholeSymbolsAs(std::uint8_t* out, std::size_t room);

    FskKeying m_keying = FskKeying::ContinuousPhase;
    BitTiming m_timing = BitTiming::WholeSamples;
    SampleFormat m_format = SampleFormat::S16;
    double m_sampleRate = 0.0;
    double m_bitRate = 1.0;
    double m_amplitude = 0.0;
    double m_spaceAmplitude = 0.0;
    std::int32_t m_samplesPerBit = 0;
    double m_markStep = 0.0;
    double m_spaceStep = 0.0;
    double m_markCosine = 0.0;
    double m_spaceCosine = 0.0;
    SineOscillator m_mark;
    SineOscillator m_space;

    FskSymbols m_symbols;
    std::int64_t m_totalSamples = 0;
    std::size_t m_next = 0;          // the symbol to start next
    std::int64_t m_halfBits = 0;     // time through the end of the started symbols
    std::int64_t m_samplesDone = 0;  // samples through the end of the started symbols
    std::int64_t m_left = 0;         // samples of the current symbol still to write

    // The current symbol.
    std::uint8_t m_symbol = FskSymbol::kSilent;
    double m_phase = 0.0;            // continuous phase of the next seeded bit; never reduced
    double m_cosine = 0.0;
    double m_seed0 = 0.0;            // sin(phase), sin(phase + step) of the seeded bit
    double m_seed1 = 0.0;
    int m_runIndex = 2;              // samples written since the seed, up to 2
    double m_y1 = 0.0;               // the recursion's last two samples
    double m_y2 = 0.0;
};

}  // namespace Quorvex::VarnelNet
