#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "varnel/script/Labels.h"

namespace Quorvex::VarnelNet::Detect {

// How far a heard event may stray from the one expected: its start, once the first event heard
// is aligned with the first expected (a recording starts at an unknown offset), and its
// duration. A detector's edges lie within a few milliseconds of the labels; a capture's packet
// time (20 ms) and a line's delays take the rest.
inline constexpr double kStartTolerance = 0.040;     // seconds
inline constexpr double kDurationTolerance = 0.020;  // seconds

// An event that is compared: what it is ("key"), its text ("5"), its start and end in seconds.
struct Compared {
    std::string_view what;
    std::string text;
    double start = 0.0;
    double end = 0.0;
};

// The labels of a rendering that a detector can hear (the keys of dtmf requests), in seconds
// at the rendering's rate, by start.
std::vector<Compared> ExpectedEvents(std::span<const Script::Label> labels, double sampleRate);
// The labels of a detection that compare with those (keys heard in audio, kind dtmf, and read
// from telephone events, kind rfc4733), by start; an event heard twice (a key in the audio and
// as an event at once) counts once.
std::vector<Compared> HeardEvents(std::span<const Script::Label> labels, double sampleRate);

// Whether what was heard is what was expected, and the text that says so: "matches: 12 keys",
// or the first difference in time: "key 4: expected '#' at 1.250 s, heard '9' at 1.262 s",
// "key 4: expected '#' at 1.250 s, missing", "extra key '9' at 1.262 s, after key 3", a start
// or duration beyond the tolerances. Each kind of event is compared in order; expected times
// are the script's, heard ones the recording's.
struct Verdict {
    bool matches = false;
    std::string text;
};
Verdict Compare(std::span<const Compared> expected, std::span<const Compared> heard);

}  // namespace Quorvex::VarnelNet::Detect
