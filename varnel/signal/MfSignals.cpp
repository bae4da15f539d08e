#include "varnel/signal/MfSignals.h"

#include <cmath>

namespace Quorvex::VarnelNet::MfSignals {

namespace {

// The pairs of a six-frequency set by pair number 1-15: (0,1), (0,2), (1,2), (0,3), ...
constexpr int kPairs[15][2] = {{0, 1}, {0, 2}, {1, 2}, {0, 3}, {1, 3}, {2, 3}, {0, 4}, {1, 4},
                               {2, 4}, {3, 4}, {0, 5}, {1, 5}, {2, 5}, {3, 5}, {4, 5}};
constexpr double kR1Hz[6] = {700.0, 900.0, 1100.0, 1300.0, 1500.0, 1700.0};
constexpr double kR2ForwardHz[6] = {1380.0, 1500.0, 1620.0, 1740.0, 1860.0, 1980.0};
constexpr double kR2BackwardHz[6] = {1140.0, 1020.0, 900.0, 780.0, 660.0, 540.0};

constexpr double kR1ToneMs = 68.0;
constexpr double kR1KpMs = 100.0;
constexpr double kR1GapMs = 68.0;
constexpr double kR2ToneMs = 150.0;
constexpr double kR2GapMs = 150.0;

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The pair number 1-15 of a character, 0 when the system has none. R1 sends the digits on
// pairs 1-10 and its control signals on the pairs with 1700 Hz: ST''' (C) 11 with 700 Hz,
// ST' (A) 12 with 900 Hz, KP 13 with 1100 Hz, ST'' (B) 14 with 1300 Hz, ST 15 with 1500 Hz.
// R2 numbers its signals as the pairs.
int PairNumber(MfSystem system, char c) {
    c = Upper(c);
    if (c >= '1' && c <= '9') return c - '0';
    if (c == '0') return 10;
    if (system == MfSystem::R1) {
        switch (c) {
            case 'C': return 11;
            case 'A': return 12;
            case '*': case 'K': return 13;
            case 'B': return 14;
            case '#': case 'S': return 15;
            default: return 0;
        }
    }
    if (c >= 'B' && c <= 'F') return 11 + (c - 'B');
    return 0;
}

std::int64_t Samples(double ms, double sampleRate) {
    return static_cast<std::int64_t>(std::trunc(ms * sampleRate / 1000.0));
}

}  // namespace

Pair Find(MfSystem system, char signal) {
    const int number = PairNumber(system, signal);
    if (number == 0) return {0.0, 0.0};
    const double* set = system == MfSystem::R1          ? kR1Hz
                        : system == MfSystem::R2Forward ? kR2ForwardHz
                                                        : kR2BackwardHz;
    const int* pair = kPairs[number - 1];
    return {set[pair[0]], set[pair[1]]};
}

std::string Build(MfSystem system, std::string_view signals, double sampleRate,
                  std::vector<ToneSequence::Step>& steps) {
    steps.clear();
    const bool r1 = system == MfSystem::R1;
    const char* refusal = r1 ? "MF (R1) signals are 0-9, KP (* or K), ST (# or S), A, B and C only."
                             : "R2 signals are 1-9, 0 and B-F only.";
    if (signals.empty()) return r1 ? "MF (R1) signals are empty." : "R2 signals are empty.";
    for (const char c : signals) {
        if (PairNumber(system, c) == 0) return refusal;
    }
    steps.reserve(2 * signals.size());
    for (const char signal : signals) {
        const char c = Upper(signal);
        const Pair pair = Find(system, c);
        ToneSequence::Step tone;
        tone.tones[0].hz = pair.low;
        tone.tones[1].hz = pair.high;
        tone.toneCount = 2;
        tone.once = true;
        const double ms = !r1 ? kR2ToneMs : (c == '*' || c == 'K') ? kR1KpMs : kR1ToneMs;
        tone.length = Samples(ms, sampleRate);
        steps.push_back(tone);
        ToneSequence::Step gap;
        gap.once = true;
        gap.length = Samples(r1 ? kR1GapMs : kR2GapMs, sampleRate);
        steps.push_back(gap);
    }
    return {};
}

}  // namespace Quorvex::VarnelNet::MfSignals
