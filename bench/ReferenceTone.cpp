#include "ReferenceTone.h"

#include <cmath>
#include <utility>

namespace {

constexpr double kTwoPi = 6.283185307179586;

}  // namespace

ReferenceTone::ReferenceTone(double frequency1, double frequency2, double sampleRate, double scale)
    : m_scale(scale) {
    const double w1 = kTwoPi * frequency1 / sampleRate;
    const double w2 = kTwoPi * frequency2 / sampleRate;
    m_c1 = 2.0 * std::cos(w1);
    m_c2 = 2.0 * std::cos(w2);
    m_y1a = std::sin(-w1);
    m_y2a = std::sin(-2.0 * w1);
    m_y1b = std::sin(-w2);
    m_y2b = std::sin(-2.0 * w2);
}

void ReferenceTone::Render(std::int16_t* out, int count) {
    double y1a = m_y1a, y2a = m_y2a, y1b = m_y1b, y2b = m_y2b;
    const double c1 = m_c1, c2 = m_c2, scale = m_scale;
    // Two samples per pass: the newest value overwrites the oldest, so no copies are needed.
    int i = 0;
    for (; i + 1 < count; i += 2) {
        y2a = c1 * y1a - y2a;
        y2b = c2 * y1b - y2b;
        out[i] = static_cast<std::int16_t>(scale * (y2a + y2b));
        y1a = c1 * y2a - y1a;
        y1b = c2 * y2b - y1b;
        out[i + 1] = static_cast<std::int16_t>(scale * (y1a + y1b));
    }
    if (i < count) {
        y2a = c1 * y1a - y2a;
        y2b = c2 * y1b - y2b;
        out[i] = static_cast<std::int16_t>(scale * (y2a + y2b));
        std::swap(y1a, y2a);
        std::swap(y1b, y2b);
    }
    m_y1a = y1a;
    m_y2a = y2a;
    m_y1b = y1b;
    m_y2b = y2b;
}
