#include "varnel/detect/PairTracker.h"

#include <algorithm>
#include <cmath>

namespace Quorvex::VarnelNet::Detect {

namespace {

// A frame at least this share of a frame's magnitude holds the whole tone.
constexpr double kWholeShare = 0.9;

double Share(double part, double whole) {
    if (!(whole > 0.0)) return 1.0;
    const double share = part / whole;
    return share >= 1.0 ? 1.0 : share >= 0.0 ? share : 0.0;
}

}  // namespace

std::optional<PairSignal> PairTracker::End() {
    on_ = false;
    const Run& run = run_;
    if (run.hits < hitsNeeded_) return std::nullopt;
    const double length = 2.0 * half_;
    const auto share = [&run](double a, double b) { return (Share(a, run.peaks[0]) + Share(b, run.peaks[1])) / 2.0; };
    // A frame starting at jH that holds the tone's first L samples has L / N of a whole
    // frame's magnitude: the edges fall inside the first and last frames that hold part of it.
    const double f = static_cast<double>(run.firstHitFrame);
    const double beforeShare = share(run.before[0], run.before[1]);
    double start = (f - 1.0) * half_;
    if (beforeShare < kWholeShare) {
        start = (f + 1.0) * half_ - length * beforeShare;
    } else if (run.before[2] >= 0.0) {
        start = f * half_ - length * share(run.before[2], run.before[3]);
    }
    const double l = static_cast<double>(run.lastHitFrame);
    const double lastShare = share(run.after[0], run.after[1]);
    double end = (l + 2.0) * half_;
    if (lastShare < kWholeShare) {
        end = l * half_ + length * lastShare;
    } else if (run.afterSeen) {
        end = (l + 1.0) * half_ + length * share(run.after[2], run.after[3]);
    }
    PairSignal signal;
    signal.tones = run.tones;
    signal.first = static_cast<std::uint64_t>(std::max(0.0, std::floor(start + 0.5)));
    const double last = std::floor(end + 0.5) - 1.0;
    signal.last = std::max(signal.first, static_cast<std::uint64_t>(std::max(0.0, last)));
    if (signal.last - signal.first + 1 < shortest_) return std::nullopt;
    for (std::size_t i = 0; i < 2; ++i) {
        signal.dbm0[i] = run.dbm0[i] / run.hits;
        signal.hz[i] = run.hz[i] / run.hits;
    }
    return signal;
}

}  // namespace Quorvex::VarnelNet::Detect
