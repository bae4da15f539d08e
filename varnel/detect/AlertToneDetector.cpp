#include "varnel/detect/AlertToneDetector.h"

#include <utility>

#include "varnel/detect/DetectMath.h"
#include "varnel/signal/PortableMath.h"

namespace Quorvex::VarnelNet::Detect {

namespace {

constexpr double kPi = 3.141592653589793238;
constexpr double kFullScaleDbm0 = 3.14;
constexpr double kLowHz = 2130.0;
constexpr double kHighHz = 2750.0;
// Each tone from 0 down to -40 dBm0 at least, the two within 6 dB, holding 70 % of the energy.
constexpr double kFloorDbm0 = -45.0;
constexpr double kTwist = 3.98;  // 6 dB in power
constexpr double kShare = 0.7;
constexpr int kHitsNeeded = 5;

// |X|^2 of a tone of amplitude a over n samples is (a n / 2)^2.
double Dbm0(double power, int samples) { return 10.0 * Log10(4.0 * power / (static_cast<double>(samples) * samples)) + kFullScaleDbm0; }

}  // namespace

AlertToneDetector::AlertToneDetector(int sampleRate, EventSink sink)
    : sink_(std::move(sink)), block_(sampleRate / 200), floorPower_(0.0) {
    const double amplitude = PortableMath::Pow10((kFloorDbm0 - kFullScaleDbm0) / 20.0);
    floorPower_ = amplitude * block_ / 2.0 * (amplitude * block_ / 2.0);
    low_.coefficient = 2.0 * PortableMath::Cos(2.0 * kPi * kLowHz / sampleRate);
    high_.coefficient = 2.0 * PortableMath::Cos(2.0 * kPi * kHighHz / sampleRate);
}

// A block of 0 is no hit, and with no hit pending its end reports nothing.
void AlertToneDetector::Rest(std::size_t count) {
    const std::size_t filled = static_cast<std::size_t>(filled_) + count;
    blocks_ += filled / static_cast<std::size_t>(block_);
    filled_ = static_cast<int>(filled % static_cast<std::size_t>(block_));
}

void AlertToneDetector::EndBlock() {
    double powers[2];
    int i = 0;
    for (Tone* tone : {&low_, &high_}) {
        powers[i++] = tone->s1 * tone->s1 + tone->s2 * tone->s2 - tone->coefficient * tone->s1 * tone->s2;
        tone->s1 = 0.0;
        tone->s2 = 0.0;
    }
    // A tone's power over the block is |X|^2 * 2 / n.
    const double tonesEnergy = (powers[0] + powers[1]) * 2.0 / block_;
    const bool hit = powers[0] >= floorPower_ && powers[1] >= floorPower_ && powers[0] <= kTwist * powers[1] &&
                     powers[1] <= kTwist * powers[0] && tonesEnergy >= kShare * energy_;
    energy_ = 0.0;
    filled_ = 0;
    if (hit) {
        if (hits_ == 0) {
            firstHit_ = blocks_;
            low_.power = 0.0;
            high_.power = 0.0;
        }
        ++hits_;
        low_.power += powers[0];
        high_.power += powers[1];
    } else {
        Emit();
    }
    ++blocks_;
}

void AlertToneDetector::Emit() {
    if (hits_ >= kHitsNeeded && sink_) {
        AlertEvent event;
        event.first = firstHit_ * static_cast<std::uint64_t>(block_);
        event.last = (firstHit_ + static_cast<std::uint64_t>(hits_)) * static_cast<std::uint64_t>(block_) - 1;
        event.lowDbm0 = Dbm0(low_.power / hits_, block_);
        event.highDbm0 = Dbm0(high_.power / hits_, block_);
        sink_(event);
    }
    hits_ = 0;
}

void AlertToneDetector::Finish() { Emit(); }

}  // namespace Quorvex::VarnelNet::Detect
