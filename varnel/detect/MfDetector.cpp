#include "varnel/detect/MfDetector.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "varnel/detect/DetectMath.h"
#include "varnel/signal/DtmfKeypad.h"
#include "varnel/signal/PortableMath.h"

namespace Quorvex::VarnelNet::Detect {

namespace {

constexpr double kPi = 3.141592653589793238;
constexpr double kFullScaleDbm0 = 3.14;

// A tone within 1.5 % is accepted and one beyond 3.5 % refused: the limit lies between them.
// R1 and R2 senders keep their tones within 6 dB of each other: 1 dB more for the measurement.
// Signals are heard down to -40 dBm0 a tone.
constexpr double kFrequencyLimit = 0.025;
constexpr double kTwistDb = 7.0;
constexpr double kLowestDbm0 = -40.0;
// The pair holds at least this share of the frame's energy: a third tone of the set, a DTMF
// key or a voice (whose harmonics fall near two of the set) leave less. And no more than all of it with some room for the measurement:
// a single tone between two of the set is heard by both, the one farther off by its leakage.
constexpr double kPairShare = 0.85;
constexpr double kPairExcess = 1.15;
// Signals of 40 ms and longer are heard: R1's are 68 ms, R2's 150 ms; DTMF's 3 (697+1477 Hz,
// within R1's 7) is often sent for less.
constexpr int kHitsNeeded = 2;
constexpr int kShortestMs = 40;
constexpr int kMissesBridged = 2;

constexpr std::string_view kDigits = "1234567890";

double Dbm0(double amplitude) { return 20.0 * Log10(amplitude) + kFullScaleDbm0; }

// 64 samples at 8000 Hz: a frame resolves tones 120 Hz apart, as R2's are. Throws
// std::invalid_argument for a rate outside the detector's.
int HalfAt(int sampleRate) {
    if (sampleRate < MfDetector::kLowestRate || sampleRate > MfDetector::kHighestRate) {
        throw std::invalid_argument("the MF detector takes " + std::to_string(MfDetector::kLowestRate) + " to " +
                                    std::to_string(MfDetector::kHighestRate) + " Hz, not " + std::to_string(sampleRate));
    }
    return (sampleRate * 64 + 4000) / 8000;
}

std::string_view Letters(MfSystem system) { return system == MfSystem::R1 ? "KSABC" : "BCDEF"; }

}  // namespace

double MfError(const MfEvent& event) {
    const MfSignals::Pair pair = MfSignals::Find(event.system, event.signal);
    const double low = std::min(pair.low, pair.high);
    const double high = std::max(pair.low, pair.high);
    return std::fabs(event.lowHz - low) / low + std::fabs(event.highHz - high) / high;
}

bool KeyExplains(const DtmfEvent& key, const MfEvent& signal) {
    const std::optional<DtmfKeypad::Pair> pair = DtmfKeypad::Find(key.key);
    if (!pair || key.last < signal.first || signal.last < key.first) return false;
    const double error = std::fabs(key.rowHz - pair->row) / pair->row + std::fabs(key.columnHz - pair->column) / pair->column;
    return error < MfError(signal);
}

std::string_view MfSignalName(MfSystem system, char signal) {
    if (system == MfSystem::R1) {
        switch (signal) {
            case 'K': return "KP";
            case 'S': return "ST";
            case 'A': return "ST'";
            case 'B': return "ST''";
            case 'C': return "ST'''";
            default: break;
        }
    }
    const std::size_t at = kDigits.find(signal);
    if (at != std::string_view::npos) return kDigits.substr(at, 1);
    const std::size_t letter = Letters(system).find(signal);
    return letter == std::string_view::npos ? std::string_view() : Letters(system).substr(letter, 1);
}

std::string_view MfSystemWord(MfSystem system) {
    return system == MfSystem::R1 ? "r1" : system == MfSystem::R2Forward ? "r2f" : "r2b";
}

MfDetector::MfDetector(MfSystem system, int sampleRate, EventSink sink)
    : system_(system),
      rate_(sampleRate),
      half_(HalfAt(sampleRate)),
      sink_(std::move(sink)),
      heard_(half_, kHitsNeeded, kMissesBridged, static_cast<std::uint64_t>((sampleRate * kShortestMs + 500) / 1000)) {
    // The set, from the pairs of the signals that hold its first tone.
    const std::string_view firsts = system == MfSystem::R1 ? "1247C" : "1247B";
    hz_[0] = MfSignals::Find(system, '1').low;
    for (std::size_t i = 0; i < firsts.size(); ++i) hz_[i + 1] = MfSignals::Find(system, firsts[i]).high;
    std::sort(hz_.begin(), hz_.end());
    const auto toneOf = [this](double hz) {
        return static_cast<std::size_t>(std::find(hz_.begin(), hz_.end(), hz) - hz_.begin());
    };
    for (const std::string_view characters : {kDigits, Letters(system)}) {
        for (const char c : characters) {
            const MfSignals::Pair pair = MfSignals::Find(system, c);
            const std::size_t a = toneOf(pair.low);
            const std::size_t b = toneOf(pair.high);
            signals_[std::min(a, b)][std::max(a, b)] = c;
        }
    }
    for (std::size_t t = 0; t < kTones; ++t) {
        const double w = 2.0 * kPi * hz_[t] / sampleRate;
        Bin& bin = bins_[t];
        bin.coefficient = 2.0 * PortableMath::Cos(w);
        bin.turn = {PortableMath::Cos(w), -PortableMath::Sin(w)};
        bin.toStart = {PortableMath::Cos(w * (half_ - 1)), -PortableMath::Sin(w * (half_ - 1))};
        bin.hop = {PortableMath::Cos(w * half_), -PortableMath::Sin(w * half_)};
    }
}

void MfDetector::Feed(std::span<const double> samples) {
    for (const double sample : samples) Push(sample);
}

void MfDetector::Push(double sample) {
    for (std::size_t t = 0; t < kTones; ++t) {
        const double s = sample + bins_[t].coefficient * s1_[t] - s2_[t];
        s2_[t] = s1_[t];
        s1_[t] = s;
    }
    energy_ += sample * sample;
    if (++filled_ == half_) EndHalf();
}

void MfDetector::EndHalf() {
    Frame half;
    for (std::size_t t = 0; t < kTones; ++t) {
        const Bin& bin = bins_[t];
        const Complex y{s1_[t] - bin.turn.re * s2_[t], -bin.turn.im * s2_[t]};
        half.sums[t] = {bin.toStart.re * y.re - bin.toStart.im * y.im, bin.toStart.re * y.im + bin.toStart.im * y.re};
        s1_[t] = 0.0;
        s2_[t] = 0.0;
    }
    half.energy = energy_;
    energy_ = 0.0;
    filled_ = 0;
    if (haveHalf_) {
        Frame& frame = frames_[frameCount_ % 3];
        for (std::size_t t = 0; t < kTones; ++t) {
            const Complex& first = lastHalf_.sums[t];
            const Complex& second = half.sums[t];
            const Complex& hop = bins_[t].hop;
            frame.sums[t] = {first.re + hop.re * second.re - hop.im * second.im, first.im + hop.re * second.im + hop.im * second.re};
        }
        frame.energy = lastHalf_.energy + half.energy;
        int best = 0;
        int next = 1;
        if (Magnitude(frame, 1) > Magnitude(frame, 0)) std::swap(best, next);
        for (int t = 2; t < kTones; ++t) {
            if (Magnitude(frame, t) > Magnitude(frame, best)) {
                next = best;
                best = t;
            } else if (Magnitude(frame, t) > Magnitude(frame, next)) {
                next = t;
            }
        }
        frame.low = std::min(best, next);
        frame.high = std::max(best, next);
        ++frameCount_;
        if (frameCount_ >= 2) {
            const auto magnitude = [this](int back, int tone) { return Magnitude(FrameAt(back), tone); };
            PairHit hit;
            if (Measure(hit)) {
                Report(heard_.Hit(frameCount_ - 1, hit, magnitude));
            } else if (heard_.On()) {
                Report(heard_.Miss(magnitude));
            }
        }
    }
    lastHalf_ = half;
    haveHalf_ = true;
}

double MfDetector::Magnitude(const Frame& frame, int tone) const {
    const Complex& z = frame.sums[static_cast<std::size_t>(tone)];
    return std::sqrt(z.re * z.re + z.im * z.im);
}

bool MfDetector::Measure(PairHit& hit) const {
    const Frame& previous = FrameAt(1);
    const Frame& frame = FrameAt(0);
    if (previous.low != frame.low || previous.high != frame.high) return false;
    const int length = 2 * half_;
    const int tones[2] = {frame.low, frame.high};
    double dbm0[2] = {};
    double hz[2] = {};
    double pairEnergy = 0.0;
    for (int i = 0; i < 2; ++i) {
        const std::size_t t = static_cast<std::size_t>(tones[i]);
        const Complex& a = previous.sums[t];
        const Complex& b = frame.sums[t];
        const Complex& hop = bins_[t].hop;
        const Complex turn{b.re * a.re + b.im * a.im, b.im * a.re - b.re * a.im};
        const double offset = Atan2(hop.re * turn.im + hop.im * turn.re, hop.re * turn.re - hop.im * turn.im) / half_;
        hz[i] = hz_[t] + offset * rate_ / (2.0 * kPi);
        if (!(std::fabs(hz[i] - hz_[t]) <= kFrequencyLimit * hz_[t])) return false;
        const double gain = offset == 0.0 ? length : std::fabs(PortableMath::Sin(length * offset / 2.0) / PortableMath::Sin(offset / 2.0));
        const double amplitude = 2.0 * Magnitude(frame, tones[i]) / gain;
        dbm0[i] = Dbm0(amplitude);
        if (!(dbm0[i] >= kLowestDbm0)) return false;
        pairEnergy += amplitude * amplitude * length / 2.0;
    }
    if (!(std::fabs(dbm0[0] - dbm0[1]) <= kTwistDb)) return false;
    if (!(pairEnergy >= kPairShare * frame.energy && pairEnergy <= kPairExcess * frame.energy)) return false;
    hit = {{tones[0], tones[1]}, {dbm0[0], dbm0[1]}, {hz[0], hz[1]}, {Magnitude(frame, tones[0]), Magnitude(frame, tones[1])}};
    return true;
}

void MfDetector::Report(const std::optional<PairSignal>& signal) {
    if (!signal) return;
    MfEvent event;
    event.system = system_;
    event.signal = signals_[static_cast<std::size_t>(signal->tones[0])][static_cast<std::size_t>(signal->tones[1])];
    if (event.signal == 0 || !sink_) return;
    event.first = signal->first;
    event.last = signal->last;
    event.lowDbm0 = signal->dbm0[0];
    event.highDbm0 = signal->dbm0[1];
    event.lowHz = signal->hz[0];
    event.highHz = signal->hz[1];
    sink_(event);
}

void MfDetector::Finish() {
    if (heard_.On()) Report(heard_.End());
}

}  // namespace Quorvex::VarnelNet::Detect
