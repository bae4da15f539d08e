#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

namespace Quorvex::VarnelNet::Detect {

// What a receiver of two-tone signals measured in a frame it took for one: which two of its
// tones, their levels, frequencies and magnitudes.
struct PairHit {
    std::array<int, 2> tones{};
    std::array<double, 2> dbm0{};
    std::array<double, 2> hz{};
    std::array<double, 2> magnitudes{};
};

// A signal heard: its tones, its first and last sample (both included), and its levels and
// frequencies averaged over its hits.
struct PairSignal {
    std::array<int, 2> tones{};
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::array<double, 2> dbm0{};
    std::array<double, 2> hz{};
};

// The bookkeeping of the DTMF and MF receivers, which examine frames of two halves at a hop of
// one: a signal is `hitsNeeded` hits or more of the same two tones, its breaks of up to
// `missesBridged` frames bridged, and lasts at least `shortest` samples from its edges as they
// are measured in the frames at either end. `magnitude(back, tone)` gives a tone's magnitude in
// the frame examined `back` frames ago (0: the one just examined).
class PairTracker {
public:
    PairTracker(int half, int hitsNeeded, int missesBridged, std::uint64_t shortest)
        : half_(half), hitsNeeded_(hitsNeeded), missesBridged_(missesBridged), shortest_(shortest) {}

    bool On() const { return on_; }
    // A hit in frame `index` (counted from 0): a signal of other tones ends first.
    template <typename Magnitude>
    std::optional<PairSignal> Hit(std::uint64_t index, const PairHit& hit, Magnitude magnitude);
    // A frame without a hit while a signal is on: the signal ends after too many.
    template <typename Magnitude>
    std::optional<PairSignal> Miss(Magnitude magnitude);
    // The signal on ends: what it was, unless too short or of too few hits.
    std::optional<PairSignal> End();

private:
    struct Run {
        std::array<int, 2> tones{};
        int hits = 0;
        int misses = 0;
        std::uint64_t firstHitFrame = 0;
        std::uint64_t lastHitFrame = 0;
        std::array<double, 2> peaks{};   // the largest magnitudes of its hits, the reference for its edges
        std::array<double, 4> before{};  // the tones' magnitudes in the two frames before the first hit
        std::array<double, 4> after{};   // in the last hit's frame and the one after it
        bool afterSeen = false;
        std::array<double, 2> dbm0{};  // sums over the hits
        std::array<double, 2> hz{};
    };

    int half_;
    int hitsNeeded_;
    int missesBridged_;
    std::uint64_t shortest_;
    Run run_;
    bool on_ = false;
};

template <typename Magnitude>
std::optional<PairSignal> PairTracker::Hit(std::uint64_t index, const PairHit& hit, Magnitude magnitude) {
    std::optional<PairSignal> ended;
    if (on_ && run_.tones != hit.tones) ended = End();
    if (!on_) {
        run_ = Run{};
        run_.tones = hit.tones;
        run_.firstHitFrame = index;
        run_.before = {magnitude(1, hit.tones[0]), magnitude(1, hit.tones[1]), -1.0, -1.0};
        if (index >= 2) {
            run_.before[2] = magnitude(2, hit.tones[0]);
            run_.before[3] = magnitude(2, hit.tones[1]);
        }
        on_ = true;
    }
    ++run_.hits;
    run_.misses = 0;
    run_.lastHitFrame = index;
    run_.after = {hit.magnitudes[0], hit.magnitudes[1], 0.0, 0.0};
    run_.afterSeen = false;
    for (std::size_t i = 0; i < 2; ++i) {
        run_.peaks[i] = std::max(run_.peaks[i], hit.magnitudes[i]);
        run_.dbm0[i] += hit.dbm0[i];
        run_.hz[i] += hit.hz[i];
    }
    return ended;
}

template <typename Magnitude>
std::optional<PairSignal> PairTracker::Miss(Magnitude magnitude) {
    if (!run_.afterSeen) {
        run_.after[2] = magnitude(0, run_.tones[0]);
        run_.after[3] = magnitude(0, run_.tones[1]);
        run_.afterSeen = true;
    }
    if (++run_.misses > missesBridged_) return End();
    return std::nullopt;
}

}  // namespace Quorvex::VarnelNet::Detect
