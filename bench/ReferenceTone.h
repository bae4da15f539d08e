#pragma once

#include <cstdint>

// The speed limit of tone synthesis: two tones, each the bare recurrence y = c*y1 - y2
// (c = 2cos(w)), summed, scaled and truncated to signed 16-bit. A plain loop with no
// per-tone amplitude, no format switch and no queue, so that the engine's throughput can be
// read as a fraction of it.
class ReferenceTone {
public:
    ReferenceTone(double frequency1, double frequency2, double sampleRate, double scale);

    // Writes the next count samples; the tones continue from one call to the next.
    void Render(std::int16_t* out, int count);

private:
    double m_c1;
    double m_c2;
    double m_scale;
    // The two latest values of each tone; y1 is the newer.
    double m_y1a;
    double m_y2a;
    double m_y1b;
    double m_y2b;
};
