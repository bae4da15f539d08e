#pragma once

#include <array>
#include <functional>
#include <optional>
#include <span>

#include "varnel/detect/MfDetector.h"
#include "varnel/detect/ToneDetector.h"

namespace Quorvex::VarnelNet::Detect {

// The receivers of everything but DTMF that `varnel detect` and Python's varnel.detect run on
// one input: MF R1, R2 forward and backward, and the tone detector. The MF systems share
// frequencies, and R1's ST (1500+1700 Hz) and R2's forward 5 (1500+1740 Hz) are within each
// other's tolerance: of signals two systems hear at once, the one nearer its nominal
// frequencies is reported.
class ToneListeners {
public:
    // Throws std::invalid_argument for a rate the detectors do not take.
    ToneListeners(int sampleRate, MfDetector::EventSink mf, ToneDetector::EventSink tones);
    ToneListeners(const ToneListeners&) = delete;
    ToneListeners& operator=(const ToneListeners&) = delete;

    void Feed(std::span<const double> samples);
    // Samples of 16 bits, full scale 32768.
    void Feed(std::span<const std::int16_t> samples);
    void Finish();

private:
    void Heard(const MfEvent& event);
    // Reports the signals held that ended before sample `before`, earliest first.
    void Release(std::uint64_t before);

    static constexpr std::uint64_t kStep = 64;

    MfDetector::EventSink sink_;
    std::uint64_t position_ = 0;
    std::uint64_t margin_;  // a signal is held this many samples after its end
    std::array<std::optional<MfEvent>, 8> held_{};  // until no other system's can overlap it
    std::array<MfDetector, 3> mf_;
    ToneDetector tones_;
};

}  // namespace Quorvex::VarnelNet::Detect
