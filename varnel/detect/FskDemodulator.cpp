#include "varnel/detect/FskDemodulator.h"

#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>

#include "varnel/detect/DetectMath.h"
#include "varnel/signal/PortableMath.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Quorvex::VarnelNet::Detect {

namespace {

constexpr double kPi = 3.141592653589793238;
// A full-scale sine is +3.14 dBm0, as everywhere in the library.
constexpr double kFullScaleDbm0 = 3.14;
// Caller-ID receivers must decode down to -36 dBm0 (Bell) or -34 (ETSI) and stay quiet below
// -48: the floor lies between, with the carrier kept down to 3 dB under it.
constexpr double kFloorDbm0 = -42.0;
constexpr double kCarrierKeptDb = 3.0;
// The smoothing of the share and the level, and the fall of the mark's and the space's level
// at the slicer, in bits.
constexpr double kCarrierBits = 4.0;
constexpr double kReferenceBits = 32.0;
// A character's bits must be decided, on average, at least this far from the slicer's middle,
// as a share of the way to the mark's or the space's level (clean FSK: about 1).
constexpr double kLeastContrast = 0.5;
constexpr double kLargestSample = 8.0;
constexpr int kCharacterBits = 10;

using Lanes = double __attribute__((vector_size(16)));

// The square root of each lane, which IEEE 754 rounds exactly: the same bits on every build.
Lanes SquareRoots(Lanes x) {
#if defined(__SSE2__)
    return _mm_sqrt_pd(x);
#else
    return Lanes{std::sqrt(x[0]), std::sqrt(x[1])};
#endif
}

// part / whole, or 0 where whole is 0.
double ShareOf(double part, double whole) { return whole > 0.0 ? part / whole : 0.0; }

}  // namespace

FskDemodulator::FskDemodulator(const ModemSpec& modem, int sampleRate, ByteSink onByte, CarrierSink onCarrierLost)
    : rate_(sampleRate), window_(0), bitSamples_(0.0), floor_(0.0), keptFloor_(0.0), carrierStep_(0.0), fall_(0.0),
      onByte_(std::move(onByte)), onCarrierLost_(std::move(onCarrierLost)) {
    if (sampleRate < kLowestRate || sampleRate > kHighestRate) {
        throw std::invalid_argument("the FSK demodulator takes " + std::to_string(kLowestRate) + " to " +
                                    std::to_string(kHighestRate) + " Hz, not " + std::to_string(sampleRate));
    }
    bitSamples_ = sampleRate / modem.bitRate;
    window_ = static_cast<int>(bitSamples_ + 0.5);
    floor_ = window_ * PortableMath::Pow10((kFloorDbm0 - kFullScaleDbm0) / 20.0) / 2.0;
    keptFloor_ = floor_ * PortableMath::Pow10(-kCarrierKeptDb / 20.0);
    carrierStep_ = 1.0 / (kCarrierBits * bitSamples_);
    fall_ = 1.0 - 1.0 / (kReferenceBits * bitSamples_);
    SetUp(tones_, modem.markHz, modem.spaceHz, sampleRate, window_);
    SetUp(guards_, 2.0 * modem.markHz - modem.spaceHz, 2.0 * modem.spaceHz - modem.markHz, sampleRate, window_);
}

void FskDemodulator::SetUp(Correlators& c, double lowHz, double highHz, int sampleRate, int window) {
    const double low = 2.0 * kPi * lowHz / sampleRate;
    const double high = 2.0 * kPi * highHz / sampleRate;
    for (int m = 0; m < window; ++m) {
        const auto at = static_cast<std::size_t>(m);
        c.weightRe[at] = Pair{PortableMath::Cos(low * (m + 1)), PortableMath::Cos(high * (m + 1))};
        c.weightIm[at] = Pair{PortableMath::Sin(low * (m + 1)), PortableMath::Sin(high * (m + 1))};
    }
    // e^{jw} and e^{jwN} are the first weight and the last.
    const auto last = static_cast<std::size_t>(window - 1);
    c.turnRe = c.weightRe[0];
    c.turnIm = c.weightIm[0];
    c.windowTurnRe = c.weightRe[last];
    c.windowTurnIm = c.weightIm[last];
}

void FskDemodulator::Feed(std::span<const double> samples) {
    while (!samples.empty()) {
        const std::span<const double> chunk = samples.first(samples.size() < kChunk ? samples.size() : kChunk);
        Measure(chunk);
        for (std::size_t i = 0; i < chunk.size(); ++i) Decide(i);
        samples = samples.subspan(chunk.size());
    }
}

// S[n] = e^{jw} (S[n-1] + x[n] - e^{jwN} x[n-N]): the sum over the window of x[n-m] e^{jw(m+1)}.
void FskDemodulator::Slide(double sample) {
    double& slot = ring_[static_cast<std::size_t>(ringAt_)];
    const double leaving = slot;
    slot = sample;
    const Pair x = {sample, sample};
    const Pair out = {leaving, leaving};
    for (Correlators* c : {&tones_, &guards_}) {
        const Pair re = c->sumRe + x - c->windowTurnRe * out;
        const Pair im = c->sumIm - c->windowTurnIm * out;
        c->sumRe = c->turnRe * re - c->turnIm * im;
        c->sumIm = c->turnRe * im + c->turnIm * re;
    }
}

// Once a window (as the ring comes round to its start) the sums are taken afresh from the
// window's samples, so that rounding never builds up (and a huge sample leaves nothing behind
// once it has left the window).
void FskDemodulator::Resum() {
    for (Correlators* c : {&tones_, &guards_}) {
        Pair re{}, im{};
        for (int m = 0; m < window_; ++m) {
            const double sample = ring_[static_cast<std::size_t>(window_ - 1 - m)];
            const Pair x = {sample, sample};
            re = re + x * c->weightRe[static_cast<std::size_t>(m)];
            im = im + x * c->weightIm[static_cast<std::size_t>(m)];
        }
        c->sumRe = re;
        c->sumIm = im;
    }
}

// Through silence (a window of samples of 0, and 0 since) the sums stay 0 and only the carrier's
// smoothing moves: the correlators idle until a sample that is not 0. (The sign of a sum's 0 may
// then differ from what sliding would leave, which no result sees: the magnitudes square the
// sums, and the mark's turns, starting at +0, are left as they are by a 0 added.)
void FskDemodulator::Measure(std::span<const double> samples) {
    lastMark_ = {tones_.sumRe[0], tones_.sumIm[0]};
    for (std::size_t i = 0; i < samples.size(); ++i) {
        double sample = samples[i];
        if (!std::isfinite(sample)) sample = 0.0;
        sample = sample > kLargestSample ? kLargestSample : sample < -kLargestSample ? -kLargestSample : sample;
        const bool zero = sample == 0.0;
        zeros_ = !zero ? 0 : zeros_ < window_ ? zeros_ + 1 : zeros_;
        const bool idle = quiet_ && zero;
        if (idle) {
            // The sums are +0, as the sum over the window that made them quiet left them.
            ringAt_ = ringAt_ + 1 == window_ ? 0 : ringAt_ + 1;
            measured_.mark[i] = 0.0;
            measured_.space[i] = 0.0;
            measured_.share[i] = 0.0;
            measured_.whole[i] = 0.0;
            measured_.markRe[i] = 0.0;
            measured_.markIm[i] = 0.0;
            continue;
        }
        quiet_ = false;
        Slide(sample);
        ringAt_ = ringAt_ + 1 == window_ ? 0 : ringAt_ + 1;
        if (ringAt_ == 0) {
            Resum();
            quiet_ = zeros_ == window_;
        }
        // |S|, the mark's and the space's side by side.
        const Lanes magnitudes = SquareRoots(tones_.sumRe * tones_.sumRe + tones_.sumIm * tones_.sumIm);
        const double power = magnitudes[0] * magnitudes[0] + magnitudes[1] * magnitudes[1];
        const Pair guardRe = guards_.sumRe * guards_.sumRe;
        const Pair guardIm = guards_.sumIm * guards_.sumIm;
        const double guards = guardRe[0] + guardIm[0] + guardRe[1] + guardIm[1];
        measured_.mark[i] = magnitudes[0];
        measured_.space[i] = magnitudes[1];
        measured_.share[i] = power;
        measured_.whole[i] = power + guards;
        measured_.markRe[i] = tones_.sumRe[0];
        measured_.markIm[i] = tones_.sumIm[0];
    }
    // The shares, two samples at a time.
    std::size_t i = 0;
    for (; i + 1 < samples.size(); i += 2) {
        const Lanes part = {measured_.share[i], measured_.share[i + 1]};
        const Lanes whole = {measured_.whole[i], measured_.whole[i + 1]};
        const Lanes share = whole > 0.0 ? part / whole : Lanes{};
        measured_.share[i] = share[0];
        measured_.share[i + 1] = share[1];
    }
    if (i < samples.size()) measured_.share[i] = ShareOf(measured_.share[i], measured_.whole[i]);
}

// What Measure and Decide would do with samples of 0 while resting: the share and the level fall
// (both only fall on 0, so the carrier, down, stays down). For x of 0 or more, x + (0 - x) c is
// x - x c to the bit.
void FskDemodulator::Rest(std::size_t count) {
    ringAt_ = static_cast<int>((static_cast<std::size_t>(ringAt_) + count) % static_cast<std::size_t>(window_));
    sample_ += count;
    if (share_ == 0.0 && level_ == 0.0) return;
    for (std::size_t i = 0; i < count; ++i) {
        share_ -= share_ * carrierStep_;
        level_ -= level_ * carrierStep_;
    }
}

void FskDemodulator::ReadBit(double decision) {
    const bool mark = decision > 0.0;
    if (bit_ == 0 && mark) {
        stage_ = Stage::Hunting;  // a false start
        return;
    }
    if (bit_ >= 1 && bit_ <= 8 && mark) bits_ = static_cast<std::uint16_t>(bits_ | (1u << (bit_ - 1)));
    if (bit_ == kCharacterBits - 1) {
        if (mark) EndCharacter();
        else idleFrom_ = static_cast<double>(sample_);  // a framing error: the idle mark starts again
        stage_ = Stage::Hunting;
        return;
    }
    ++bit_;
}

void FskDemodulator::EndCharacter() {
    const double start = edge_ + 1.0 - window_ / 2.0;
    const double end = start + kCharacterBits * bitSamples_;
    const double idle = (start - idleFrom_) / bitSamples_;
    idleFrom_ = end;
    if (contrast_ < kLeastContrast * kCharacterBits || magnitude_ < floor_ * kCharacterBits) return;
    FskByte byte;
    byte.value = static_cast<std::uint8_t>(bits_);
    byte.first = start > 0.0 ? static_cast<std::uint64_t>(start + 0.5) : 0;
    byte.last = static_cast<std::uint64_t>(end + 0.5) - 1;
    byte.idleBits = idle > 0.0 ? idle : 0.0;
    byte.dbm0 = 20.0 * Log10(2.0 * magnitude_ / kCharacterBits / window_) + kFullScaleDbm0;
    if (onByte_) onByte_(byte);
}

double FskDemodulator::MarkHz() const {
    if (markTurns_.re == 0.0 && markTurns_.im == 0.0) return 0.0;
    return Atan2(markTurns_.im, markTurns_.re) * rate_ / (2.0 * kPi);
}

}  // namespace Quorvex::VarnelNet::Detect
