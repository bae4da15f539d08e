#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "varnel/detect/PairTracker.h"

namespace Quorvex::VarnelNet::Detect {

// A key heard: its first and last sample (both included, counted from the first sample fed),
// the level of each tone in dBm0 and the frequencies measured, averaged over the key.
struct DtmfEvent {
    char key = 0;
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    double rowDbm0 = 0.0;
    double columnDbm0 = 0.0;
    double rowHz = 0.0;
    double columnHz = 0.0;
};

// A streaming DTMF receiver. It cuts the input into half-frames of about 6.4 ms and looks, with
// Goertzel filters, at every frame of two consecutive halves (12.75 ms, hop 6.4 ms): the
// strongest row and column tone, each tone's frequency from the turn of its phase between two
// frames, its level corrected for that offset, the twist, the share of the frame's energy the
// pair holds (a dial tone's energy left out, but not under a pair quieter than the keys that
// must be heard, which must hold more) and the tones' second harmonics. A frame that
// passes all of them is a hit; a key is two hits or more, its short breaks bridged, and lasts
// long enough from the edges measured in its first and last frames.
//
// The samples of a half are kept, and the 8 tones' filters run over two halves at once, side by
// side (so a half is examined once the next one is in, or at Finish); the harmonics' and the
// dial tone's filters run over a half's samples only when a frame has come that far in the
// checks.
//
// The state is carried across calls, so feeding a signal in blocks of any size reports what
// feeding it at once does, to the sample. Nothing is allocated once constructed.
class DtmfDetector {
public:
    using EventSink = std::function<void(const DtmfEvent&)>;

    static constexpr int kLowestRate = 8000;
    static constexpr int kHighestRate = 48000;

    // Throws std::invalid_argument for a rate outside kLowestRate to kHighestRate.
    DtmfDetector(int sampleRate, EventSink sink);

    // Samples where full scale is 1.0, or 16-bit ones (full scale 32768). A frame holding a
    // sample that is not a finite number is no key.
    void Feed(std::span<const double> samples);
    void Feed(std::span<const std::int16_t> samples);
    // The input has ended: reports a key still sounding.
    void Finish();

    static constexpr int kBins = 18;  // 8 tones, their 8 second harmonics, 350 and 440 Hz
    static constexpr int kTones = 8;  // the bins filtered on every sample

private:
    // Two doubles side by side: the filters run in pairs, each lane doing the IEEE operations
    // of one filter on its own, so the values are those of a loop over the bins, on every build.
    using Pair = double __attribute__((vector_size(16)));
    static constexpr std::size_t kPairs = kTones / 2;

    struct Complex {
        double re = 0.0;
        double im = 0.0;
    };
    struct Bin {
        double coefficient = 0.0;  // 2 cos w
        Complex turn;              // e^{-jw}
        Complex toStart;           // e^{-jw(H-1)}: a half's sum referred to its first sample
        Complex hop;               // e^{-jwH}: the second half of a frame referred to its start
    };
    // The turns of Bin for two tones, a lane each.
    struct TonePair {
        Pair turnRe, turnIm, toStartRe, toStartIm, hopRe, hopIm;
    };
    // A half's sums of the tones, two to a pair, referred to its first sample, and its energy.
    struct HalfSums {
        std::array<Pair, kPairs> re{};
        std::array<Pair, kPairs> im{};
        double energy = 0.0;
    };
    struct Frame {
        std::array<Complex, kTones> sums{};  // of the tones
        std::array<double, kTones> magnitudes{};
        double energy = 0.0;
        int row = 0;     // the strongest row and column, 0 to 3
        int column = 0;
    };
    // The tones' filters' last two values and the energy of a half.
    struct HalfState {
        std::array<double, kTones> s1{};
        std::array<double, kTones> s2{};
        double energy = 0.0;
    };
    template <typename Sample, typename Scale>
    void FeedSamples(std::span<const Sample> samples, Scale scale);
    void HalfFilled();
    // Runs the tones' filters over the kept halves in buffers a and b (b < 0: a alone).
    void Filter(int a, int b, HalfState& first, HalfState& second) const;
    void EndHalf(int buffer, const HalfState& state);
    // The sums of two bins not filtered on every sample over the kept halves of the frame
    // examined (and the next half, if in), each referred to its half's first sample, worked out
    // once for a half when first asked for.
    void LateSums(int binA, int binB);
    // Keeps the sum of such a bin over a half from its filter's last two values.
    void EndLateSum(int half, int bin, double last, double before);
    // The magnitudes of two such bins in the frame just ended.
    std::array<double, 2> LateMagnitudes(int binA, int binB);
    void Examine();
    bool Measure(PairHit& hit);
    void Report(const std::optional<PairSignal>& key);
    static double Magnitude(const Frame& frame, int bin) { return frame.magnitudes[static_cast<std::size_t>(bin)]; }
    const Frame& FrameAt(int back) const { return frames_[(frameSlot_ + 2u - static_cast<unsigned>(back)) % 3u]; }

    int rate_;
    int half_;  // H, samples in a half-frame
    EventSink sink_;
    static constexpr int kLongestHalf = (kHighestRate * 51 + 4000) / 8000;
    std::array<Bin, kBins> bins_{};
    std::array<TonePair, kPairs> tonePairs_{};
    std::array<double, kTones> coefficients_{};  // the tones' 2 cos w, side by side for the sample loop
    // The samples of the last halves, by half modulo 3: the one filling, one waiting for its
    // filters, and the one before (the first half of the waiting one's frame).
    std::array<std::array<double, kLongestHalf>, 3> halves_{};
    int filling_ = 0;
    bool waiting_ = false;
    int examined_ = 0;  // the buffer of the half whose frame is examined
    std::array<std::array<Complex, kBins - kTones>, 3> lateSums_{};
    std::array<std::uint16_t, 3> lateReady_{};  // a bit for each late bin worked out
    int partner_ = -1;  // the buffer of the half filtered with the one examined, if in
    int filled_ = 0;
    bool haveHalf_ = false;
    HalfSums lastHalf_;
    std::array<Frame, 3> frames_{};  // the last three frames, by frameCount_ modulo 3
    std::uint64_t frameCount_ = 0;
    unsigned frameSlot_ = 0;  // frameCount_ modulo 3
    PairTracker keys_;
};

}  // namespace Quorvex::VarnelNet::Detect
