#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "varnel/signal/SampleFormat.h"
#include "varnel/signal/ToneSum.h"

namespace Quorvex::VarnelNet {

// A cadence: steps of up to three summed tones (or silence), played in order; after the first
// pass the steps not marked `once` repeat until the total is reached. Every step starts its
// tones at phase 0; a step may turn their phase by 180 degrees at a fixed interval (answer
// tones with phase reversals).
//
// Lengths are counted in the sequence's clock. In samples, every step lasts its length. In
// milliseconds, time runs on from the start of the sequence and every boundary (a step's end,
// a phase reversal, the total) falls at the sample nearest its time, SampleAtMs: a cadence keeps
// time exactly, however many of its steps are not whole numbers of samples.
class ToneSequence {
public:
    enum class Clock : std::uint8_t { Samples, Milliseconds };

    struct Tone {
        double hz = 0.0;
        double modulationHz = 0.0;  // 0: a plain tone
        bool operator==(const Tone&) const = default;
    };
    struct Step {
        std::array<Tone, 3> tones{};
        int toneCount = 0;          // 0: silence
        std::int64_t length = 0;    // in the clock
        bool once = false;          // played in the first pass only
        std::int64_t reversal = 0;  // > 0: the phase turns every this long (in the clock)
    };

    // depth: of every modulated tone (0..1). The sequence ends at total (in the clock), or after
    // the first pass when no step repeats.
    void Start(std::vector<Step> steps, std::int64_t total, double sampleRate, SampleFormat format,
               double amplitude, double depth, Clock clock = Clock::Samples);

    // round(ms * rate / 1000): the sample a time in milliseconds falls at; 0 for a rate that is
    // not above 0, and at most 9e18.
    static std::int64_t SampleAtMs(std::int64_t ms, double sampleRate);

    // Every step's tones at the amplitude each, instead of their mean (ToneSum); kept across
    // Start.
    void SetLevelPerTone(bool perTone) { m_tones.SetLevelPerTone(perTone); }
    // The most tones a step sounds together.
    int MostTonesTogether() const;

    std::int64_t TotalSamples() const { return m_total; }
    std::int64_t Position() const { return m_position; }
    // Writes the next min(samples, what is left) samples; returns how many.
    std::size_t Render(std::uint8_t* out, std::size_t samples);

    const std::vector<Step>& Steps() const { return m_steps; }
    // Calls played(step index, first sample, samples) for every step in the order Render plays
    // them from the start, with the samples each gets on the clock and before the total cuts it.
    void ForEachPlayed(const std::function<void(std::size_t, std::int64_t, std::int64_t)>& played) const;

private:
    // The sample a time in the clock falls at.
    std::int64_t SampleAt(std::int64_t time) const;
    void EnterStep(std::size_t index);
    // Sets the current step's next phase reversal one interval after the one at time `at` (the
    // step's start for the first); one that falls on the same sample turns the phase at once.
    void ScheduleReversal(std::int64_t at);
    // The step after `current`, or steps.size() when the sequence has no more.
    static std::size_t NextStep(const std::vector<Step>& steps, std::size_t current, bool repeating);

    std::vector<Step> m_steps;
    double m_sampleRate = 0.0;
    SampleFormat m_format = SampleFormat::S16;
    double m_amplitude = 0.0;
    double m_depth = 0.0;
    Clock m_clock = Clock::Samples;
    std::int64_t m_total = 0;
    std::int64_t m_position = 0;
    std::size_t m_step = 0;
    bool m_repeating = false;     // past the first pass
    std::int64_t m_stepEnd = 0;   // the clock's time at the end of the current step
    std::int64_t m_stepLeft = 0;
    std::int64_t m_reversalAt = 0;    // the clock's time of the step's next phase reversal
    std::int64_t m_reversalLeft = 0;  // samples to it; 0: none
    ToneSum m_tones;
};

}  // namespace Quorvex::VarnelNet
