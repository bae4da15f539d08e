#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>

namespace Quorvex::VarnelNet::Detect {

// A stretch of steady tone: its first and last sample (both included), up to three tones with
// the frequencies measured and their levels in dBm0, strongest first, and what it does over
// time: its amplitude modulation (the rate that fits best and its depth), the reversals of its
// phase, and for 1650 and 1850 Hz together the runs of 1850 Hz (the zeros of V.21's flags).
struct ToneSegment {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    int toneCount = 0;
    std::array<double, 3> hz{};
    std::array<double, 3> dbm0{};
    double modulationHz = 0.0;  // 0: not modulated
    double depth = 0.0;
    int reversals = 0;
    int spaceRuns = 0;
};

// Cuts the input into slots of 5 ms and looks, with Goertzel filters at the frequencies of the
// library's tone tables, at the window of the last eight (40 ms, resolving tones 25 Hz apart).
// A segment is a run of slots holding energy, ended by a drop of 17 dB from its mean lasting
// longer than 10 ms (an amplitude-modulated tone's troughs are bridged), by a rise of 10 dB
// (a louder tone starting), or by another tone taking over the window. Over the windows
// wholly inside it, each filter's power and the turn of its phase from window to window are
// summed: the strongest filters, 25 Hz apart at least, are its tones, their frequencies
// measured from that turn. The magnitudes of the strongest filter slot by slot are its
// envelope, whose modulation is measured at the rates the tables use, and whose phase gives
// the reversals. A segment whose tones hold less than three quarters of its energy is noise
// and is not reported, but for V.21's keyed tones: their energy, spread between them by the
// keying, is measured slot by slot (5 ms resolve 1650 from 1850 Hz).
//
// Blocks of any size report what the whole input does; nothing is allocated once constructed.
class ToneSegmenter {
public:
    using SegmentSink = std::function<void(const ToneSegment&)>;

    static constexpr int kMaxBins = 40;
    static constexpr int kMaxRates = 8;

    // The rate is 8000 to 48000 Hz (not checked here: the tone detector does).
    ToneSegmenter(int sampleRate, std::span<const double> binHz, std::span<const double> modulationHz, SegmentSink sink);

    void Feed(std::span<const double> samples);
    // The input has ended: reports a segment still open.
    void Finish();
    // Samples fed so far.
    std::uint64_t Position() const { return position_; }

private:
    static constexpr int kWindowSlots = 8;
    struct Complex {
        double re = 0.0;
        double im = 0.0;
    };
    struct Bin {
        double hz = 0.0;
        double coefficient = 0.0;  // 2 cos w
        Complex turn;              // e^{-jw}
        Complex toStart;           // e^{-jw(S-1)}
        Complex step;              // e^{-jwS}: the phase of one slot's start to the next's
    };
    // What a segment sums while it lasts.
    struct Sums {
        std::uint64_t firstSlot = 0;
        std::uint64_t lastOnSlot = 0;
        double firstEnergy = 0.0;
        double lastEnergy = 0.0;
        double slotEnergy = 0.0;
        int slots = 0;
        int offRun = 0;
        int dominant = -1;
        int changes = 0;
        bool endedByChange = false;
        std::array<double, kMaxBins> power{};
        std::array<Complex, kMaxBins> turn{};
        double windowEnergy = 0.0;
        int windows = 0;
        bool lastWindowSummed = false;
        double envelope = 0.0;
        int envelopeSlots = 0;
        std::array<Complex, kMaxRates> envelopeAt{};  // the envelope's sum at each rate
        std::array<Complex, kMaxRates> constantAt{};  // a constant's, to take its mean out
        std::array<Complex, 2> lastDominant{};        // the dominant filter's last two slots
        int reversals = 0;
        int holdOff = 0;
        bool space = false;
        int spaceRuns = 0;
        double keyedEnergy = 0.0;  // of 1650 and 1850 Hz slot by slot, and of the slots
        double slotsEnergy = 0.0;
    };

    void Push(double sample);
    void EndSlot();
    void Open(std::uint64_t slot, double energy);
    void Close();
    void Window(std::uint64_t slot);
    void Track(std::uint64_t slot);
    double MeasuredHz(int bin) const;
    double Power(const Complex& z) const { return z.re * z.re + z.im * z.im; }

    int rate_;
    int slot_;  // S, samples in a slot
    SegmentSink sink_;
    int binCount_ = 0;
    std::array<Bin, kMaxBins> bins_{};
    int rateCount_ = 0;
    std::array<double, kMaxRates> rates_{};
    std::array<Complex, kMaxRates> rateSteps_{};
    std::array<Complex, kMaxRates> ratePhases_{};
    int markBin_ = -1;  // 1650 and 1850 Hz, when among the bins
    int spaceBin_ = -1;
    std::array<double, kMaxBins> s1_{};
    std::array<double, kMaxBins> s2_{};
    std::array<Complex, kMaxBins> phases_{};  // e^{-jwn} at the slot's first sample n
    double energy_ = 0.0;
    int filled_ = 0;
    std::uint64_t position_ = 0;
    std::uint64_t slotCount_ = 0;
    std::array<std::array<Complex, kMaxBins>, kWindowSlots> ring_{};
    std::array<double, kWindowSlots> ringEnergy_{};
    std::array<Complex, kMaxBins> window_{};
    std::array<Complex, kMaxBins> lastWindow_{};
    double windowEnergy_ = 0.0;
    bool open_ = false;
    Sums sums_;
};

}  // namespace Quorvex::VarnelNet::Detect
