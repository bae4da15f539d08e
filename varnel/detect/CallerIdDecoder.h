#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "varnel/detect/AlertToneDetector.h"
#include "varnel/detect/DtmfDetector.h"
#include "varnel/detect/FskDemodulator.h"
#include "varnel/signal/CallerIdFields.h"
#include "varnel/signal/CallerIdStandard.h"

namespace Quorvex::VarnelNet::Detect {

// How a message's check came out. DTMF messages carry none.
enum class CallerIdCheck : std::uint8_t { Good, Bad, None };

// A Caller-ID message heard: its first and last sample (the first byte's start bit to the last
// byte's stop bit, the trailing zero byte included; the first key's tone to the last's), the
// standard it came in, its layout ("SDMF", "MDMF", "NTT", "DTMF", "raw"), whether a dual-tone
// alert went before it, its check, the level of its tones and its fields, read as the library's
// labels read them. A message whose check fails has no fields.
struct HeardCallerId {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    CallerIdStandard standard = CallerIdStandard::Bell202;
    std::string_view layout;
    bool alertSeen = false;
    CallerIdCheck check = CallerIdCheck::None;
    double dbm0 = 0.0;
    std::vector<CallerIdField> fields;
};

// The tool's word for a standard: "bell", "etsi", "bt", "ntt", "dtmf".
std::string_view StandardWord(CallerIdStandard standard);
// The standard a word names, as StandardWord gives them; nothing for another word.
std::optional<CallerIdStandard> StandardOfWord(std::string_view word);

// A streaming Caller-ID receiver for every standard the library renders. A Bell 202 and a V.23
// demodulator run side by side, and a message is taken from the one whose tones it was sent in
// (its mark tone's frequency, measured in the mark before it: below 1250 Hz Bell's); one running
// alone takes every message it hears.
// A message starts with the first character after at least 30 bits of mark: Bell's and ETSI's
// with their message type (SDMF 0x04 or 0x06, MDMF 0x80 or 0x82), then its length, body and
// checksum (the sum of all its bytes 0 modulo 256); NTT's with DLE SOH, its bytes ending after
// DLE ETX and the CRC, each of even parity, the CRC leaving 0. ETSI and BT share their V.23
// messages: one whose channel seizure was shorter than 20 characters and its mark shorter than
// 120 bits is BT's (which the library sends with 96 and 55 bits), any other ETSI's. DTMF
// messages are A, digits, C (a number) or B00C / B10C (an absence), each key within a second of
// the last. An alert is reported as it ends, and is taken as seen by a message starting within a
// second of it.
//
// Named a standard, it listens for that one only, running only the parts it needs: Bell 202 the
// Bell demodulator and the alert detector (for its off-hook messages); ETSI and BT the V.23 one
// and the alert detector; NTT the V.23 one; DTMF the DTMF detector. What those parts hear is reported as it would be with all of them running (an
// ETSI decoder still reports a BT or an NTT message its V.23 demodulator hears).
//
// State is carried across calls: blocks of any size give what one block does, to the sample.
// Nothing is allocated per block; a message's fields are made when it is reported.
class CallerIdDecoder {
public:
    using MessageSink = std::function<void(const HeardCallerId&)>;
    using AlertSink = std::function<void(const AlertEvent&)>;

    static constexpr int kLowestRate = FskDemodulator::kLowestRate;
    static constexpr int kHighestRate = FskDemodulator::kHighestRate;

    // Listens for every standard, or for the one named. Throws std::invalid_argument for a rate
    // outside kLowestRate to kHighestRate.
    CallerIdDecoder(int sampleRate, MessageSink onMessage, AlertSink onAlert,
                    std::optional<CallerIdStandard> standard = std::nullopt);
    CallerIdDecoder(const CallerIdDecoder&) = delete;
    CallerIdDecoder& operator=(const CallerIdDecoder&) = delete;

    // Samples where full scale is 1.0, or 16-bit ones (full scale 32768).
    void Feed(std::span<const double> samples);
    void Feed(std::span<const std::int16_t> samples);
    // The input has ended: reports what is still pending.
    void Finish();

private:
    // The bytes one demodulator hears, made into messages.
    class Assembler {
    public:
        Assembler(CallerIdDecoder& owner, const ModemSpec& modem, int sampleRate);
        void Measure(std::span<const double> samples) { demodulator_.Measure(samples); }
        void Decide(std::size_t i) { demodulator_.Decide(i); }
        bool Resting() const { return demodulator_.Resting(); }
        void Rest(std::size_t count) { demodulator_.Rest(count); }
        void Flush();

    private:
        enum class Stage { Idle, Typed, Ntt };
        void OnByte(const FskByte& byte);
        void Start(const FskByte& byte);
        void Append(const FskByte& byte);
        void Complete();
        void Drop() { stage_ = Stage::Idle; count_ = 0; }

        CallerIdDecoder& owner_;
        bool bell_;
        FskDemodulator demodulator_;
        Stage stage_ = Stage::Idle;
        std::array<std::uint8_t, 1024> bytes_{};
        std::size_t count_ = 0;
        std::size_t expected_ = 0;  // a typed message's bytes, type to checksum
        bool dlePending_ = false;   // NTT: a DLE not yet paired
        std::size_t crcFrom_ = 0;   // NTT: where the CRC starts once DLE ETX is seen
        int seizure_ = 0;           // 0x55 characters heard before the message
        double markBits_ = 0.0;     // the mark before the message
        std::uint64_t first_ = 0;
        double levelSum_ = 0.0;
        HeardCallerId pending_;     // complete, waiting for a trailing zero byte
        bool hasPending_ = false;
        std::uint64_t pendingEnd_ = 0;
    };

    void OnKey(const DtmfEvent& key);
    void Report(HeardCallerId& message);

    MessageSink onMessage_;
    AlertSink onAlert_;
    std::uint64_t second_;
    // The parts listening, those the standards listened for need.
    std::optional<Assembler> bell_;
    std::optional<Assembler> v23_;
    std::optional<AlertToneDetector> alert_;
    std::optional<DtmfDetector> dtmf_;
    bool alertHeard_ = false;
    std::uint64_t alertEnd_ = 0;
    std::array<char, 32> keys_{};
    std::size_t keyCount_ = 0;
    std::uint64_t keysFirst_ = 0;
    std::uint64_t keysLast_ = 0;
    double keysDbm0_ = 0.0;
};

}  // namespace Quorvex::VarnelNet::Detect
