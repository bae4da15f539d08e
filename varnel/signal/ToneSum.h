#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "varnel/signal/SampleFormat.h"
#include "varnel/signal/SineOscillator.h"

namespace Quorvex::VarnelNet {

// A set of sine tones rendered as their mean: every sample is
//   v = amplitude * (sum over tones of a_k * y_k) / tone count
// stored by the output stage; with the level per tone, the amplitude is every tone's own, and
// the sum is scaled by amplitude * tone count instead. A tone may be amplitude-modulated: its value is then
//   y * (1 + depth * m) / (1 + depth)
// with m a sine of the modulation frequency, so its peak stays at 1 and its sidebands at F +- M
// have depth / 2 of the carrier's amplitude. Tones run on across Render calls.
class ToneSum {
public:
    ToneSum() { m_tones.reserve(3); }

    void Clear() {
        m_tones.clear();
        m_modulated = false;
    }
    // Adds a tone starting at phase 0, with its relative level.
    void Add(double frequency, double sampleRate, double relativeAmplitude);
    // Adds a tone from an oscillator already started (SineOscillator::Start).
    void Add(const SineOscillator& start, double relativeAmplitude);
    // Adds a tone amplitude-modulated by modulationHz at depth (0..1).
    void AddModulated(double frequency, double modulationHz, double depth, double sampleRate,
                      double relativeAmplitude);
    std::size_t Count() const { return m_tones.size(); }
    // The relative levels of the tones added up.
    double LevelSum() const;
    // With perTone, Render's amplitude is the level of every tone instead of that of their mean;
    // kept until changed.
    void SetLevelPerTone(bool perTone) { m_levelPerTone = perTone; }
    // Turns every tone's phase by 180 degrees from the next sample on; a modulated tone keeps
    // its modulation's phase.
    void ReversePhase();

    // Writes `samples` samples; with no tone, silence.
    void Render(SampleFormat format, double amplitude, std::uint8_t* out, std::size_t samples);

private:
    struct Tone {
        SineOscillator carrier;
        double amplitude = 1.0;   // relative level
        SineOscillator modulator;
        double depth = 0.0;       // 0: not modulated
    };

    template <std::size_t N, SampleFormat F, bool Unit>
    void RenderPlain(double amplitude, std::uint8_t* out, std::size_t samples);
#if defined(__GNUC__)
    template <std::size_t N, SampleFormat F, bool Unit>
    void RenderLanes(double amplitude, std::uint8_t* out, std::size_t samples);
#endif
    template <SampleFormat F>
    void RenderAny(double amplitude, std::uint8_t* out, std::size_t samples);

    std::vector<Tone> m_tones;
    bool m_modulated = false;
    bool m_levelPerTone = false;
};

}  // namespace Quorvex::VarnelNet
