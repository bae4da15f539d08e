#include "varnel/detect/DtmfDetector.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>

#include "varnel/detect/DetectMath.h"
#include "varnel/signal/DtmfKeypad.h"
#include "varnel/signal/PortableMath.h"

namespace Quorvex::VarnelNet::Detect {

namespace {

constexpr double kPi = 3.141592653589793238;
// A full-scale sine is +3.14 dBm0, as everywhere in the library.
constexpr double kFullScaleDbm0 = 3.14;

constexpr int kHarmonicBin = 8;  // the second harmonics of the 8 tones follow them
constexpr int kDialBin = 16;     // then 350 and 440 Hz

// The receiver's figures. A tone within 1.5 % must be accepted and one beyond 3.5 % rejected:
// the limit lies between them. The twist accepted is 8 dB normal (the row tone louder) and
// 4 dB reverse, each with 1 dB for the measurement. Keys must be heard from 0 down to -36 dBm0
// a tone and refused below -55: the floor lies between, 9 dB above the refusal.
constexpr double kFrequencyLimit = 0.025;
constexpr double kNormalTwistDb = 9.0;
constexpr double kReverseTwistDb = 5.0;
constexpr double kLowestDbm0 = -45.0;
// Talk-off guards: the pair holds at least this share of the frame's energy (a dial tone's
// left out, keys being sent over one), and neither tone has a second harmonic within 10 dB of
// it, as a voice's do.
constexpr double kPairShare = 0.7;
constexpr double kHarmonicShare = 0.1;
// Two hits make a key, one that lasts at least 32 ms from its first sample to its last as its
// edges are measured. Tones of 40 ms must be heard and of 23 ms refused: 32 ms lies near the
// middle, leaving each edge some 4 ms of error either way (the edges of a key under noise
// of 15 dB fall within 4 ms, the ramps of the tool's keys within 3).
constexpr int kHitsNeeded = 2;
constexpr int kShortestKeyMs = 32;
// Up to five frames without a hit are bridged: a break of 10 ms spoils at most five (its
// 80 samples at 8000 Hz and the 153 of a hit's stretch span no more than five hops of 51),
// while a pause of 40 ms spoils nine.
constexpr int kMissesBridged = 5;
// A frame at least this share of a frame's magnitude holds the whole tone.
constexpr double kWholeShare = 0.9;

constexpr double NominalHz(int bin) {
    if (bin < 4) return DtmfKeypad::kRowHz[bin];
    if (bin < 8) return DtmfKeypad::kColumnHz[bin - 4];
    if (bin < kDialBin) return 2.0 * NominalHz(bin - kHarmonicBin);
    return bin == kDialBin ? 350.0 : 440.0;
}

double Dbm0(double amplitude) { return 20.0 * Log10(amplitude) + kFullScaleDbm0; }

double Share(double part, double whole) {
    if (!(whole > 0.0)) return 1.0;
    const double share = part / whole;
    return share >= 1.0 ? 1.0 : share >= 0.0 ? share : 0.0;
}

}  // namespace

DtmfDetector::DtmfDetector(int sampleRate, EventSink sink) : rate_(sampleRate), half_(0), sink_(std::move(sink)) {
    if (sampleRate < kLowestRate || sampleRate > kHighestRate) {
        throw std::invalid_argument("the DTMF detector takes " + std::to_string(kLowestRate) + " to " +
                                    std::to_string(kHighestRate) + " Hz, not " + std::to_string(sampleRate));
    }
    // 51 samples at 8000 Hz, the same length at every rate.
    half_ = (sampleRate * 51 + 4000) / 8000;
    shortest_ = static_cast<std::uint64_t>((sampleRate * kShortestKeyMs + 500) / 1000);
    for (int b = 0; b < kBins; ++b) {
        const double w = 2.0 * kPi * NominalHz(b) / sampleRate;
        Bin& bin = bins_[static_cast<std::size_t>(b)];
        bin.coefficient = 2.0 * PortableMath::Cos(w);
        bin.turn = {PortableMath::Cos(w), -PortableMath::Sin(w)};
        bin.toStart = {PortableMath::Cos(w * (half_ - 1)), -PortableMath::Sin(w * (half_ - 1))};
        bin.hop = {PortableMath::Cos(w * half_), -PortableMath::Sin(w * half_)};
    }
}

void DtmfDetector::Feed(std::span<const double> samples) {
    for (const double sample : samples) Push(sample);
}

void DtmfDetector::Feed(std::span<const std::int16_t> samples) {
    for (const std::int16_t sample : samples) Push(sample / 32768.0);
}

void DtmfDetector::Push(double sample) {
    for (std::size_t b = 0; b < kBins; ++b) {
        const double s = sample + bins_[b].coefficient * s1_[b] - s2_[b];
        s2_[b] = s1_[b];
        s1_[b] = s;
    }
    energy_ += sample * sample;
    if (++filled_ == half_) EndHalf();
}

void DtmfDetector::EndHalf() {
    Frame half;
    for (std::size_t b = 0; b < kBins; ++b) {
        const Bin& bin = bins_[b];
        // y = s[H-1] - e^{-jw} s[H-2], then referred to the half's first sample.
        const Complex y{s1_[b] - bin.turn.re * s2_[b], -bin.turn.im * s2_[b]};
        half.sums[b] = {bin.toStart.re * y.re - bin.toStart.im * y.im, bin.toStart.re * y.im + bin.toStart.im * y.re};
        s1_[b] = 0.0;
        s2_[b] = 0.0;
    }
    half.energy = energy_;
    energy_ = 0.0;
    filled_ = 0;
    if (haveHalf_) {
        Frame& frame = frames_[frameCount_ % 3];
        for (std::size_t b = 0; b < kBins; ++b) {
            const Complex& first = lastHalf_.sums[b];
            const Complex& second = half.sums[b];
            const Complex& hop = bins_[b].hop;
            frame.sums[b] = {first.re + hop.re * second.re - hop.im * second.im, first.im + hop.re * second.im + hop.im * second.re};
        }
        frame.energy = lastHalf_.energy + half.energy;
        frame.row = 0;
        frame.column = 0;
        for (int t = 1; t < 4; ++t) {
            if (Magnitude(frame, t) > Magnitude(frame, frame.row)) frame.row = t;
            if (Magnitude(frame, 4 + t) > Magnitude(frame, 4 + frame.column)) frame.column = t;
        }
        ++frameCount_;
        if (frameCount_ >= 2) Examine();
    }
    lastHalf_ = half;
    haveHalf_ = true;
}

double DtmfDetector::Magnitude(const Frame& frame, int bin) const {
    const Complex& z = frame.sums[static_cast<std::size_t>(bin)];
    return std::sqrt(z.re * z.re + z.im * z.im);
}

bool DtmfDetector::Measure(Hit& hit) const {
    const Frame& previous = FrameAt(1);
    const Frame& frame = FrameAt(0);
    if (previous.row != frame.row || previous.column != frame.column) return false;
    const int length = 2 * half_;
    const int tones[2] = {frame.row, 4 + frame.column};
    double dbm0[2] = {};
    double hz[2] = {};
    double pairEnergy = 0.0;
    for (int i = 0; i < 2; ++i) {
        const std::size_t t = static_cast<std::size_t>(tones[i]);
        const Complex& a = previous.sums[t];
        const Complex& b = frame.sums[t];
        const Complex& hop = bins_[t].hop;
        // b conj(a) e^{-jwH} turns by the offset from the nominal frequency over a hop.
        const Complex turn{b.re * a.re + b.im * a.im, b.im * a.re - b.re * a.im};
        const double offset = Atan2(hop.re * turn.im + hop.im * turn.re, hop.re * turn.re - hop.im * turn.im) / half_;
        const double nominal = NominalHz(tones[i]);
        hz[i] = nominal + offset * rate_ / (2.0 * kPi);
        if (!(std::fabs(hz[i] - nominal) <= kFrequencyLimit * nominal)) return false;
        // A tone off its bin by `offset` radians a sample sums to |sin(N offset / 2) / sin(offset / 2)|.
        const double gain = offset == 0.0 ? length : std::fabs(PortableMath::Sin(length * offset / 2.0) / PortableMath::Sin(offset / 2.0));
        const double amplitude = 2.0 * Magnitude(frame, tones[i]) / gain;
        dbm0[i] = Dbm0(amplitude);
        if (!(dbm0[i] >= kLowestDbm0)) return false;
        pairEnergy += amplitude * amplitude * length / 2.0;
    }
    const double twist = dbm0[0] - dbm0[1];
    if (!(twist <= kNormalTwistDb && -twist <= kReverseTwistDb)) return false;
    const double dial = 2.0 * (Magnitude(frame, kDialBin) * Magnitude(frame, kDialBin) +
                               Magnitude(frame, kDialBin + 1) * Magnitude(frame, kDialBin + 1)) / length;
    if (!(pairEnergy >= kPairShare * (frame.energy - dial))) return false;
    // A row tone's harmonic near the key's column tone hears that tone: it is not checked then.
    const double resolution = 2.0 * rate_ / length;
    for (int i = 0; i < 2; ++i) {
        const double harmonicHz = 2.0 * NominalHz(tones[i]);
        if (std::fabs(harmonicHz - NominalHz(tones[1 - i])) <= resolution) continue;
        const double harmonic = Magnitude(frame, kHarmonicBin + tones[i]);
        const double tone = Magnitude(frame, tones[i]);
        if (!(harmonic * harmonic <= kHarmonicShare * tone * tone)) return false;
    }
    hit.key = DtmfKeypad::kKeys[static_cast<std::size_t>(4 * frame.row + frame.column)];
    hit.rowDbm0 = dbm0[0];
    hit.columnDbm0 = dbm0[1];
    hit.rowHz = hz[0];
    hit.columnHz = hz[1];
    hit.rowMagnitude = Magnitude(frame, tones[0]);
    hit.columnMagnitude = Magnitude(frame, tones[1]);
    return true;
}

void DtmfDetector::Examine() {
    Hit hit;
    if (Measure(hit)) {
        Record(hit);
    } else if (keyOn_) {
        Miss();
    }
}

void DtmfDetector::Record(const Hit& hit) {
    const std::uint64_t index = frameCount_ - 1;
    if (keyOn_ && current_.key != hit.key) Emit();
    if (!keyOn_) {
        current_ = Key{};
        current_.key = hit.key;
        current_.firstHitFrame = index;
        const int row = FrameAt(0).row;
        const int column = 4 + FrameAt(0).column;
        current_.before = {Magnitude(FrameAt(1), row), Magnitude(FrameAt(1), column), -1.0, -1.0};
        if (index >= 2) {
            current_.before[2] = Magnitude(FrameAt(2), row);
            current_.before[3] = Magnitude(FrameAt(2), column);
        }
        keyOn_ = true;
    }
    ++current_.hits;
    current_.misses = 0;
    current_.lastHitFrame = index;
    current_.peakRow = std::max(current_.peakRow, hit.rowMagnitude);
    current_.peakColumn = std::max(current_.peakColumn, hit.columnMagnitude);
    current_.after = {hit.rowMagnitude, hit.columnMagnitude, 0.0, 0.0};
    current_.afterSeen = false;
    current_.rowDbm0 += hit.rowDbm0;
    current_.columnDbm0 += hit.columnDbm0;
    current_.rowHz += hit.rowHz;
    current_.columnHz += hit.columnHz;
}

void DtmfDetector::Miss() {
    if (!current_.afterSeen) {
        const std::size_t p = DtmfKeypad::kKeys.find(current_.key);
        current_.after[2] = Magnitude(FrameAt(0), static_cast<int>(p / 4));
        current_.after[3] = Magnitude(FrameAt(0), 4 + static_cast<int>(p % 4));
        current_.afterSeen = true;
    }
    if (++current_.misses > kMissesBridged) Emit();
}

void DtmfDetector::Emit() {
    keyOn_ = false;
    if (current_.hits < kHitsNeeded) return;
    const Key& key = current_;
    const double length = 2.0 * half_;
    const auto share = [&key](double row, double column) {
        return (Share(row, key.peakRow) + Share(column, key.peakColumn)) / 2.0;
    };
    // A frame starting at jH that holds the tone's first L samples has L / N of a whole
    // frame's magnitude: the edges fall inside the first and last frames that hold part of it.
    const double f = static_cast<double>(key.firstHitFrame);
    const double beforeShare = share(key.before[0], key.before[1]);
    double start = (f - 1.0) * half_;
    if (beforeShare < kWholeShare) {
        start = (f + 1.0) * half_ - length * beforeShare;
    } else if (key.before[2] >= 0.0) {
        start = f * half_ - length * share(key.before[2], key.before[3]);
    }
    const double l = static_cast<double>(key.lastHitFrame);
    const double lastShare = share(key.after[0], key.after[1]);
    double end = (l + 2.0) * half_;
    if (lastShare < kWholeShare) {
        end = l * half_ + length * lastShare;
    } else if (key.afterSeen) {
        end = (l + 1.0) * half_ + length * share(key.after[2], key.after[3]);
    }
    DtmfEvent event;
    event.key = key.key;
    event.first = static_cast<std::uint64_t>(std::max(0.0, std::floor(start + 0.5)));
    const double last = std::floor(end + 0.5) - 1.0;
    event.last = std::max(event.first, static_cast<std::uint64_t>(std::max(0.0, last)));
    if (event.last - event.first + 1 < shortest_) return;
    event.rowDbm0 = key.rowDbm0 / key.hits;
    event.columnDbm0 = key.columnDbm0 / key.hits;
    event.rowHz = key.rowHz / key.hits;
    event.columnHz = key.columnHz / key.hits;
    if (sink_) sink_(event);
}

void DtmfDetector::Finish() {
    if (keyOn_) Emit();
}

}  // namespace Quorvex::VarnelNet::Detect
