#include "varnel/detect/TtyDetector.h"

#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>

#include "varnel/detect/DetectMath.h"
#include "varnel/signal/BaudotCoder.h"
#include "varnel/signal/ModemSpec.h"
#include "varnel/signal/PortableMath.h"

namespace Quorvex::VarnelNet::Detect {

namespace {

constexpr double kPi = 3.141592653589793238;
constexpr double kFullScaleDbm0 = 3.14;  // a full-scale sine, as everywhere in the library
constexpr double kMarkHz = 1400.0;
constexpr double kSpaceHz = 1800.0;
constexpr double kSeparationHz = kSpaceHz - kMarkHz;
// The carrier: the two tones hold at least half the power, at -55 dBm0 or more (receivers must
// take -50 dBm).
constexpr double kCarrierShare = 0.5;
constexpr double kLowestDbm0 = -55.0;
// Both powers are smoothed over about this long, so that noise seldom passes for the tones and
// the dip of a transition does not end the carrier.
constexpr double kCarrierSmoothingMs = 8.0;
// The carrier's tones are within 3.5 % of 1400 and 1800 Hz: DTMF's 1477 and 1633 Hz and the
// tones of Bell 202 and V.23 are not.
constexpr double kToneTolerance = 0.035;
// Gaps between transitions longer than this many bits (idle mark, a run of equal bits) say
// nothing of the bit time.
constexpr int kLongestGapBits = 8;
// Half the bit time fits every gap too: the rate that fits best and one of twice its bit time
// (100 and 50 bit/s) are told apart by their framing errors.
constexpr double kTwiceTolerance = 0.04;
// Shares of framing errors this close are a tie, which the better fit breaks.
constexpr double kErrorShareTie = 0.02;
// ASCII whose bytes have bit 7 set this often is ASCII-7, the bit being its first stop bit.
constexpr double kAscii7Share = 0.9;
constexpr std::string_view kRateWords[] = {"45.45", "50", "56.92", "74.20", "100", "110"};
constexpr int kRenormalizeEvery = 1024;


}  // namespace

std::string_view TtyCodingWord(TtyCoding coding) {
    switch (coding) {
        case TtyCoding::Ascii7: return "ascii7";
        case TtyCoding::Ascii8: return "ascii8";
        case TtyCoding::Baudot: break;
    }
    return "baudot";
}

int TtyCharacterCode(const TtyCharacter& character, TtyCoding coding) {
    return coding == TtyCoding::Ascii7 ? character.code & 0x7F : character.code;
}

std::string TtyCharacterText(const TtyCharacter& character, TtyCoding coding) {
    if (character.shift) return character.code == BaudotCoder::kFigures ? "FIGS" : "LTRS";
    return std::string(1, coding == TtyCoding::Ascii7 ? static_cast<char>(character.code & 0x7F) : character.character);
}

TtyDetector::TtyDetector(int sampleRate, MessageSink sink) : sink_(std::move(sink)) {
    if (sampleRate < kLowestRate || sampleRate > kHighestRate) {
        throw std::invalid_argument("the TTY detector takes " + std::to_string(kLowestRate) + " to " + std::to_string(kHighestRate) +
                                    " Hz, not " + std::to_string(sampleRate));
    }
    window_ = static_cast<int>(std::floor(static_cast<double>(sampleRate) / kSeparationHz + 0.5));
    const double markW = 2.0 * kPi * kMarkHz / sampleRate;
    const double spaceW = 2.0 * kPi * kSpaceHz / sampleRate;
    markTurn_ = {PortableMath::Cos(markW), -PortableMath::Sin(markW)};
    spaceTurn_ = {PortableMath::Cos(spaceW), -PortableMath::Sin(spaceW)};
    markPhase_ = spacePhase_ = {1.0, 0.0};
    const auto tangentOf = [&](double hz) {
        const double turn = 2.0 * kPi * kToneTolerance * hz * window_ / sampleRate;
        return PortableMath::Sin(turn) / PortableMath::Cos(turn);
    };
    markTangent_ = tangentOf(kMarkHz);
    spaceTangent_ = tangentOf(kSpaceHz);
    holdSamples_ = static_cast<std::uint64_t>(sampleRate) * kHoldMs / 1000;
    smoothing_ = 1.0 / (kCarrierSmoothingMs * 0.001 * sampleRate);
    lowestPower_ = 0.5 * PortableMath::Pow10((kLowestDbm0 - kFullScaleDbm0) / 10.0);
    for (int r = 0; r < kReceivers; ++r) {
        Receiver& receiver = receivers_[static_cast<std::size_t>(r)];
        const ModemSpec& row = kTtyRates[r % kRates];
        receiver.bitSamples = static_cast<double>(sampleRate) * (row.bitSeconds > 0.0 ? row.bitSeconds : 1.0 / row.bitRate);
        receiver.dataBits = r < kRates ? 5 : 8;
        receiver.heard.reserve(kMostCharacters);
    }
    text_.reserve(kMostCharacters);
}

void TtyDetector::Feed(std::span<const double> samples) {
    for (const double sample : samples) Push(std::isfinite(sample) ? sample : 0.0);
}

void TtyDetector::Feed(std::span<const std::int16_t> samples) {
    for (const std::int16_t sample : samples) Push(static_cast<double>(sample) / 32768.0);
}

void TtyDetector::Finish() {
    if (open_) EndMessage();
}

void TtyDetector::Push(double x) {
    const auto rotate = [](Complex& phase, const Complex& turn) {
        phase = {phase.re * turn.re - phase.im * turn.im, phase.re * turn.im + phase.im * turn.re};
    };
    const Complex mark{x * markPhase_.re, x * markPhase_.im};
    const Complex space{x * spacePhase_.re, x * spacePhase_.im};
    const auto slot = static_cast<std::size_t>(at_);
    markSum_.re += mark.re - markRing_[slot].re;
    markSum_.im += mark.im - markRing_[slot].im;
    spaceSum_.re += space.re - spaceRing_[slot].re;
    spaceSum_.im += space.im - spaceRing_[slot].im;
    powerSum_ += x * x - powerRing_[slot];
    markRing_[slot] = mark;
    spaceRing_[slot] = space;
    powerRing_[slot] = x * x;
    if (++at_ == window_) {
        // Sums carried sample by sample drift; once a window they are summed afresh.
        at_ = 0;
        markSum_ = spaceSum_ = {};
        powerSum_ = 0.0;
        for (int k = 0; k < window_; ++k) {
            const auto i = static_cast<std::size_t>(k);
            markSum_.re += markRing_[i].re;
            markSum_.im += markRing_[i].im;
            spaceSum_.re += spaceRing_[i].re;
            spaceSum_.im += spaceRing_[i].im;
            powerSum_ += powerRing_[i];
        }
    }
    rotate(markPhase_, markTurn_);
    rotate(spacePhase_, spaceTurn_);
    if (samples_ % kRenormalizeEvery == 0) {
        for (Complex* phase : {&markPhase_, &spacePhase_}) {
            const double magnitude = std::sqrt(phase->re * phase->re + phase->im * phase->im);
            phase->re /= magnitude;
            phase->im /= magnitude;
        }
    }

    // A tone of amplitude A sums to A N / 2 in its own bin: its power A^2 / 2 is 2 |sum|^2 / N^2.
    const double n2 = static_cast<double>(window_) * window_;
    const double markPower = 2.0 * (markSum_.re * markSum_.re + markSum_.im * markSum_.im) / n2;
    const double spacePower = 2.0 * (spaceSum_.re * spaceSum_.re + spaceSum_.im * spaceSum_.im) / n2;
    const double tones = markPower + spacePower;
    // The stronger tone's sum turns, over a window, by its offset from the bin: within
    // kToneTolerance of its frequency, the turn's tangent is within its limit.
    const bool markStronger = markPower >= spacePower;
    const Complex& now = markStronger ? markSum_ : spaceSum_;
    const Complex& before = markStronger ? markPast_[slot] : spacePast_[slot];
    const double turnRe = now.re * before.re + now.im * before.im;
    const double turnIm = now.im * before.re - now.re * before.im;
    const double tangent = markStronger ? markTangent_ : spaceTangent_;
    const bool onTone = turnRe > 0.0 && turnIm * turnIm <= tangent * tangent * turnRe * turnRe;
    markPast_[slot] = markSum_;
    spacePast_[slot] = spaceSum_;
    smoothOnTone_ += smoothing_ * ((onTone ? 1.0 : 0.0) - smoothOnTone_);
    smoothTones_ += smoothing_ * (tones - smoothTones_);
    smoothPower_ += smoothing_ * (powerSum_ / window_ - smoothPower_);
    const bool carrier = smoothTones_ >= lowestPower_ && smoothTones_ >= kCarrierShare * smoothPower_ && smoothOnTone_ >= 0.5;
    if (carrier) {
        if (!open_) StartMessage();
        lastCarrier_ = samples_;
        tonePower_ += tones;
        ++carrierSamples_;
    }
    const double difference = markPower - spacePower;
    if (open_) {
        if (carrier && (previous_ >= 0.0) != (difference >= 0.0)) {
            const double edge = static_cast<double>(samples_) - 1.0 + previous_ / (previous_ - difference);
            if (lastEdge_ >= 0.0) {
                for (int r = 0; r < kRates; ++r) {
                    const double bits = (edge - lastEdge_) / receivers_[static_cast<std::size_t>(r)].bitSamples;
                    const double whole = std::max(1.0, std::floor(bits + 0.5));
                    if (whole > kLongestGapBits) continue;
                    fit_[static_cast<std::size_t>(r)] += (bits - whole) * (bits - whole);
                    ++gaps_[static_cast<std::size_t>(r)];
                }
            }
            lastEdge_ = edge;
        }
        for (Receiver& receiver : receivers_) {
            if (!carrier) receiver.inFrame = false;  // a frame the carrier left is no character
            if (carrier) Run(receiver, difference);
        }
        if (samples_ - lastCarrier_ >= holdSamples_) EndMessage();
    }
    previous_ = difference;
    ++samples_;
    bool full = false;
    for (const Receiver& receiver : receivers_) full = full || receiver.heard.size() == kMostCharacters;
    if (full) EndMessage();
}

void TtyDetector::Run(Receiver& receiver, double difference) {
    const double now = static_cast<double>(samples_);
    if (!receiver.inFrame) {
        if (difference > 0.0) {
            receiver.markSeen = true;
        } else if (difference < 0.0 && receiver.markSeen && previous_ >= 0.0) {
            receiver.inFrame = true;
            receiver.edge = now - 1.0 + previous_ / (previous_ - difference);
            receiver.bit = 0;
            receiver.value = 0;
            receiver.sum = 0.0;
            receiver.windowStart = receiver.edge + 0.25 * receiver.bitSamples;
            receiver.windowEnd = receiver.edge + 0.75 * receiver.bitSamples;
        }
        return;
    }
    if (now >= receiver.windowStart && now < receiver.windowEnd) receiver.sum += difference;
    if (now + 1.0 >= receiver.windowEnd) Decide(receiver);
}

void TtyDetector::Decide(Receiver& receiver) {
    const bool mark = receiver.sum > 0.0;
    const int stopBit = receiver.dataBits + 1;
    if (receiver.bit == 0 && mark) {
        receiver.inFrame = false;  // no start bit: a spike
        receiver.markSeen = true;
        return;
    }
    if (receiver.bit > 0 && receiver.bit < stopBit && mark) receiver.value |= 1 << (receiver.bit - 1);
    if (receiver.bit == stopBit) {
        receiver.inFrame = false;
        receiver.markSeen = mark;
        if (!mark) {
            ++receiver.errors;
            return;
        }
        ++receiver.frames;
        const double delay = window_ / 2.0;
        TtyCharacter heard;
        heard.first = static_cast<std::uint64_t>(std::max(0.0, std::floor(receiver.edge - delay + 0.5)));
        heard.last = heard.first + static_cast<std::uint64_t>(std::floor((receiver.dataBits + 3) * receiver.bitSamples + 0.5)) - 1;
        heard.code = receiver.value;
        if (receiver.dataBits == 5) {
            if (heard.code == BaudotCoder::kFigures || heard.code == BaudotCoder::kLetters) {
                receiver.figures = heard.code == BaudotCoder::kFigures;
                heard.shift = true;
            } else {
                heard.character = static_cast<char>(BaudotCoder::Character(heard.code, receiver.figures, 0));
                if (heard.code == BaudotCoder::kSpace) receiver.figures = false;
            }
        } else {
            heard.character = static_cast<char>(heard.code);
        }
        if (receiver.heard.size() < kMostCharacters) receiver.heard.push_back(heard);
        return;
    }
    ++receiver.bit;
    receiver.sum = 0.0;
    receiver.windowStart = receiver.edge + (receiver.bit + 0.25) * receiver.bitSamples;
    // The stop bit is decided by its first half, so that the next start bit of a sender a few
    // per cent fast is not missed.
    receiver.windowEnd = receiver.edge + (receiver.bit + (receiver.bit == stopBit ? 0.5 : 0.75)) * receiver.bitSamples;
}

void TtyDetector::StartMessage() {
    open_ = true;
    messageFirst_ = samples_ >= static_cast<std::uint64_t>(window_) ? samples_ - static_cast<std::uint64_t>(window_) : 0;
    tonePower_ = 0.0;
    carrierSamples_ = 0;
    lastEdge_ = -1.0;
    fit_ = {};
    gaps_ = {};
    for (Receiver& receiver : receivers_) {
        receiver.inFrame = false;
        receiver.markSeen = false;
        receiver.figures = false;
    }
}

void TtyDetector::EndMessage() {
    const auto misfit = [&](int r) {
        const auto i = static_cast<std::size_t>(r);
        return gaps_[i] == 0 ? 1.0 : fit_[i] / static_cast<double>(gaps_[i]);
    };
    const auto errorShare = [&](const Receiver& receiver) {
        const std::size_t all = receiver.frames + receiver.errors;
        return all == 0 ? 1.0 : static_cast<double>(receiver.errors) / static_cast<double>(all);
    };
    int best = 0;
    for (int r = 1; r < kRates; ++r) {
        if (misfit(r) < misfit(best)) best = r;
    }
    int chosen = -1;
    for (int r = 0; r < kReceivers; ++r) {
        const Receiver& receiver = receivers_[static_cast<std::size_t>(r)];
        const double ratio = receiver.bitSamples / receivers_[static_cast<std::size_t>(best)].bitSamples;
        const bool twice = ratio > 2.0 - kTwiceTolerance && ratio < 2.0 + kTwiceTolerance;
        if (receiver.heard.empty() || (r % kRates != best && !twice)) continue;
        if (chosen < 0) {
            chosen = r;
            continue;
        }
        const double share = errorShare(receiver);
        const double chosenShare = errorShare(receivers_[static_cast<std::size_t>(chosen)]);
        if (share < chosenShare - kErrorShareTie || (share <= chosenShare + kErrorShareTie && misfit(r % kRates) < misfit(chosen % kRates))) {
            chosen = r;
        }
    }
    if (chosen >= 0) {
        const Receiver& receiver = receivers_[static_cast<std::size_t>(chosen)];
        TtyMessage message;
        message.coding = TtyCoding::Baudot;
        if (chosen >= kRates) {
            std::size_t high = 0;
            for (const TtyCharacter& c : receiver.heard) high += (c.code & 0x80) != 0 ? 1 : 0;
            const bool ascii7 = static_cast<double>(high) >= kAscii7Share * static_cast<double>(receiver.heard.size());
            message.coding = ascii7 ? TtyCoding::Ascii7 : TtyCoding::Ascii8;
        }
        text_.clear();
        for (const TtyCharacter& c : receiver.heard) {
            const char shown = message.coding == TtyCoding::Ascii7 ? static_cast<char>(c.code & 0x7F) : c.character;
            if (!c.shift && shown != 0) text_.push_back(shown);
        }
        message.first = std::min(messageFirst_, receiver.heard.front().first);
        message.last = std::max(lastCarrier_, receiver.heard.back().last);
        message.rate = kRateWords[chosen % kRates];
        message.text = std::string_view(text_.data(), text_.size());
        message.characters = receiver.heard;
        message.dbm0 = carrierSamples_ == 0 ? -1000.0 : 10.0 * Log10(tonePower_ / static_cast<double>(carrierSamples_) / 0.5) + kFullScaleDbm0;
        if (!text_.empty() && sink_) sink_(message);
    }
    for (Receiver& receiver : receivers_) {
        receiver.heard.clear();
        receiver.frames = receiver.errors = 0;
    }
    fit_ = {};
    gaps_ = {};
    messageFirst_ = samples_;
    tonePower_ = 0.0;
    carrierSamples_ = 0;
    open_ = samples_ - lastCarrier_ < holdSamples_;
}

}  // namespace Quorvex::VarnelNet::Detect
