#pragma once

#include <cstddef>
#include <cmath>
#include <cstdint>
#include <functional>
#include <span>

namespace Quorvex::VarnelNet::Detect {

// A dual-tone alerting signal heard (2130 and 2750 Hz together, as ETSI's DT-AS, BT's idle-state
// alert and the call-waiting CAS are): its first and last sample and the level of each tone.
struct AlertEvent {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    double lowDbm0 = 0.0;
    double highDbm0 = 0.0;
};

// A streaming receiver of the dual-tone alert. It looks at blocks of 5 ms with a Goertzel filter
// at each tone: a block where both tones sound above the floor, within 6 dB of each other, and
// hold most of its energy is a hit; an alert is 5 hits or more in a row (25 ms; the alert lasts
// 80 to 100 ms). Its edges are those of its first and last hit block. State is carried across
// calls; nothing is allocated once constructed.
class AlertToneDetector {
public:
    using EventSink = std::function<void(const AlertEvent&)>;

    // For a rate of 8000 to 48000 Hz (the caller checks it).
    AlertToneDetector(int sampleRate, EventSink sink);

    void Push(double sample);
    // Whether samples of 0 would only be counted: the block so far holds nothing and no hit is
    // pending, so that Rest may take them instead.
    bool Resting() const { return low_.s1 == 0.0 && low_.s2 == 0.0 && high_.s1 == 0.0 && high_.s2 == 0.0 && energy_ == 0.0 && hits_ == 0; }
    // Takes count samples of 0, while Resting().
    void Rest(std::size_t count);
    // The input has ended: reports an alert still sounding.
    void Finish();

private:
    static constexpr double kLargestSample = 8.0;
    struct Tone {
        double coefficient = 0.0;
        double s1 = 0.0;
        double s2 = 0.0;
        double power = 0.0;  // of the hits, summed
    };
    void EndBlock();
    void Emit();

    EventSink sink_;
    int block_;
    double floorPower_;  // a tone's Goertzel power at the floor
    Tone low_;
    Tone high_;
    double energy_ = 0.0;
    int filled_ = 0;
    std::uint64_t blocks_ = 0;
    int hits_ = 0;
    std::uint64_t firstHit_ = 0;
};

// Push is here, to be inlined in the loop of a receiver stepping several detectors a sample at a
// time.
inline void AlertToneDetector::Push(double sample) {
    if (!std::isfinite(sample)) sample = 0.0;
    sample = sample > kLargestSample ? kLargestSample : sample < -kLargestSample ? -kLargestSample : sample;
    for (Tone* tone : {&low_, &high_}) {
        const double s = sample + tone->coefficient * tone->s1 - tone->s2;
        tone->s2 = tone->s1;
        tone->s1 = s;
    }
    energy_ += sample * sample;
    if (++filled_ == block_) EndBlock();
}

}  // namespace Quorvex::VarnelNet::Detect
