#include "varnel/detect/ToneSegmenter.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <utility>

#include "varnel/detect/DetectMath.h"
#include "varnel/signal/PortableMath.h"

namespace Quorvex::VarnelNet::Detect {

namespace {

constexpr double kPi = 3.141592653589793238;
constexpr double kFullScaleDbm0 = 3.14;
// Slots quieter than a tone of -50 dBm0 hold nothing.
constexpr double kFloorDbm0 = -50.0;
// A segment ends after more than kBridgedSlots slots 17 dB below its mean, and a slot 10 dB
// above its mean starts another.
constexpr double kDropShare = 0.02;
constexpr double kRiseShare = 10.0;
constexpr int kBridgedSlots = 2;
// Another tone takes over when the strongest filter of two windows in a row has summed less
// than this share of the segment's own.
constexpr double kChangeShare = 0.1;
// A filter is a tone of the segment with this share of the strongest one's power.
constexpr double kToneShare = 0.1;
constexpr double kModulatedDepth = 0.1;
constexpr double kPureShare = 0.75;
// Keyed tones are V.21's when 1850 Hz came back this many times at least.
constexpr int kFlagsNeeded = 3;

double Dbm0(double amplitude) { return 20.0 * Log10(amplitude) + kFullScaleDbm0; }

}  // namespace

ToneSegmenter::ToneSegmenter(int sampleRate, std::span<const double> binHz, std::span<const double> modulationHz, SegmentSink sink)
    : rate_(sampleRate), slot_((sampleRate + 100) / 200), sink_(std::move(sink)) {
    binCount_ = static_cast<int>(std::min<std::size_t>(binHz.size(), kMaxBins));
    for (int b = 0; b < binCount_; ++b) {
        Bin& bin = bins_[static_cast<std::size_t>(b)];
        bin.hz = binHz[static_cast<std::size_t>(b)];
        const double w = 2.0 * kPi * bin.hz / sampleRate;
        bin.coefficient = 2.0 * PortableMath::Cos(w);
        bin.turn = {PortableMath::Cos(w), -PortableMath::Sin(w)};
        bin.toStart = {PortableMath::Cos(w * (slot_ - 1)), -PortableMath::Sin(w * (slot_ - 1))};
        bin.step = {PortableMath::Cos(w * slot_), -PortableMath::Sin(w * slot_)};
        phases_[static_cast<std::size_t>(b)] = {1.0, 0.0};
        if (bin.hz == 1650.0) markBin_ = b;
        if (bin.hz == 1850.0) spaceBin_ = b;
    }
    rateCount_ = static_cast<int>(std::min<std::size_t>(modulationHz.size(), kMaxRates));
    for (int r = 0; r < rateCount_; ++r) {
        const std::size_t i = static_cast<std::size_t>(r);
        rates_[i] = modulationHz[i];
        const double w = 2.0 * kPi * rates_[i] * slot_ / sampleRate;
        rateSteps_[i] = {PortableMath::Cos(w), -PortableMath::Sin(w)};
        ratePhases_[i] = {1.0, 0.0};
    }
}

void ToneSegmenter::Feed(std::span<const double> samples) {
    for (const double sample : samples) Push(sample);
}

void ToneSegmenter::Push(double sample) {
    for (std::size_t b = 0; b < static_cast<std::size_t>(binCount_); ++b) {
        const double s = sample + bins_[b].coefficient * s1_[b] - s2_[b];
        s2_[b] = s1_[b];
        s1_[b] = s;
    }
    energy_ += sample * sample;
    ++position_;
    if (++filled_ == slot_) EndSlot();
}

void ToneSegmenter::EndSlot() {
    const std::uint64_t k = slotCount_++;
    const std::size_t at = k % kWindowSlots;
    const bool finite = energy_ <= DBL_MAX;
    for (std::size_t b = 0; b < static_cast<std::size_t>(binCount_); ++b) {
        const Bin& bin = bins_[b];
        const Complex y{s1_[b] - bin.turn.re * s2_[b], -bin.turn.im * s2_[b]};
        const Complex x{bin.toStart.re * y.re - bin.toStart.im * y.im, bin.toStart.re * y.im + bin.toStart.im * y.re};
        Complex& phase = phases_[b];
        ring_[at][b] = finite ? Complex{x.re * phase.re - x.im * phase.im, x.re * phase.im + x.im * phase.re} : Complex{};
        phase = {phase.re * bin.step.re - phase.im * bin.step.im, phase.re * bin.step.im + phase.im * bin.step.re};
        const double norm = std::sqrt(Power(phase));
        phase = {phase.re / norm, phase.im / norm};
        s1_[b] = 0.0;
        s2_[b] = 0.0;
    }
    const double energy = finite ? energy_ : 0.0;
    ringEnergy_[at] = energy;
    energy_ = 0.0;
    filled_ = 0;

    const double floorAmplitude = PortableMath::Pow10((kFloorDbm0 - kFullScaleDbm0) / 20.0);
    const bool loud = energy >= slot_ * floorAmplitude * floorAmplitude / 2.0;
    if (!open_) {
        if (loud) Open(k, energy);
    } else {
        Sums& s = sums_;
        const double mean = s.slotEnergy / s.slots;
        if (loud && energy >= kDropShare * mean) {
            if (s.slots >= 4 && energy > kRiseShare * mean) {
                Close();
                Open(k, energy);
            } else {
                s.lastOnSlot = k;
                s.lastEnergy = energy;
                s.slotEnergy += energy;
                ++s.slots;
                s.offRun = 0;
            }
        } else if (++s.offRun > kBridgedSlots) {
            Close();
        }
    }

    bool summed = false;
    if (k + 1 >= kWindowSlots) {
        windowEnergy_ = 0.0;
        for (std::size_t b = 0; b < static_cast<std::size_t>(binCount_); ++b) window_[b] = {};
        for (std::size_t i = 0; i < kWindowSlots; ++i) {
            windowEnergy_ += ringEnergy_[i];
            for (std::size_t b = 0; b < static_cast<std::size_t>(binCount_); ++b) {
                window_[b].re += ring_[i][b].re;
                window_[b].im += ring_[i][b].im;
            }
        }
        if (open_ && sums_.lastOnSlot == k && k + 1 - kWindowSlots >= sums_.firstSlot) {
            Window(k);
            summed = open_ && sums_.windows > 0 && sums_.lastWindowSummed;
        }
    }
    if (open_) sums_.lastWindowSummed = summed;
    if (open_ && sums_.lastOnSlot == k && sums_.dominant >= 0) Track(k);
    lastWindow_ = window_;
    for (int r = 0; r < rateCount_; ++r) {
        Complex& phase = ratePhases_[static_cast<std::size_t>(r)];
        const Complex& step = rateSteps_[static_cast<std::size_t>(r)];
        phase = {phase.re * step.re - phase.im * step.im, phase.re * step.im + phase.im * step.re};
        const double norm = std::sqrt(Power(phase));
        phase = {phase.re / norm, phase.im / norm};
    }
}

void ToneSegmenter::Open(std::uint64_t slot, double energy) {
    sums_ = Sums{};
    sums_.firstSlot = slot;
    sums_.lastOnSlot = slot;
    sums_.firstEnergy = energy;
    sums_.lastEnergy = energy;
    sums_.slotEnergy = energy;
    sums_.slots = 1;
    open_ = true;
}

void ToneSegmenter::Window(std::uint64_t slot) {
    Sums& s = sums_;
    int strongest = 0;
    for (int b = 1; b < binCount_; ++b) {
        if (Power(window_[static_cast<std::size_t>(b)]) > Power(window_[static_cast<std::size_t>(strongest)])) strongest = b;
    }
    if (s.dominant < 0) {
        s.dominant = strongest;
    } else if (s.windows >= 2 && s.power[static_cast<std::size_t>(strongest)] < kChangeShare * s.power[static_cast<std::size_t>(s.dominant)]) {
        s.lastWindowSummed = false;
        if (++s.changes < 2) return;
        // The new tone holds more than half of the window: it started about half a window ago.
        const std::uint64_t change = slot - kWindowSlots / 2;
        const double mean = s.slotEnergy / s.slots;
        s.lastOnSlot = change - 1;
        s.lastEnergy = mean;
        s.endedByChange = true;
        Close();
        Open(change, ringEnergy_[slot % kWindowSlots]);
        sums_.firstEnergy = sums_.slotEnergy = ringEnergy_[slot % kWindowSlots];
        return;
    } else {
        s.changes = 0;
    }
    const bool follows = s.lastWindowSummed;
    for (std::size_t b = 0; b < static_cast<std::size_t>(binCount_); ++b) {
        s.power[b] += Power(window_[b]);
        if (follows) {
            const Complex& now = window_[b];
            const Complex& before = lastWindow_[b];
            s.turn[b].re += now.re * before.re + now.im * before.im;
            s.turn[b].im += now.im * before.re - now.re * before.im;
        }
    }
    s.windowEnergy += windowEnergy_;
    ++s.windows;
    s.lastWindowSummed = true;
}

void ToneSegmenter::Track(std::uint64_t slot) {
    Sums& s = sums_;
    const Complex& now = ring_[slot % kWindowSlots][static_cast<std::size_t>(s.dominant)];
    const double magnitude = std::sqrt(Power(now));
    s.envelope += magnitude;
    ++s.envelopeSlots;
    for (std::size_t r = 0; r < static_cast<std::size_t>(rateCount_); ++r) {
        const Complex& phase = ratePhases_[r];
        s.envelopeAt[r].re += magnitude * phase.re;
        s.envelopeAt[r].im += magnitude * phase.im;
        s.constantAt[r].re += phase.re;
        s.constantAt[r].im += phase.im;
    }
    // A reversal turns a slot against the one two before it by half a turn, beyond the tone's
    // own turn over two slots.
    const Complex& before = s.lastDominant[0];
    const Complex& turn = s.turn[static_cast<std::size_t>(s.dominant)];
    const double mean = s.envelope / s.envelopeSlots;
    if (s.holdOff > 0) {
        --s.holdOff;
    } else if (s.envelopeSlots >= 3 && (turn.re != 0.0 || turn.im != 0.0) && magnitude >= 0.5 * mean &&
               std::sqrt(Power(before)) >= 0.5 * mean) {
        const Complex twice{turn.re * turn.re - turn.im * turn.im, 2.0 * turn.re * turn.im};
        const Complex across{now.re * before.re + now.im * before.im, now.im * before.re - now.re * before.im};
        if (across.re * twice.re + across.im * twice.im < 0.0) {
            ++s.reversals;
            s.holdOff = 4;
        }
    }
    s.lastDominant[0] = s.lastDominant[1];
    s.lastDominant[1] = now;
    if (markBin_ >= 0 && spaceBin_ >= 0) {
        const auto& slotSums = ring_[slot % kWindowSlots];
        const bool space = Power(slotSums[static_cast<std::size_t>(spaceBin_)]) > Power(slotSums[static_cast<std::size_t>(markBin_)]);
        if (space && !s.space) ++s.spaceRuns;
        s.space = space;
        s.keyedEnergy += 2.0 * (Power(slotSums[static_cast<std::size_t>(spaceBin_)]) + Power(slotSums[static_cast<std::size_t>(markBin_)])) / slot_;
        s.slotsEnergy += ringEnergy_[slot % kWindowSlots];
    }
}

double ToneSegmenter::MeasuredHz(int bin) const {
    const Complex& turn = sums_.turn[static_cast<std::size_t>(bin)];
    const double hz = bins_[static_cast<std::size_t>(bin)].hz;
    if (turn.re == 0.0 && turn.im == 0.0) return hz;
    return hz + Atan2(turn.im, turn.re) / slot_ * rate_ / (2.0 * kPi);
}

void ToneSegmenter::Close() {
    open_ = false;
    const Sums& s = sums_;
    if (s.windows == 0 || s.dominant < 0) return;
    const int length = kWindowSlots * slot_;
    const double resolution = static_cast<double>(rate_) / length;
    std::array<int, 3> tones{};
    std::array<double, 3> hz{};
    int count = 0;
    while (count < 3) {
        int best = -1;
        for (int b = 0; b < binCount_; ++b) {
            const std::size_t i = static_cast<std::size_t>(b);
            bool apart = true;
            for (int t = 0; t < count; ++t) {
                const std::size_t taken = static_cast<std::size_t>(tones[static_cast<std::size_t>(t)]);
                apart = apart && std::fabs(bins_[i].hz - bins_[taken].hz) > 0.9 * resolution &&
                        std::fabs(MeasuredHz(b) - hz[static_cast<std::size_t>(t)]) > 0.45 * resolution;
            }
            // A filter whose tone is half a resolution off or more hears another's leakage.
            apart = apart && std::fabs(MeasuredHz(b) - bins_[i].hz) < 0.5 * resolution;
            if (apart && (best < 0 || s.power[i] > s.power[static_cast<std::size_t>(best)])) best = b;
        }
        if (best < 0 || !(s.power[static_cast<std::size_t>(best)] > 0.0)) break;
        if (count > 0 && s.power[static_cast<std::size_t>(best)] < kToneShare * s.power[static_cast<std::size_t>(tones[0])]) break;
        tones[static_cast<std::size_t>(count)] = best;
        hz[static_cast<std::size_t>(count)] = MeasuredHz(best);
        ++count;
    }
    if (count == 0) return;

    ToneSegment segment;
    // The modulation: the rate whose share of the envelope, its mean taken out, is largest;
    // a slot's sum of 5 ms softens it by sin(pi m T) / (pi m T). A segment another tone ended
    // has the slots of the change in its envelope: it is taken as not modulated.
    const double seconds = static_cast<double>(s.envelopeSlots) * slot_ / rate_;
    if (s.envelope > 0.0 && !s.endedByChange && (count == 1 || s.power[static_cast<std::size_t>(tones[0])] >= 2.0 * s.power[static_cast<std::size_t>(tones[1])])) {
        const double mean = s.envelope / s.envelopeSlots;
        for (std::size_t r = 0; r < static_cast<std::size_t>(rateCount_); ++r) {
            if (seconds * rates_[r] < 2.5) continue;
            const double re = s.envelopeAt[r].re - mean * s.constantAt[r].re;
            const double im = s.envelopeAt[r].im - mean * s.constantAt[r].im;
            const double x = kPi * rates_[r] * slot_ / rate_;
            const double depth = 2.0 * std::sqrt(re * re + im * im) / s.envelope / (PortableMath::Sin(x) / x);
            if (depth >= kModulatedDepth && depth > segment.depth) {
                segment.depth = depth;
                segment.modulationHz = rates_[r];
            }
        }
    }
    if (segment.modulationHz > 0.0) {
        // The sidebands and what leaks of them are the carrier's.
        int kept = 1;
        for (int t = 1; t < count; ++t) {
            if (std::fabs(hz[static_cast<std::size_t>(t)] - hz[0]) > segment.modulationHz + 15.0) {
                tones[static_cast<std::size_t>(kept)] = tones[static_cast<std::size_t>(t)];
                hz[static_cast<std::size_t>(kept)] = hz[static_cast<std::size_t>(t)];
                ++kept;
            }
        }
        count = kept;
    }
    double toneEnergy = 0.0;
    for (int t = 0; t < count; ++t) {
        const std::size_t i = static_cast<std::size_t>(tones[static_cast<std::size_t>(t)]);
        const double offset = 2.0 * kPi * (hz[static_cast<std::size_t>(t)] - bins_[i].hz) / rate_;
        const double gain = offset == 0.0 ? length : std::fabs(PortableMath::Sin(length * offset / 2.0) / PortableMath::Sin(offset / 2.0));
        const double amplitude = 2.0 * std::sqrt(s.power[i] / s.windows) / gain;
        double energy = amplitude * amplitude * length / 2.0;
        if (t == 0 && segment.modulationHz > 0.0) energy *= 1.0 + segment.depth * segment.depth / 2.0;
        toneEnergy += energy;
        segment.hz[static_cast<std::size_t>(t)] = hz[static_cast<std::size_t>(t)];
        // A modulated tone's level is its peak's, as the library sets it.
        segment.dbm0[static_cast<std::size_t>(t)] = Dbm0(t == 0 ? amplitude * (1.0 + segment.depth) : amplitude);
    }
    if (s.spaceRuns >= kFlagsNeeded && s.keyedEnergy >= kPureShare * s.slotsEnergy) {
        count = 2;
        segment.hz = {bins_[static_cast<std::size_t>(markBin_)].hz, bins_[static_cast<std::size_t>(spaceBin_)].hz, 0.0};
        const double amplitude = std::sqrt(2.0 * s.keyedEnergy / s.envelopeSlots / slot_);
        segment.dbm0 = {Dbm0(amplitude), Dbm0(amplitude), 0.0};
        segment.modulationHz = 0.0;
        segment.depth = 0.0;
    } else if (!(toneEnergy >= kPureShare * s.windowEnergy / s.windows)) {
        return;
    }
    segment.toneCount = count;
    segment.reversals = s.reversals;
    segment.spaceRuns = s.spaceRuns;
    const double mean = s.slotEnergy / s.slots;
    const double lead = slot_ * (1.0 - std::min(1.0, s.firstEnergy / mean));
    const double tail = slot_ * std::min(1.0, s.lastEnergy / mean);
    segment.first = s.firstSlot * static_cast<std::uint64_t>(slot_) + static_cast<std::uint64_t>(std::floor(lead + 0.5));
    const std::uint64_t end = s.lastOnSlot * static_cast<std::uint64_t>(slot_) + static_cast<std::uint64_t>(std::floor(tail + 0.5));
    segment.last = std::max(segment.first, end == 0 ? 0 : end - 1);
    if (sink_) sink_(segment);
}

void ToneSegmenter::Finish() {
    if (open_) Close();
}

}  // namespace Quorvex::VarnelNet::Detect
