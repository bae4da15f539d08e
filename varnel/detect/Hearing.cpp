#include "varnel/detect/Hearing.h"

#include <algorithm>

namespace Quorvex::VarnelNet::Detect {

namespace {

HeardTty Kept(const TtyMessage& message) {
    HeardTty kept;
    kept.first = message.first;
    kept.last = message.last;
    kept.coding = message.coding;
    kept.rate = std::string(message.rate);
    kept.text = std::string(message.text);
    kept.characters.assign(message.characters.begin(), message.characters.end());
    kept.dbm0 = message.dbm0;
    return kept;
}

// A tone is a TTY message's carrier when at least half of it lies within the message; a tone
// that only touches one (a busy tone starting as the last character's stop bit ends) is a tone.
bool CarrierOf(const HeardTty& message, const ToneEvent& tone) {
    const std::uint64_t from = std::max(tone.first, message.first);
    const std::uint64_t to = std::min(tone.last, message.last);
    return from <= to && 2 * (to - from + 1) >= tone.last - tone.first + 1;
}

}  // namespace

void CheckHearingRate(int sampleRate) {
    if (sampleRate < Hearing::kLowestRate || sampleRate > Hearing::kHighestRate) {
        throw ReadError("its rate of " + std::to_string(sampleRate) + " Hz is outside the " + std::to_string(Hearing::kLowestRate) +
                        " to " + std::to_string(Hearing::kHighestRate) + " Hz the detector takes");
    }
}

Hearing::Hearing(int sampleRate, std::optional<CallerIdStandard> callerIdStandard)
    : keys_(sampleRate, [this](const DtmfEvent& event) { reported_.keys.push_back(event); }),
      tones_(
          sampleRate, [this](const MfEvent& event) { reported_.mf.push_back(event); },
          [this](const ToneEvent& event) { reported_.tones.push_back(event); }),
      callerId_(
          sampleRate, [this](const HeardCallerId& message) { reported_.callerId.emplace_back(message); },
          [this](const AlertEvent& alert) { reported_.callerId.emplace_back(alert); }, callerIdStandard),
      tty_(sampleRate, [this](const TtyMessage& message) { reported_.tty.push_back(Kept(message)); }) {}

template <typename Sample>
void Hearing::FeedAll(std::span<const Sample> samples) {
    keys_.Feed(samples);
    tones_.Feed(samples);
    callerId_.Feed(samples);
    tty_.Feed(samples);
}

void Hearing::Feed(std::span<const double> samples) { FeedAll(samples); }
void Hearing::Feed(std::span<const std::int16_t> samples) { FeedAll(samples); }

void Hearing::Finish() {
    keys_.Finish();
    tones_.Finish();
    callerId_.Finish();
    tty_.Finish();
}

HeardSignals Hearing::Heard() const {
    HeardSignals heard = reported_;
    std::erase_if(heard.mf, [&heard](const MfEvent& signal) {
        return std::any_of(heard.keys.begin(), heard.keys.end(), [&signal](const DtmfEvent& key) { return KeyExplains(key, signal); });
    });
    std::erase_if(heard.tones, [&heard](const ToneEvent& tone) {
        return std::any_of(heard.tty.begin(), heard.tty.end(),
                           [&tone](const HeardTty& message) { return CarrierOf(message, tone); });
    });
    return heard;
}

std::size_t Hearing::Reported() const {
    return reported_.keys.size() + reported_.mf.size() + reported_.tones.size() + reported_.callerId.size() + reported_.tty.size();
}

}  // namespace Quorvex::VarnelNet::Detect
