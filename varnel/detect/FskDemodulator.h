#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <span>

#include "varnel/signal/ModemSpec.h"

namespace Quorvex::VarnelNet::Detect {

// A character received: start bit, 8 data bits (least significant first), stop bit. first is
// the start bit's first sample, last the stop bit's last (counted from the first sample fed);
// idleBits the mark bits heard with the carrier on since the last character (or since the
// carrier came up); dbm0 the level of its tones.
struct FskByte {
    std::uint8_t value = 0;
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    double idleBits = 0.0;
    double dbm0 = 0.0;
};

// A streaming FSK receiver for 1200 bit/s Caller-ID modems (Bell 202, V.23) at 8000 to 48000
// Hz. Two sliding correlators a bit long, at the mark and the space tone, give each sample the
// strength of each tone over the last bit; the difference of their magnitudes, sliced midway
// between its levels in a mark and in a space (so that a twist between the tones moves no
// edge), decides mark or space. A character starts where mark turns to space (the crossing
// placed between samples), and each bit is read in its middle, from that edge.
//
// The squelch: characters are only looked for while the carrier is up, which takes the two
// tones holding most of the power seen at them and at two guard frequencies beside them (a
// smoothed share) at a level above the floor; each character must also decide its bits clearly
// and sound above the floor, or it is dropped. Noise and silence give no characters.
//
// Through digital silence (samples of 0) the correlators idle: once a whole window of them is in,
// the sums are 0 and stay so until a sample that is not 0, and only the carrier's smoothing moves.
//
// State is carried across calls: blocks of any size give what one block does, to the sample.
// Nothing is allocated once constructed.
class FskDemodulator {
public:
    using ByteSink = std::function<void(const FskByte&)>;
    // The carrier has gone, at that sample.
    using CarrierSink = std::function<void(std::uint64_t)>;

    static constexpr int kLowestRate = 8000;
    static constexpr int kHighestRate = 48000;

    // Throws std::invalid_argument for a rate outside kLowestRate to kHighestRate.
    FskDemodulator(const ModemSpec& modem, int sampleRate, ByteSink onByte, CarrierSink onCarrierLost);

    // Samples where full scale is 1.0; a sample that is not a finite number counts as silence,
    // and one beyond 8 times full scale as that.
    void Feed(std::span<const double> samples);

    // Feed in its two steps, for a receiver stepping several demodulators sample by sample:
    // Measure works out the tones over up to kChunk samples, then Decide takes each of those
    // samples in turn (i from 0), reporting the characters and the carrier's loss as they come.
    static constexpr std::size_t kChunk = 64;
    void Measure(std::span<const double> samples);
    void Decide(std::size_t i);
    // Whether samples of 0 would only move the carrier's smoothing (the window and the sums are
    // 0, the carrier is down and cannot come up on them), so that Rest may take them instead.
    bool Resting() const { return quiet_ && !carrier_; }
    // Takes count samples of 0, while Resting().
    void Rest(std::size_t count);

    // The mark tone's frequency, measured in the idle mark since the carrier came up (0 before
    // any was heard).
    double MarkHz() const;

private:
    static constexpr int kLongestWindow = 41;
    // The tones' share of the power at them and at two guard frequencies, as far below the mark
    // and above the space as the two lie apart, that brings the carrier up, and below which it goes:
    // clean FSK gives 0.9 or more, white noise about 0.5.
    static constexpr double kShareUp = 0.75;
    static constexpr double kShareDown = 0.6;
    // A tone leads when its magnitude is at least this many times the other's.
    static constexpr double kLeading = 2.0;
    // Two doubles side by side: the correlators run in pairs, each lane doing the IEEE operations
    // of one correlator on its own, so the values are those of one correlator at a time, on every
    // build.
    using Pair = double __attribute__((vector_size(16)));
    struct Complex {
        double re = 0.0;
        double im = 0.0;
    };
    // Two correlators, a lane each: the mark and the space, or the low and the high guard.
    struct Correlators {
        Pair turnRe{}, turnIm{};              // e^{jw}
        Pair windowTurnRe{}, windowTurnIm{};  // e^{jwN}
        Pair sumRe{}, sumIm{};
        std::array<Pair, kLongestWindow> weightRe{}, weightIm{};  // e^{jw(m+1)}, m back from the newest
    };
    // What Measure worked out for each sample of its chunk: the magnitudes of the mark and the
    // space, their share of the power with the guards' (whole, that power), and the mark's sum.
    struct Measured {
        std::array<double, kChunk> mark{}, space{}, share{}, whole{}, markRe{}, markIm{};
    };
    enum class Stage { Hunting, Receiving };

    // Sets c's weights at the two tones.
    static void SetUp(Correlators& c, double lowHz, double highHz, int sampleRate, int window);

    void Slide(double sample);
    void Resum();
    void UpdateCarrier(std::size_t i);
    void ReadBit(double decision);
    void EndCharacter();

    int rate_;
    int window_;          // N, samples in a correlator's window
    double bitSamples_;   // P, samples in a bit
    double floor_;        // the lowest magnitude a tone may have, from the level floor
    double keptFloor_;    // and the lowest that keeps the carrier up
    double carrierStep_;  // the smoothing of the share and the level, a sample's step
    double fall_;         // the slicer's levels' fall, a sample's
    ByteSink onByte_;
    CarrierSink onCarrierLost_;

    std::array<double, kLongestWindow> ring_{};
    int ringAt_ = 0;
    int zeros_ = 0;       // the samples of 0 last fed, up to a window's
    bool quiet_ = false;  // the window and the sums are 0, and the samples since have been
    Correlators tones_;   // the mark's and the space's
    Correlators guards_;  // the low guard's and the high guard's
    Measured measured_;
    Complex lastMark_;    // the mark's sum before the chunk measured
    Complex markTurns_;   // sum of the mark's sum times the conjugate of its last, in idle mark

    std::uint64_t sample_ = 0;  // samples fed
    double share_ = 0.0;        // the tones' smoothed share of the power
    double level_ = 0.0;        // the leading tone's smoothed magnitude
    double markLevel_ = 0.0;    // the slicer's: the mark's magnitude less the space's, in a mark
    double spaceLevel_ = 0.0;   // and in a space
    bool carrier_ = false;
    double idleFrom_ = 0.0;     // where the mark before the next character began (a sample)

    Stage stage_ = Stage::Hunting;
    double lastDecision_ = 0.0;
    double edge_ = 0.0;         // the start edge's crossing, as a window end
    int bit_ = 0;               // the next bit to read, 0 the start bit
    std::uint16_t bits_ = 0;
    double contrast_ = 0.0;     // summed over the character's bits
    double magnitude_ = 0.0;    // summed over the character's bits
};

// Decide and the carrier's update are here, to be inlined in the loop of a receiver stepping
// several demodulators a sample at a time.
inline void FskDemodulator::Decide(std::size_t i) {
    const double markMagnitude = measured_.mark[i];
    const double spaceMagnitude = measured_.space[i];
    UpdateCarrier(i);
    if (carrier_) {
        const double decision = markMagnitude - spaceMagnitude - (markLevel_ + spaceLevel_) / 2.0;
        if (stage_ == Stage::Hunting && lastDecision_ > 0.0 && decision <= 0.0) {
            edge_ = static_cast<double>(sample_) - 1.0 + lastDecision_ / (lastDecision_ - decision);
            stage_ = Stage::Receiving;
            bit_ = 0;
            bits_ = 0;
            contrast_ = 0.0;
            magnitude_ = 0.0;
        }
        if (stage_ == Stage::Receiving && static_cast<double>(sample_) + 0.5 >= edge_ + (bit_ + 0.5) * bitSamples_) {
            const double half = (markLevel_ - spaceLevel_) / 2.0;
            contrast_ += half > 0.0 ? std::fabs(decision) / half : 0.0;
            magnitude_ += markMagnitude > spaceMagnitude ? markMagnitude : spaceMagnitude;
            ReadBit(decision);
        }
        lastDecision_ = decision;
    }
    ++sample_;
}

inline void FskDemodulator::UpdateCarrier(std::size_t i) {
    const double markMagnitude = measured_.mark[i];
    const double spaceMagnitude = measured_.space[i];
    const double share = measured_.share[i];
    const double leading = markMagnitude > spaceMagnitude ? markMagnitude : spaceMagnitude;
    share_ += (share - share_) * carrierStep_;
    level_ += (leading - level_) * carrierStep_;
    if (!carrier_ && share_ >= kShareUp && level_ >= floor_) {
        carrier_ = true;
        idleFrom_ = static_cast<double>(sample_);
        markLevel_ = level_;
        spaceLevel_ = -level_;
        markTurns_ = {};
        stage_ = Stage::Hunting;
        lastDecision_ = 0.0;
    } else if (carrier_ && (share_ < kShareDown || level_ < keptFloor_)) {
        carrier_ = false;
        stage_ = Stage::Hunting;
        if (onCarrierLost_) onCarrierLost_(sample_);
        return;
    }
    if (!carrier_) return;
    // The slicer's levels: the difference of the magnitudes at its peak where the mark leads and
    // at its trough where the space does, each falling slowly towards 0 while its tone leads
    // (and staying while the other sounds). Their middle is where a twist between the tones puts
    // the edge between two bits.
    // (Chosen, not branched to: which tone leads changes with every bit.)
    const double difference = markMagnitude - spaceMagnitude;
    const bool markLeads = markMagnitude >= kLeading * spaceMagnitude;
    const bool spaceLeads = spaceMagnitude >= kLeading * markMagnitude;
    const double markFallen = markLevel_ * fall_;
    const double spaceFallen = spaceLevel_ * fall_;
    const double markPeak = difference > markFallen ? difference : markFallen;
    const double spaceTrough = difference < spaceFallen ? difference : spaceFallen;
    markLevel_ = markLeads ? markPeak : markLevel_;
    spaceLevel_ = spaceLeads ? spaceTrough : spaceLevel_;
    if (stage_ == Stage::Hunting && markLeads) {
        const double re = measured_.markRe[i];
        const double im = measured_.markIm[i];
        const double lastRe = i > 0 ? measured_.markRe[i - 1] : lastMark_.re;
        const double lastIm = i > 0 ? measured_.markIm[i - 1] : lastMark_.im;
        markTurns_.re += re * lastRe + im * lastIm;
        markTurns_.im += im * lastRe - re * lastIm;
    }
}

}  // namespace Quorvex::VarnelNet::Detect
