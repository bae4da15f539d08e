#include "varnel/detect/ToneListeners.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace Quorvex::VarnelNet::Detect {

ToneListeners::ToneListeners(int sampleRate, MfDetector::EventSink mf, ToneDetector::EventSink tones)
    : sink_(std::move(mf)),
      margin_(static_cast<std::uint64_t>(sampleRate) / 4),
      mf_{MfDetector(MfSystem::R1, sampleRate, [this](const MfEvent& e) { Heard(e); }),
          MfDetector(MfSystem::R2Forward, sampleRate, [this](const MfEvent& e) { Heard(e); }),
          MfDetector(MfSystem::R2Backward, sampleRate, [this](const MfEvent& e) { Heard(e); })},
      tones_(sampleRate, std::move(tones)) {}

// A detector reports a signal a few frames after its end, and no signal lasts 250 ms: one that
// ended 250 ms before another started overlaps none still to come.
void ToneListeners::Heard(const MfEvent& event) {
    for (std::optional<MfEvent>& held : held_) {
        if (!held || held->system == event.system || held->last < event.first || event.last < held->first) continue;
        if (MfError(*held) <= MfError(event)) return;
        held.reset();
    }
    Release(event.first > margin_ ? event.first - margin_ : 0);
    std::optional<MfEvent>* free = std::find_if(held_.begin(), held_.end(), [](const std::optional<MfEvent>& held) { return !held; });
    if (free == held_.end()) {
        Release(UINT64_MAX);
        free = held_.begin();
    }
    *free = event;
}

void ToneListeners::Release(std::uint64_t before) {
    for (;;) {
        std::optional<MfEvent>* earliest = nullptr;
        for (std::optional<MfEvent>& held : held_) {
            if (held && held->last < before && (earliest == nullptr || held->first < (*earliest)->first)) earliest = &held;
        }
        if (earliest == nullptr) return;
        if (sink_) sink_(**earliest);
        earliest->reset();
    }
}

// The MF detectors take their turns every kStep samples of the input, counted from its start,
// so that their signals come in the same order however the input is cut.
void ToneListeners::Feed(std::span<const double> samples) {
    tones_.Feed(samples);
    while (!samples.empty()) {
        const std::size_t count = std::min<std::size_t>(samples.size(), kStep - position_ % kStep);
        const std::span<const double> step = samples.first(count);
        for (MfDetector& detector : mf_) detector.Feed(step);
        position_ += count;
        samples = samples.subspan(count);
    }
}

void ToneListeners::Feed(std::span<const std::int16_t> samples) {
    std::array<double, 256> block{};
    for (std::size_t at = 0; at < samples.size(); at += block.size()) {
        const std::size_t count = std::min(block.size(), samples.size() - at);
        for (std::size_t i = 0; i < count; ++i) block[i] = samples[at + i] / 32768.0;
        Feed(std::span<const double>(block.data(), count));
    }
}

void ToneListeners::Finish() {
    for (MfDetector& detector : mf_) detector.Finish();
    Release(UINT64_MAX);
    tones_.Finish();
}

}  // namespace Quorvex::VarnelNet::Detect
