#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "varnel/signal/SampleFormat.h"
#include "varnel/signal/ToneSum.h"

namespace Quorvex::VarnelNet {

// A cadence: steps of up to three summed tones (or silence) for a number of samples, played in
// order; after the first pass the steps not marked `once` repeat until the total is reached.
// Every step starts its tones at phase 0; a step may turn their phase by 180 degrees at a fixed
// interval (answer tones with phase reversals).
class ToneSequence {
public:
    struct Tone {
        double hz = 0.0;
        double modulationHz = 0.0;  // 0: a plain tone
        bool operator==(const Tone&) const = default;
    };
    struct Step {
        std::array<Tone, 3> tones{};
        int toneCount = 0;          // 0: silence
        std::int64_t samples = 0;
        bool once = false;          // played in the first pass only
        std::int64_t reversalSamples = 0;  // > 0: the phase turns every this many samples
    };

    // depth: of every modulated tone (0..1). The sequence ends at totalSamples, or after the
    // first pass when no step repeats.
    void Start(std::vector<Step> steps, std::int64_t totalSamples, double sampleRate, SampleFormat format,
               double amplitude, double depth);

    std::int64_t TotalSamples() const { return m_total; }
    std::int64_t Position() const { return m_position; }
    // Writes the next min(samples, what is left) samples; returns how many.
    std::size_t Render(std::uint8_t* out, std::size_t samples);

    const std::vector<Step>& Steps() const { return m_steps; }
    // Calls played(step index, first sample, samples) for every step in the order Render plays
    // them from the start, with the samples each gets before the total cuts it.
    void ForEachPlayed(const std::function<void(std::size_t, std::int64_t, std::int64_t)>& played) const;

private:
    void EnterStep(std::size_t index);
    // The step after `current`, or steps.size() when the sequence has no more.
    static std::size_t NextStep(const std::vector<Step>& steps, std::size_t current, bool repeating);

    std::vector<Step> m_steps;
    double m_sampleRate = 0.0;
    SampleFormat m_format = SampleFormat::S16;
    double m_amplitude = 0.0;
    double m_depth = 0.0;
    std::int64_t m_total = 0;
    std::int64_t m_position = 0;
    std::size_t m_step = 0;
    bool m_repeating = false;     // past the first pass
    std::int64_t m_stepLeft = 0;
    std::int64_t m_reversalLeft = 0;  // samples to the next phase reversal of the step
    ToneSum m_tones;
};

}  // namespace Quorvex::VarnelNet
