#pragma once

#include <cstdint>
#include <vector>

#include "varnel/generators/CGenBase.h"
#include "varnel/signal/FskModulator.h"

namespace Quorvex::VarnelNet {

// One on-hook Caller-ID transmission as Bell 202 continuous-phase FSK (mark 1200 Hz, space
// 2200 Hz): 300 bits of channel seizure, 181 mark bits (one run of the tone), then the message
// bytes as start bit, 8 data bits (least significant first) and stop bit.
class CGenCallerID : public CGenBase {
public:
    using CGenBase::Init;

    CGenCallerID() = default;
    ~CGenCallerID() override;

    void Clear() override;
    int Init(SampleFormat format, float sampleRate, float amplitude) override;
    // Renders whole bits while at least one fits; offered less than one bit, renders part of
    // it and goes on from there in the next call.
    int Read(std::uint8_t* buffer, int byteCount) override;
    std::int64_t Length() const override;

    // Whole-sample bits (the default) or exact 1200 bit/s; call after Init, before a builder.
    void SetBitTiming(BitTiming timing);
    // The fewest samples a bit gets at the rate and timing set; 0 when some bits would get none
    // (or the rate is not usable), and such a transmission should not be queued.
    std::int32_t MinimumSamplesPerBit() const;

    // The message builders: each returns 0, or -1 / -2 when an argument is refused, and then
    // holds no message (CallerIdMessage.h gives the layouts and limits).
    int BuildSDMF(const char* number, const char* dateTime);
    int BuildMDMF(const char* number, const char* name, const char* dateTime);
    int BuildRaw(const char* data);

    // The message with its checksum and the trailing zero byte, as it will be sent.
    const std::vector<std::uint8_t>& Message() const { return m_message; }

    // Writes MMDDHHMM from "MM/DD HH:MM", or from the local time when dateTime is null or
    // empty. Returns 0, -1 (not 11 bytes) or -2 (a separator is wrong).
    static int FormatDateTime(const char* dateTime, std::uint8_t (&out)[8]);

private:
    // Starts the modulator and loads the seizure, the mark signal and the framed message.
    int Load(int built);

    SampleFormat m_format = SampleFormat::U8;
    float m_sampleRate = 0.0f;
    float m_amplitude = 0.0f;
    BitTiming m_timing = BitTiming::WholeSamples;
    bool m_usable = false;  // the rate is one a bit can be counted at
    std::vector<std::uint8_t> m_message;
    FskModulator m_modem;
};

}  // namespace Quorvex::VarnelNet
