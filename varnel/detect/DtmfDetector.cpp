#include "varnel/detect/DtmfDetector.h"

#include <algorithm>
#include <cmath>
#include <cstring>
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
// Just under half the amplitude of a tone at the floor, 10^((kLowestDbm0 - kFullScaleDbm0) / 20) / 2.
constexpr double kQuietAmplitude = 0.00195;
// Talk-off guards: the pair holds at least this share of the frame's energy (a dial tone's
// left out, keys being sent over one), and neither tone has a second harmonic within 10 dB of
// it, as a voice's do.
constexpr double kPairShare = 0.7;
constexpr double kHarmonicShare = 0.1;
// A pair quieter than the keys that must be heard (either tone below -36 dBm0) needs stronger
// evidence: it holds 0.9 of the frame's energy by itself, everything else at least 9.5 dB below
// it, with no allowance for a dial tone. The fading tail of a chord leaves partials this quiet
// whose strongest two can fall on a key's tones while its fundamentals sit on the dial tone's
// 350 and 440 Hz (F4 and A4, under the harmonics 698 and 1320 Hz of a chord in F); keys are
// sent over a dial tone at the levels keys are sent at, not below them.
constexpr double kQuietKeyDbm0 = -36.0;
constexpr double kQuietPairShare = 0.9;
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

constexpr double NominalHz(int bin) {
    if (bin < 4) return DtmfKeypad::kRowHz[bin];
    if (bin < 8) return DtmfKeypad::kColumnHz[bin - 4];
    if (bin < kDialBin) return 2.0 * NominalHz(bin - kHarmonicBin);
    return bin == kDialBin ? 350.0 : 440.0;
}

double Dbm0(double amplitude) { return 20.0 * Log10(amplitude) + kFullScaleDbm0; }

// 51 samples at 8000 Hz, the same length at every rate. Throws std::invalid_argument for a rate
// outside the detector's.
int HalfAt(int sampleRate) {
    if (sampleRate < DtmfDetector::kLowestRate || sampleRate > DtmfDetector::kHighestRate) {
        throw std::invalid_argument("the DTMF detector takes " + std::to_string(DtmfDetector::kLowestRate) + " to " +
                                    std::to_string(DtmfDetector::kHighestRate) + " Hz, not " + std::to_string(sampleRate));
    }
    return (sampleRate * 51 + 4000) / 8000;
}

}  // namespace

DtmfDetector::DtmfDetector(int sampleRate, EventSink sink)
    : rate_(sampleRate),
      half_(HalfAt(sampleRate)),
      sink_(std::move(sink)),
      keys_(half_, kHitsNeeded, kMissesBridged, static_cast<std::uint64_t>((sampleRate * kShortestKeyMs + 500) / 1000)) {
    for (int b = 0; b < kBins; ++b) {
        const double w = 2.0 * kPi * NominalHz(b) / sampleRate;
        Bin& bin = bins_[static_cast<std::size_t>(b)];
        bin.coefficient = 2.0 * PortableMath::Cos(w);
        bin.turn = {PortableMath::Cos(w), -PortableMath::Sin(w)};
        bin.toStart = {PortableMath::Cos(w * (half_ - 1)), -PortableMath::Sin(w * (half_ - 1))};
        bin.hop = {PortableMath::Cos(w * half_), -PortableMath::Sin(w * half_)};
        if (b < kTones) coefficients_[static_cast<std::size_t>(b)] = bin.coefficient;
    }
    for (std::size_t p = 0; p < kPairs; ++p) {
        const Bin& a = bins_[2 * p];
        const Bin& b = bins_[2 * p + 1];
        TonePair& pair = tonePairs_[p];
        pair.turnRe = Pair{a.turn.re, b.turn.re};
        pair.turnIm = Pair{a.turn.im, b.turn.im};
        pair.toStartRe = Pair{a.toStart.re, b.toStart.re};
        pair.toStartIm = Pair{a.toStart.im, b.toStart.im};
        pair.hopRe = Pair{a.hop.re, b.hop.re};
        pair.hopIm = Pair{a.hop.im, b.hop.im};
    }
}

void DtmfDetector::Feed(std::span<const double> samples) {
    FeedSamples(samples, [](double x) { return x; });
}

void DtmfDetector::Feed(std::span<const std::int16_t> samples) {
    // Times 2^-15: the same double as the division, exactly.
    FeedSamples(samples, [](std::int16_t x) { return x * (1.0 / 32768.0); });
}

// The samples are kept as they come; each half filled goes to the filters.
template <typename Sample, typename Scale>
void DtmfDetector::FeedSamples(std::span<const Sample> samples, Scale scale) {
    std::size_t at = 0;
    while (at < samples.size()) {
        const std::size_t take = std::min(samples.size() - at, static_cast<std::size_t>(half_ - filled_));
        double* kept = halves_[static_cast<std::size_t>(filling_)].data() + filled_;
        for (std::size_t i = 0; i < take; ++i) kept[i] = scale(samples[at + i]);
        at += take;
        filled_ += static_cast<int>(take);
        if (filled_ == half_) HalfFilled();
    }
}

// Two halves are filtered together: the one waiting and the one just filled.
void DtmfDetector::HalfFilled() {
    filled_ = 0;
    if (waiting_) {
        const int older = (filling_ + 2) % 3;
        HalfState first, second;
        Filter(older, filling_, first, second);
        partner_ = filling_;
        EndHalf(older, first);
        partner_ = -1;
        EndHalf(filling_, second);
    }
    waiting_ = !waiting_;
    filling_ = (filling_ + 1) % 3;
    lateReady_[static_cast<std::size_t>(filling_)] = 0;  // its samples are the next half's
}

void DtmfDetector::Filter(int a, int b, HalfState& first, HalfState& second) const {
    Pair coefficients[kPairs];
    std::memcpy(coefficients, coefficients_.data(), sizeof coefficients);
    // Each filter's newest value written over its oldest, two samples a turn: no copies.
    const auto step = [&coefficients](double sample, Pair* newer, Pair* older) {
        const Pair x = {sample, sample};
        for (std::size_t p = 0; p < kPairs; ++p) older[p] = x + coefficients[p] * newer[p] - older[p];
    };
    Pair a1[kPairs] = {}, a2[kPairs] = {}, b1[kPairs] = {}, b2[kPairs] = {};
    const double* x = halves_[static_cast<std::size_t>(a)].data();
    const double* y = halves_[static_cast<std::size_t>(b < 0 ? a : b)].data();
    Pair energies = {};  // of the halves a and b, side by side
    int i = 0;
    for (; i + 1 < half_; i += 2) {
        step(x[i], a1, a2);
        step(y[i], b1, b2);
        step(x[i + 1], a2, a1);
        step(y[i + 1], b2, b1);
        const Pair now = {x[i], y[i]};
        const Pair next = {x[i + 1], y[i + 1]};
        energies += now * now;
        energies += next * next;
    }
    if (i < half_) {
        step(x[i], a1, a2);
        step(y[i], b1, b2);
        std::swap(a1, a2);
        std::swap(b1, b2);
        const Pair now = {x[i], y[i]};
        energies += now * now;
    }
    std::memcpy(first.s1.data(), a1, sizeof a1);
    std::memcpy(first.s2.data(), a2, sizeof a2);
    first.energy = energies[0];
    std::memcpy(second.s1.data(), b1, sizeof b1);
    std::memcpy(second.s2.data(), b2, sizeof b2);
    second.energy = energies[1];
}

void DtmfDetector::LateSums(int binA, int binB) {
    const unsigned wanted = (1u << (binA - kTones)) | (1u << (binB - kTones));
    const auto ready = [this, wanted](int buffer) { return (lateReady_[static_cast<std::size_t>(buffer)] & wanted) == wanted; };
    // The frame's two halves and the half filtered with the second, if in (most often asked for
    // next): those not yet worked out go through the filters side by side, which costs little
    // more than one of them alone.
    const int candidates[3] = {(examined_ + 2) % 3, examined_, partner_};
    int halves[3] = {};
    std::size_t count = 0;
    for (const int half : candidates) {
        if (half >= 0 && !ready(half)) halves[count++] = half;
    }
    if (count == 0) return;
    const Pair coefficients = {bins_[static_cast<std::size_t>(binA)].coefficient, bins_[static_cast<std::size_t>(binB)].coefficient};
    const double* x[3];
    for (std::size_t k = 0; k < 3; ++k) x[k] = halves_[static_cast<std::size_t>(halves[std::min(k, count - 1)])].data();
    Pair s1[3] = {}, s2[3] = {};
    for (int i = 0; i < half_; ++i) {
        for (std::size_t k = 0; k < 3; ++k) {
            const Pair u = {x[k][i], x[k][i]};
            const Pair next = u + coefficients * s1[k] - s2[k];
            s2[k] = s1[k];
            s1[k] = next;
        }
    }
    const int bins[2] = {binA, binB};
    for (std::size_t k = 0; k < count; ++k) {
        for (std::size_t lane = 0; lane < 2; ++lane) EndLateSum(halves[k], bins[lane], s1[k][lane], s2[k][lane]);
    }
}

void DtmfDetector::EndLateSum(int half, int bin, double last, double before) {
    const Bin& b = bins_[static_cast<std::size_t>(bin)];
    // y = s[H-1] - e^{-jw} s[H-2], then referred to the half's first sample.
    const Complex y{last - b.turn.re * before, -b.turn.im * before};
    const std::size_t h = static_cast<std::size_t>(half);
    lateSums_[h][static_cast<std::size_t>(bin - kTones)] = {b.toStart.re * y.re - b.toStart.im * y.im, b.toStart.re * y.im + b.toStart.im * y.re};
    lateReady_[h] = static_cast<std::uint16_t>(lateReady_[h] | (1u << (bin - kTones)));
}

std::array<double, 2> DtmfDetector::LateMagnitudes(int binA, int binB) {
    const int firstHalf = (examined_ + 2) % 3;
    LateSums(binA, binB);
    std::array<double, 2> magnitudes{};
    const int bins[2] = {binA, binB};
    for (std::size_t i = 0; i < 2; ++i) {
        const std::size_t k = static_cast<std::size_t>(bins[i] - kTones);
        const Complex& first = lateSums_[static_cast<std::size_t>(firstHalf)][k];
        const Complex& second = lateSums_[static_cast<std::size_t>(examined_)][k];
        const Complex& hop = bins_[static_cast<std::size_t>(bins[i])].hop;
        const Complex z{first.re + hop.re * second.re - hop.im * second.im, first.im + hop.re * second.im + hop.im * second.re};
        magnitudes[i] = std::sqrt(z.re * z.re + z.im * z.im);
    }
    return magnitudes;
}

void DtmfDetector::EndHalf(int buffer, const HalfState& state) {
    examined_ = buffer;
    // The tones two at a time, each lane doing one bin's operations in the order written.
    HalfSums half;
    for (std::size_t p = 0; p < kPairs; ++p) {
        const TonePair& bin = tonePairs_[p];
        const Pair s1 = {state.s1[2 * p], state.s1[2 * p + 1]};
        const Pair s2 = {state.s2[2 * p], state.s2[2 * p + 1]};
        // y = s[H-1] - e^{-jw} s[H-2], then referred to the half's first sample.
        const Pair yRe = s1 - bin.turnRe * s2;
        const Pair yIm = -bin.turnIm * s2;
        half.re[p] = bin.toStartRe * yRe - bin.toStartIm * yIm;
        half.im[p] = bin.toStartRe * yIm + bin.toStartIm * yRe;
    }
    half.energy = state.energy;
    if (haveHalf_) {
        Frame& frame = frames_[frameSlot_];
        for (std::size_t p = 0; p < kPairs; ++p) {
            const TonePair& bin = tonePairs_[p];
            const Pair re = lastHalf_.re[p] + bin.hopRe * half.re[p] - bin.hopIm * half.im[p];
            const Pair im = lastHalf_.im[p] + bin.hopRe * half.im[p] + bin.hopIm * half.re[p];
            const Pair power = re * re + im * im;
            for (std::size_t lane = 0; lane < 2; ++lane) {
                frame.sums[2 * p + lane] = {re[lane], im[lane]};
                frame.magnitudes[2 * p + lane] = std::sqrt(power[lane]);
            }
        }
        frame.energy = lastHalf_.energy + half.energy;
        // The strongest of each group, chosen without branches: in noise the choice is a toss.
        const auto strongest = [&frame](int first) {
            int best = 0;
            double peak = Magnitude(frame, first);
            for (int t = 1; t < 4; ++t) {
                const double m = Magnitude(frame, first + t);
                const bool more = m > peak;
                best = more ? t : best;
                peak = more ? m : peak;
            }
            return best;
        };
        frame.row = strongest(0);
        frame.column = strongest(4);
        ++frameCount_;
        frameSlot_ = frameSlot_ == 2 ? 0 : frameSlot_ + 1;
        if (frameCount_ >= 2) Examine();
    }
    lastHalf_ = half;
    haveHalf_ = true;
}

bool DtmfDetector::Measure(PairHit& hit) {
    const Frame& previous = FrameAt(1);
    const Frame& frame = FrameAt(0);
    if (previous.row != frame.row || previous.column != frame.column) return false;
    const int length = 2 * half_;
    const int tones[2] = {frame.row, 4 + frame.column};
    // A tone within the frequency limit loses less than half its sum to the offset (0.6 of it at
    // the limit), so one whose magnitude, so counted, is 6 dB below the floor is refused,
    // whatever its frequency turns out to be: no need to measure it.
    for (const int tone : tones) {
        if (4.0 * Magnitude(frame, tone) / length < kQuietAmplitude) return false;
    }
    // Each step is taken for both tones before the next, the two independent: the processor
    // overlaps their long chains of dependent operations.
    double offsets[2] = {};
    for (int i = 0; i < 2; ++i) {
        const std::size_t t = static_cast<std::size_t>(tones[i]);
        const Complex& a = previous.sums[t];
        const Complex& b = frame.sums[t];
        const Complex& hop = bins_[t].hop;
        // b conj(a) e^{-jwH} turns by the offset from the nominal frequency over a hop.
        const Complex turn{b.re * a.re + b.im * a.im, b.im * a.re - b.re * a.im};
        offsets[i] = Atan2(hop.re * turn.im + hop.im * turn.re, hop.re * turn.re - hop.im * turn.im) / half_;
    }
    double hz[2] = {};
    for (int i = 0; i < 2; ++i) {
        const double nominal = NominalHz(tones[i]);
        hz[i] = nominal + offsets[i] * rate_ / (2.0 * kPi);
        if (!(std::fabs(hz[i] - nominal) <= kFrequencyLimit * nominal)) return false;
    }
    double amplitudes[2] = {};
    for (int i = 0; i < 2; ++i) {
        // A tone off its bin by `offset` radians a sample sums to |sin(N offset / 2) / sin(offset / 2)|.
        const double offset = offsets[i];
        const double gain = offset == 0.0 ? length : std::fabs(PortableMath::Sin(length * offset / 2.0) / PortableMath::Sin(offset / 2.0));
        amplitudes[i] = 2.0 * Magnitude(frame, tones[i]) / gain;
    }
    const double dbm0[2] = {Dbm0(amplitudes[0]), Dbm0(amplitudes[1])};
    double pairEnergy = 0.0;
    for (int i = 0; i < 2; ++i) {
        if (!(dbm0[i] >= kLowestDbm0)) return false;
        pairEnergy += amplitudes[i] * amplitudes[i] * length / 2.0;
    }
    const double twist = dbm0[0] - dbm0[1];
    if (!(twist <= kNormalTwistDb && -twist <= kReverseTwistDb)) return false;
    if (std::min(dbm0[0], dbm0[1]) < kQuietKeyDbm0) {
        if (!(pairEnergy >= kQuietPairShare * frame.energy)) return false;
    } else if (!(std::isfinite(frame.energy) && pairEnergy >= kPairShare * frame.energy)) {
        // The dial tone's energy, never negative, only lowers the share asked for: a pair that
        // holds its share of the whole frame passes without it (a finite frame's dial tone is no NaN).
        const std::array<double, 2> dialTones = LateMagnitudes(kDialBin, kDialBin + 1);
        const double dial = 2.0 * (dialTones[0] * dialTones[0] + dialTones[1] * dialTones[1]) / length;
        if (!(pairEnergy >= kPairShare * (frame.energy - dial))) return false;
    }
    // A row tone's harmonic near the key's column tone hears that tone: it is not checked then.
    const double resolution = 2.0 * rate_ / length;
    bool checked[2] = {};
    for (int i = 0; i < 2; ++i) checked[i] = !(std::fabs(2.0 * NominalHz(tones[i]) - NominalHz(tones[1 - i])) <= resolution);
    if (checked[0] || checked[1]) {
        // Both harmonics filtered at once (one of them twice when the other is not checked).
        const std::array<double, 2> harmonics =
            LateMagnitudes(kHarmonicBin + tones[checked[0] ? 0 : 1], kHarmonicBin + tones[checked[1] ? 1 : 0]);
        for (std::size_t i = 0; i < 2; ++i) {
            const double tone = Magnitude(frame, tones[i]);
            if (checked[i] && !(harmonics[i] * harmonics[i] <= kHarmonicShare * tone * tone)) return false;
        }
    }
    hit = {{tones[0], tones[1]}, {dbm0[0], dbm0[1]}, {hz[0], hz[1]}, {Magnitude(frame, tones[0]), Magnitude(frame, tones[1])}};
    return true;
}

void DtmfDetector::Examine() {
    const auto magnitude = [this](int back, int tone) { return Magnitude(FrameAt(back), tone); };
    PairHit hit;
    if (Measure(hit)) {
        Report(keys_.Hit(frameCount_ - 1, hit, magnitude));
    } else if (keys_.On()) {
        Report(keys_.Miss(magnitude));
    }
}

void DtmfDetector::Report(const std::optional<PairSignal>& key) {
    if (!key || !sink_) return;
    DtmfEvent event;
    event.key = DtmfKeypad::kKeys[static_cast<std::size_t>(4 * key->tones[0] + key->tones[1] - 4)];
    event.first = key->first;
    event.last = key->last;
    event.rowDbm0 = key->dbm0[0];
    event.columnDbm0 = key->dbm0[1];
    event.rowHz = key->hz[0];
    event.columnHz = key->hz[1];
    sink_(event);
}

void DtmfDetector::Finish() {
    if (waiting_) {
        const int older = (filling_ + 2) % 3;
        HalfState state, unused;
        Filter(older, -1, state, unused);
        EndHalf(older, state);
        waiting_ = false;
    }
    if (keys_.On()) Report(keys_.End());
}

}  // namespace Quorvex::VarnelNet::Detect
