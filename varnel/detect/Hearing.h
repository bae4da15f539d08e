#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "varnel/detect/CallerIdDecoder.h"
#include "varnel/detect/DtmfDetector.h"
#include "varnel/detect/PcmReader.h"
#include "varnel/detect/ToneListeners.h"
#include "varnel/detect/TtyDetector.h"

namespace Quorvex::VarnelNet::Detect {

// A TTY message heard, kept: TtyMessage with what its views pointed to.
struct HeardTty {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    TtyCoding coding = TtyCoding::Baudot;
    std::string rate;
    std::string text;
    std::vector<TtyCharacter> characters;
    double dbm0 = 0.0;
};

// What the Caller-ID decoder reported, alerts and messages in its order.
using HeardCallerIdEvent = std::variant<AlertEvent, HeardCallerId>;

// Everything heard in one stream, each detector's events in the order it reported them.
struct HeardSignals {
    std::vector<DtmfEvent> keys;
    std::vector<MfEvent> mf;
    std::vector<ToneEvent> tones;
    std::vector<HeardCallerIdEvent> callerId;
    std::vector<HeardTty> tty;
};

// Every detector of one sample stream, as `varnel detect` runs them: DTMF, the MF and tone
// listeners, Caller-ID with its alert, TTY. Heard() applies the rules across them: an MF signal
// a DTMF key heard with it explains (KeyExplains) is left out, and a tone lying at least half
// within a TTY message is its carrier and is left out too. Caller-ID may be narrowed to the one
// standard expected (CallerIdDecoder); the other detectors are as ever.
//
// Blocks of any size give what one block gives, to the sample. Nothing is allocated per block;
// an event is kept when it is reported.
class Hearing {
public:
    static constexpr int kLowestRate = DtmfDetector::kLowestRate;
    static constexpr int kHighestRate = DtmfDetector::kHighestRate;

    // Caller-ID listened for in every standard, or in the one named. Throws
    // std::invalid_argument for a rate outside kLowestRate to kHighestRate.
    explicit Hearing(int sampleRate, std::optional<CallerIdStandard> callerIdStandard = std::nullopt);
    Hearing(const Hearing&) = delete;
    Hearing& operator=(const Hearing&) = delete;

    // Samples where full scale is 1.0, or 16-bit ones (full scale 32768).
    void Feed(std::span<const double> samples);
    void Feed(std::span<const std::int16_t> samples);
    // The input has ended: what the detectors still hold is reported.
    void Finish();

    // What was reported so far, the rules applied.
    HeardSignals Heard() const;
    // How many events the detectors have reported so far, before the rules: Heard() changes
    // only when this does.
    std::size_t Reported() const;

private:
    template <typename Sample>
    void FeedAll(std::span<const Sample> samples);

    HeardSignals reported_;
    DtmfDetector keys_;
    ToneListeners tones_;
    CallerIdDecoder callerId_;
    TtyDetector tty_;
};

// Refuses a recording of a rate Hearing does not take: throws ReadError, saying so.
void CheckHearingRate(int sampleRate);

// Everything a reader's samples hold, the rules applied: Read(std::span<double>) fills what it
// can and returns how many, 0 at the end (PcmReader, StreamAudio). Caller-ID as Hearing takes it.
template <typename Reader>
HeardSignals HearAll(Reader& reader, int sampleRate, std::optional<CallerIdStandard> callerIdStandard = std::nullopt) {
    Hearing hearing(sampleRate, callerIdStandard);
    std::array<double, 1024> block{};
    while (const std::size_t count = reader.Read(block)) hearing.Feed(std::span<const double>(block.data(), count));
    hearing.Finish();
    return hearing.Heard();
}

}  // namespace Quorvex::VarnelNet::Detect
