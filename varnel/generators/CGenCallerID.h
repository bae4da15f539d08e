#pragma once

#include <cstdint>
#include <vector>

#include "varnel/engine/Enumerations.h"
#include "varnel/generators/CGenBase.h"

namespace Quorvex::VarnelNet {

// One on-hook Caller-ID transmission as Bell 202 continuous-phase FSK (mark 1200 Hz, space
// 2200 Hz): 300 bits of channel seizure, 181 mark bits, then the message bytes as start bit,
// 8 data bits (least significant first) and stop bit.
class CGenCallerID : public CGenBase {
public:
    CGenCallerID() = default;
    ~CGenCallerID() override;

    void Clear() override;
    int Init(std::uint8_t is16Bit, float sampleRate, float amplitude) override;
    // Renders whole bits while at least one fits; offered less than one bit, renders part of
    // it and goes on from there in the next call.
    int Read(std::uint8_t* buffer, int byteCount) override;

    // CBT_WholeSamples (the default) or CBT_Exact; call after Init, before Read.
    void SetBitTiming(CID_BIT_TIMING timing);
    // The fewest samples a bit gets at the rate and timing set; 0 when some bits would get none
    // (or the rate is not usable), and such a transmission should not be queued.
    std::int32_t MinimumSamplesPerBit() const;

    // The message builders: each returns 0, or -1 / -2 when an argument is refused, and then
    // holds no message. Texts are zero-terminated narrow strings; null counts as empty.
    // SDMF takes a number of 1 to 40 bytes. MDMF leaves out an empty number or name and refuses
    // one of 256 bytes or more, and parameters of more than 255 bytes in all (the length byte).
    // Raw sends the bytes of data as the whole message body, any length.
    int BuildSDMF(const char* number, const char* dateTime);
    int BuildMDMF(const char* number, const char* name, const char* dateTime);
    int BuildRaw(const char* data);

    // The message with its checksum and the trailing zero byte, as it will be sent.
    const std::vector<std::uint8_t>& Message() const { return m_message; }

    // Writes MMDDHHMM from "MM/DD HH:MM", or from the local time when dateTime is null or
    // empty. Returns 0, -1 (not 11 bytes) or -2 (a separator is wrong).
    static int FormatDateTime(const char* dateTime, std::uint8_t (&out)[8]);

private:
    std::int64_t TotalBits() const;
    bool IsMarkBit(std::int64_t bit) const;
    std::int32_t NextBitLength() const;
    void RenderNextBit();
    std::int32_t Emit(std::uint8_t* out, std::int32_t samples);
    void FillSine(double* samples, std::int32_t count, double cosine, double step, bool seed) const;
    void AddChecksum();

    // Sine samples of the bit being sent. Bits of the mark signal start at entry 2, after the
    // last two samples of the bit before, so that the recursion runs on through all of them.
    std::vector<double> m_work;
    std::int32_t m_samplesPerBit = 0;   // whole-sample timing
    std::int32_t m_longestBit = 0;      // either timing; the work buffer holds at least this + 2
    float m_sampleRate = 0.0f;
    std::uint8_t m_is16Bit = 0;
    float m_amplitude = 0.0f;
    CID_BIT_TIMING m_timing = CBT_WholeSamples;
    double m_markStep = 0.0;            // radians per sample, 1200 Hz
    double m_spaceStep = 0.0;           // radians per sample, 2200 Hz
    double m_markCosine = 0.0;
    double m_spaceCosine = 0.0;
    double m_phase = 0.0;               // of the next bit's first sample; never reduced
    std::vector<std::uint8_t> m_message;

    std::int64_t m_nextBit = 0;         // the transmission bit to compute next
    std::int64_t m_samplesDone = 0;     // where the bits computed so far end, in samples
    std::int32_t m_bitLength = 0;       // samples of the bit in the work buffer
    std::int32_t m_bitSent = 0;         // of them already written
    std::int32_t m_bitStart = 0;        // its first entry: 0, or 2 in the mark signal
    std::int32_t m_markComputed = 0;    // mark samples computed from the bit's start (>= its length)
};

}  // namespace Quorvex::VarnelNet
