#pragma once

#include <cstdint>

#include "varnel/generators/SignalDeviation.h"
#include "varnel/generators/Symbols.h"
#include "varnel/signal/SampleFormat.h"

namespace Quorvex::VarnelNet {

// A generator renders one queued request in one sample format: 8-bit unsigned or 16-bit signed
// little-endian PCM, or G.711 bytes of the 16-bit samples. It is set up once, then pulled with
// Read until Read answers 0. Generators are thin: their signals come from the signal core.
class CGenBase {
public:
    virtual ~CGenBase() = default;

    // Drops the generator's content and what it holds.
    virtual void Clear() = 0;
    // Stores the output format and level (a linear factor, 0..1).
    virtual int Init(SampleFormat format, float sampleRate, float amplitude) = 0;
    // Writes the next bytes of the request to buffer, whole samples only, at most byteCount.
    // Returns the bytes written; 0 once the request has no more output.
    virtual int Read(std::uint8_t* buffer, int byteCount) = 0;
    // The bytes the request has still to render (all of them before the first Read), known
    // from its set-up; -1 for a signal without end.
    virtual std::int64_t Length() const = 0;
    // Reports every symbol the request will render, in order, from its set-up alone; called
    // before the first Read. A generator without symbols reports none.
    virtual void ReportSymbols(const SymbolReport& /*report*/) const {}

    // With perTone, the level set by Init is that of every tone, not that of the mean of the
    // tones sounding together. A generator that sounds one tone at a time has nothing to change.
    virtual void SetLevelPerTone(bool /*perTone*/) {}
    // The relative levels of the tones sounding together, added up, at the most: with the level
    // per tone, the level times this must stay within full scale.
    virtual double LoudestLevelSum() const { return 1.0; }

    // PCM: is16Bit is 1 for 16-bit samples, 0 for 8-bit.
    int Init(std::uint8_t is16Bit, float sampleRate, float amplitude) {
        return Init(is16Bit ? SampleFormat::S16 : SampleFormat::U8, sampleRate, amplitude);
    }

    // The sender's deviation from the nominal signal; set before Init.
    void Deviate(const SignalDeviation& deviation) { m_deviation = deviation; }

protected:
    const SignalDeviation& Deviation() const { return m_deviation; }

private:
    SignalDeviation m_deviation;
};

}  // namespace Quorvex::VarnelNet
