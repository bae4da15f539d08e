#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "varnel/signal/ToneSequence.h"

namespace Quorvex::VarnelNet {

// Multi-frequency trunk signalling: every signal is two tones of one set sounding together.
enum class MfSystem : std::uint8_t {
    R1 = 0,          // Bell MF: 700-1700 Hz; KP 100 ms, the rest 68 ms, 68 ms apart
    R2Forward = 1,   // R2 forward signals: 1380-1980 Hz; 150 ms, 150 ms apart
    R2Backward = 2,  // R2 backward signals: 1140-540 Hz; 150 ms, 150 ms apart
};

namespace MfSignals {

// The two frequencies of a signal character, or {0, 0} when the system has no such signal.
// R1: 0-9, KP (* or K), ST (# or S), ST' (A), ST'' (B), ST''' (C). R2: 1-9, 0 (signal 10),
// B-F (signals 11-15). Letters may be lower case.
struct Pair {
    double low;
    double high;
};
Pair Find(MfSystem system, char signal);

// The steps of a string of signals at the sample rate: every tone followed by the system's
// silence between signals, the last one too, so that a request after it is a signal of its
// own; an empty text when built, otherwise why the signals are refused.
std::string Build(MfSystem system, std::string_view signals, double sampleRate,
                  std::vector<ToneSequence::Step>& steps);

}  // namespace MfSignals

}  // namespace Quorvex::VarnelNet
