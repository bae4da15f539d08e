#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "varnel/generators/CGenBase.h"
#include "varnel/signal/CallerIdStandard.h"
#include "varnel/signal/FskModulator.h"
#include "varnel/signal/ToneSequence.h"

namespace Quorvex::VarnelNet {

// One Caller-ID transmission. By default (Bell 202 without alert) it is on-hook Bell 202
// continuous-phase FSK (mark 1200 Hz, space 2200 Hz): 300 bits of channel seizure, 181 mark bits
// (one run of the tone), then the message bytes as start bit, 8 data bits (least significant
// first) and stop bit. SetStandard selects another dialect (CallerIdStandard.h): its alerting
// tones go first, then its preamble and message on V.23 FSK, or its keys as DTMF.
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
    void SetLevelPerTone(bool perTone) override;
    double LoudestLevelSum() const override;
    // The alert's tones and pauses; for FSK the channel seizure and the mark signal, then the
    // message (with its decoded fields) and each of its bytes; for DTMF the message and its keys.
    void ReportSymbols(const SymbolReport& report) const override;

    // Whole-sample bits (the default) or exact bit rate; call after Init, before a builder.
    void SetBitTiming(BitTiming timing);
    // The dialect and what goes before the data; call after Init, before a builder. The pair
    // must be one CallerIdPlan::CheckAlert accepts.
    void SetStandard(CallerIdStandard standard, CallerIdAlert alert);
    // The fewest samples a bit gets at the rate and timing set; 0 when some bits would get none
    // (or the rate is not usable), and such a transmission should not be queued. DTMF has no
    // bits: 1 at any usable rate.
    std::int32_t MinimumSamplesPerBit() const;

    // The Bell 202 message builders: each returns 0, or -1 / -2 when an argument is refused,
    // and then holds no message (CallerIdMessage.h gives the layouts and limits).
    int BuildSDMF(const char* number, const char* dateTime);
    int BuildMDMF(const char* number, const char* name, const char* dateTime);
    int BuildRaw(const char* data);

    // The message of the standard set, in a layout; message waiting on or off. Each returns an
    // empty text, or why the request is refused (and then holds no message).
    std::string BuildCallerID(CallerIdLayout layout, const CallerIdContent& content);
    std::string BuildVMWI(CallerIdLayout layout, bool active);

    // The message as it will be sent: with its check (checksum and the trailing zero byte, or
    // NTT's CRC), or the DTMF keys.
    const std::vector<std::uint8_t>& Message() const { return m_message; }

    // Writes MMDDHHMM from "MM/DD HH:MM", or from the local time when dateTime is null or
    // empty. Returns 0, -1 (not 11 bytes) or -2 (a separator is wrong).
    static int FormatDateTime(const char* dateTime, std::uint8_t (&out)[8]);

private:
    // Starts the lead-in and the modulator, and loads the preamble and the framed message.
    int Load(int built);
    std::string Load(std::string refusal);
    bool IsFsk() const { return m_standard != CallerIdStandard::Dtmf; }
    const ModemSpec& Modem() const { return m_standard == CallerIdStandard::Bell202 ? kBell202 : kV23; }
    void ReportFsk(const SymbolReport& report, Symbol& message) const;
    void ReportDtmf(const SymbolReport& report, Symbol& message) const;

    SampleFormat m_format = SampleFormat::U8;
    float m_sampleRate = 0.0f;
    float m_amplitude = 0.0f;
    BitTiming m_timing = BitTiming::WholeSamples;
    CallerIdStandard m_standard = CallerIdStandard::Bell202;
    CallerIdAlert m_alert = CallerIdAlert::None;
    bool m_usable = false;  // the rate is one a bit can be counted at
    std::vector<std::uint8_t> m_message;
    ToneSequence m_lead;  // the alerting tones, or the whole DTMF message
    FskModulator m_modem;
};

}  // namespace Quorvex::VarnelNet
