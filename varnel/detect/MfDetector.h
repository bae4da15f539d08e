#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

#include "varnel/detect/DtmfDetector.h"
#include "varnel/detect/PairTracker.h"
#include "varnel/signal/MfSignals.h"

namespace Quorvex::VarnelNet::Detect {

// A trunk signal heard: its character as the tool's requests write it (0-9; R1's KP K, ST S,
// ST' A, ST'' B, ST''' C; R2's 11-15 B-F), its first and last sample (both included), the
// level of each tone in dBm0 and the frequencies measured, averaged over the signal.
struct MfEvent {
    MfSystem system = MfSystem::R1;
    char signal = 0;
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    double lowDbm0 = 0.0;
    double highDbm0 = 0.0;
    double lowHz = 0.0;
    double highHz = 0.0;
};

// How far a signal's frequencies are from their nominal ones, relatively (summed).
double MfError(const MfEvent& event);
// Whether a DTMF key explains an MF signal heard at the same time better: R1's 7 (700+1500 Hz)
// and the key 3 (697+1477 Hz) are within each other's tolerance.
bool KeyExplains(const DtmfEvent& key, const MfEvent& signal);

// The name of a signal: "KP", "ST", "ST'", "ST''", "ST'''" for R1's, the character otherwise.
std::string_view MfSignalName(MfSystem system, char signal);
// "r1", "r2f", "r2b": the words of the tool's requests.
std::string_view MfSystemWord(MfSystem system);

// A streaming receiver of one system's two-of-six signals, built as the DTMF receiver is: frames
// of two half-frames of 8 ms (16 ms, hop 8 ms), Goertzel filters at the system's six
// frequencies, the two strongest tones with their frequencies from the turn of their phase
// between frames and their levels corrected for that offset, the twist, and the share of the
// frame's energy the pair holds (a third tone or a voice leaves less). Two hits make a signal,
// short breaks bridged, and it lasts long enough from the edges measured in its first and last
// frames. Blocks of any size report what the whole input does; nothing is allocated once
// constructed.
class MfDetector {
public:
    using EventSink = std::function<void(const MfEvent&)>;

    static constexpr int kLowestRate = 8000;
    static constexpr int kHighestRate = 48000;

    // Throws std::invalid_argument for a rate outside kLowestRate to kHighestRate.
    MfDetector(MfSystem system, int sampleRate, EventSink sink);

    // Samples where full scale is 1.0; a frame holding one that is not a finite number is no
    // signal.
    void Feed(std::span<const double> samples);
    // The input has ended: reports a signal still sounding.
    void Finish();

private:
    static constexpr int kTones = 6;
    struct Complex {
        double re = 0.0;
        double im = 0.0;
    };
    struct Bin {
        double coefficient = 0.0;  // 2 cos w
        Complex turn;              // e^{-jw}
        Complex toStart;           // e^{-jw(H-1)}
        Complex hop;               // e^{-jwH}
    };
    struct Frame {
        std::array<Complex, kTones> sums{};
        double energy = 0.0;
        int low = 0;  // the two strongest tones, low < high
        int high = 1;
    };

    void Push(double sample);
    void EndHalf();
    bool Measure(PairHit& hit) const;
    void Report(const std::optional<PairSignal>& signal);
    double Magnitude(const Frame& frame, int tone) const;
    const Frame& FrameAt(int back) const { return frames_[(frameCount_ + 3 - 1 - static_cast<std::uint64_t>(back)) % 3]; }

    MfSystem system_;
    int rate_;
    int half_ = 0;
    EventSink sink_;
    std::array<double, kTones> hz_{};
    std::array<std::array<char, kTones>, kTones> signals_{};  // by tone pair, 0 for none
    std::array<Bin, kTones> bins_{};
    std::array<double, kTones> s1_{};
    std::array<double, kTones> s2_{};
    double energy_ = 0.0;
    int filled_ = 0;
    bool haveHalf_ = false;
    Frame lastHalf_;
    std::array<Frame, 3> frames_{};
    std::uint64_t frameCount_ = 0;
    PairTracker heard_;
};

}  // namespace Quorvex::VarnelNet::Detect
