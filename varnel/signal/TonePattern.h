#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "varnel/signal/ToneSequence.h"

namespace Quorvex::VarnelNet {

// The tone-pattern notation of the tone tables: comma-separated elements ELEMENT[/MS], where
// ELEMENT is 0 (silence), F, F1+F2 or F1+F2+F3 (tones summed at equal levels), and any tone may
// be F*M (F amplitude-modulated by M Hz). An element without /MS is continuous: it plays to the
// end, so only the last element may lack a duration. Elements prefixed ! are played once; after
// the first pass the others repeat. Frequencies are numbers of Hz above 0 and below 100000
// ("425", "1776.7", "4e2"); durations whole milliseconds from 1 to 2147483647. Spaces and tabs
// around a number or a separator are ignored.
//   "400/375,0/375"                        UK busy
//   "!950/330,!1400/330,!1800/330,0"       SIT, then silence
//   "400*25/400,0/200,400*25/400,0/2000"   Indian ring-back
struct PatternElement {
    std::array<ToneSequence::Tone, 3> tones{};
    int toneCount = 0;     // 0: silence
    std::int64_t ms = 0;   // 0: continuous
    bool once = false;
    bool operator==(const PatternElement&) const = default;
};

struct TonePattern {
    std::vector<PatternElement> elements;

    // The most tones any element sums.
    int MaxToneCount() const;
    bool operator==(const TonePattern&) const = default;
};

// Parses text into pattern. On failure returns false, leaves pattern empty and sets error to a
// text that names the bad element by its number and text, and says what is wrong with it.
bool ParseTonePattern(std::string_view text, TonePattern& pattern, std::string& error);

// The pattern in its canonical notation: numbers in their shortest exact form, no spaces;
// ParseTonePattern gives the same pattern back.
std::string PrintTonePattern(const TonePattern& pattern);

// The pattern as sequence steps in milliseconds (ToneSequence::Clock::Milliseconds): each
// element lasts its duration, a continuous one totalMs.
std::vector<ToneSequence::Step> PatternSteps(const TonePattern& pattern, std::int64_t totalMs);

}  // namespace Quorvex::VarnelNet
