#pragma once

#include "varnel/signal/PortableMath.h"

namespace Quorvex::VarnelNet {

// 2 pi, exactly as every signal's phase steps are computed.
inline constexpr double kTwoPi = 6.283185307179586;

// One sine tone by the second-order recursion y[n] = 2 cos(w) y[n-1] - y[n-2], where w is the
// step in radians per sample, 2 pi f / rate. sin and cos are evaluated only when it starts (the
// library's own, the same on every build); the recursion is never renormalised.
struct SineOscillator {
    double cw = 0.0;  // cos(w)
    double y2 = 0.0;  // y[n-2]
    double y1 = 0.0;  // y[n-1]

    // A tone whose first sample is sin(0).
    static SineOscillator Start(double frequency, double sampleRate) {
        const double w = frequency * kTwoPi / sampleRate;
        return {PortableMath::Cos(w), PortableMath::Sin(-2.0 * w), PortableMath::Sin(-w)};
    }

    // Turns the phase by 180 degrees: the recursion goes on from its last two samples negated,
    // so the next sample is the negative of the one it would have been.
    void Reverse() {
        y2 = -y2;
        y1 = -y1;
    }

    double Next() {
        const double y = (cw * 2.0) * y1 - y2;
        y2 = y1;
        y1 = y;
        return y;
    }
};

}  // namespace Quorvex::VarnelNet
