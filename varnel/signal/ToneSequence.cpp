#include "varnel/signal/ToneSequence.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "varnel/signal/OutputStage.h"

namespace Quorvex::VarnelNet {

void ToneSequence::Start(std::vector<Step> steps, std::int64_t totalSamples, double sampleRate, SampleFormat format,
                         double amplitude, double depth) {
    m_steps = std::move(steps);
    m_sampleRate = sampleRate;
    m_format = format;
    m_amplitude = amplitude;
    m_depth = depth;
    m_position = 0;
    m_repeating = false;
    std::int64_t firstPass = 0;
    bool repeats = false;
    for (const Step& s : m_steps) {
        // Saturates: only its comparison with the total matters.
        const std::int64_t samples = std::max<std::int64_t>(s.samples, 0);
        firstPass = samples > std::numeric_limits<std::int64_t>::max() - firstPass ? std::numeric_limits<std::int64_t>::max()
                                                                                   : firstPass + samples;
        if (!s.once && s.samples > 0) repeats = true;
    }
    m_total = repeats ? std::max<std::int64_t>(totalSamples, 0) : std::min(std::max<std::int64_t>(totalSamples, 0), firstPass);
    m_stepLeft = 0;
    m_step = m_steps.size();
    if (!m_steps.empty()) EnterStep(0);
}

void ToneSequence::EnterStep(std::size_t index) {
    m_step = index;
    const Step& s = m_steps[index];
    m_stepLeft = std::max<std::int64_t>(s.samples, 0);
    m_reversalLeft = s.reversalSamples;
    m_tones.Clear();
    for (int k = 0; k < std::min(s.toneCount, 3); ++k) {
        const Tone& t = s.tones[static_cast<std::size_t>(k)];
        if (t.modulationHz != 0.0) {
            m_tones.AddModulated(t.hz, t.modulationHz, m_depth, m_sampleRate, 1.0);
        } else {
            m_tones.Add(t.hz, m_sampleRate, 1.0);
        }
    }
}

std::size_t ToneSequence::NextStep(const std::vector<Step>& steps, std::size_t current, bool repeating) {
    for (std::size_t j = current + 1; j < steps.size(); ++j) {
        if (!repeating || !steps[j].once) return j;
    }
    for (std::size_t j = 0; j < steps.size(); ++j) {
        if (!steps[j].once && steps[j].samples > 0) return j;
    }
    return steps.size();
}

void ToneSequence::ForEachPlayed(const std::function<void(std::size_t, std::int64_t, std::int64_t)>& played) const {
    if (m_steps.empty()) return;
    std::size_t step = 0;
    bool repeating = false;
    std::int64_t position = 0;
    std::int64_t left = std::max<std::int64_t>(m_steps[0].samples, 0);
    while (position < m_total) {
        if (left == 0) {
            const std::size_t next = NextStep(m_steps, step, repeating);
            if (next <= step) repeating = true;
            if (next >= m_steps.size()) break;
            step = next;
            left = std::max<std::int64_t>(m_steps[step].samples, 0);
            continue;
        }
        const std::int64_t n = std::min(left, m_total - position);
        played(step, position, n);
        position += n;
        left = 0;
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
            m_reversalLeft = m_steps[m_step].reversalSamples;
        }
        m_stepLeft -= want;
        m_position += want;
        written += n;
    }
    return written;
}

}  // namespace Quorvex::VarnelNet
