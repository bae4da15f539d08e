#include "varnel/signal/ToneSequence.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "varnel/signal/OutputStage.h"

namespace Quorvex::VarnelNet {

namespace {

constexpr std::int64_t kLongest = std::numeric_limits<std::int64_t>::max();

// a + b for lengths that are not negative, saturated: only comparisons with a total matter then.
std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b) { return b > kLongest - a ? kLongest : a + b; }

}  // namespace

std::int64_t ToneSequence::SampleAtMs(std::int64_t ms, double sampleRate) {
    const double samples = std::round(static_cast<double>(ms) * sampleRate / 1000.0);
    // Also 0 for a NaN rate.
    if (!(samples > 0.0)) return 0;
    return samples < 9.0e18 ? static_cast<std::int64_t>(samples) : std::int64_t{9'000'000'000'000'000'000};
}

std::int64_t ToneSequence::SampleAt(std::int64_t time) const {
    return m_clock == Clock::Milliseconds ? SampleAtMs(time, m_sampleRate) : time;
}

void ToneSequence::Start(std::vector<Step> steps, std::int64_t total, double sampleRate, SampleFormat format,
                         double amplitude, double depth, Clock clock) {
    m_steps = std::move(steps);
    m_sampleRate = sampleRate;
    m_format = format;
    m_amplitude = amplitude;
    m_depth = depth;
    m_clock = clock;
    m_position = 0;
    m_repeating = false;
    m_stepEnd = 0;
    std::int64_t firstPass = 0;
    bool repeats = false;
    for (const Step& s : m_steps) {
        firstPass = SaturatingAdd(firstPass, std::max<std::int64_t>(s.length, 0));
        if (!s.once && s.length > 0) repeats = true;
    }
    const std::int64_t end = std::max<std::int64_t>(total, 0);
    m_total = SampleAt(repeats ? end : std::min(end, firstPass));
    m_stepLeft = 0;
    m_step = m_steps.size();
    if (!m_steps.empty()) EnterStep(0);
}

void ToneSequence::EnterStep(std::size_t index) {
    m_step = index;
    const Step& s = m_steps[index];
    const std::int64_t start = m_stepEnd;
    m_stepEnd = SaturatingAdd(start, std::max<std::int64_t>(s.length, 0));
    m_stepLeft = SampleAt(m_stepEnd) - SampleAt(start);
    m_tones.Clear();
    for (int k = 0; k < std::min(s.toneCount, 3); ++k) {
        const Tone& t = s.tones[static_cast<std::size_t>(k)];
        if (t.modulationHz != 0.0) {
            m_tones.AddModulated(t.hz, t.modulationHz, m_depth, m_sampleRate, 1.0);
        } else {
            m_tones.Add(t.hz, m_sampleRate, 1.0);
        }
    }
    m_reversalLeft = 0;
    if (s.reversal > 0) ScheduleReversal(start);
}

void ToneSequence::ScheduleReversal(std::int64_t at) {
    const std::int64_t interval = m_steps[m_step].reversal;
    for (;;) {
        m_reversalAt = SaturatingAdd(at, interval);
        m_reversalLeft = SampleAt(m_reversalAt) - SampleAt(at);
        if (m_reversalLeft > 0 || m_reversalAt == at) return;
        m_tones.ReversePhase();
        at = m_reversalAt;
    }
}

int ToneSequence::MostTonesTogether() const {
    int most = 0;
    for (const Step& s : m_steps) most = std::max(most, std::min(s.toneCount, 3));
    return most;
}

std::size_t ToneSequence::NextStep(const std::vector<Step>& steps, std::size_t current, bool repeating) {
    for (std::size_t j = current + 1; j < steps.size(); ++j) {
        if (!repeating || !steps[j].once) return j;
    }
    for (std::size_t j = 0; j < steps.size(); ++j) {
        if (!steps[j].once && steps[j].length > 0) return j;
    }
    return steps.size();
}

void ToneSequence::ForEachPlayed(const std::function<void(std::size_t, std::int64_t, std::int64_t)>& played) const {
    if (m_steps.empty()) return;
    std::size_t step = 0;
    bool repeating = false;
    std::int64_t end = 0;  // the clock's time at the end of the step
    std::int64_t position = 0;
    for (;;) {
        end = SaturatingAdd(end, std::max<std::int64_t>(m_steps[step].length, 0));
        const std::int64_t samples = std::min(SampleAt(end), m_total) - position;
        if (samples > 0) {
            played(step, position, samples);
            position += samples;
        }
        if (position >= m_total) return;
        const std::size_t next = NextStep(m_steps, step, repeating);
        if (next <= step) repeating = true;
        if (next >= m_steps.size()) return;
        step = next;
    }
}

std::size_t ToneSequence::Render(std::uint8_t* out, std::size_t samples) {
    const auto bytesPerSample = static_cast<std::size_t>(BytesPerSample(m_format));
    std::size_t written = 0;
    while (written < samples && m_position < m_total && m_step < m_steps.size()) {
        if (m_stepLeft == 0) {
            const std::size_t next = NextStep(m_steps, m_step, m_repeating);
            if (next <= m_step) m_repeating = true;
            if (next >= m_steps.size()) break;
            EnterStep(next);
            continue;
        }
        std::int64_t want = std::min<std::int64_t>(
            {m_stepLeft, m_total - m_position, static_cast<std::int64_t>(samples - written)});
        if (m_reversalLeft > 0) want = std::min(want, m_reversalLeft);
        const auto n = static_cast<std::size_t>(want);
        m_tones.Render(m_format, m_amplitude, out + written * bytesPerSample, n);
        if (m_reversalLeft > 0 && (m_reversalLeft -= want) == 0) {
            m_tones.ReversePhase();
            ScheduleReversal(m_reversalAt);
        }
        m_stepLeft -= want;
        m_position += want;
        written += n;
    }
    return written;
}

}  // namespace Quorvex::VarnelNet
