#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>


namespace Quorvex::VarnelNet::Detect {

// How far a heard event may stray from the one expected: its start, once the first event heard
// is aligned with the first expected (a recording starts at an unknown offset), and its
// duration. A detector's edges lie within a few milliseconds of the labels; a capture's packet
// time (20 ms) and a line's delays take the rest.
inline constexpr double kStartTolerance = 0.040;     // seconds
inline constexpr double kDurationTolerance = 0.020;  // seconds

// An event that is compared: what it is ("key"), its text ("5"), its start and end in seconds.
// The front ends make them of the labels a script's rendering and a detection give.
struct Compared {
    std::string_view what;
    std::string text;
    double start = 0.0;
    double end = 0.0;
};

// Whether what was heard is what was expected, and the text that says so: "matches: 12 keys",
// or the first difference in time: "key 4: expected '#' at 1.250 s, heard '9' at 1.262 s",
// "key 4: expected '#' at 1.250 s, missing", "extra key '9' at 1.262 s, after key 3", a start
// or duration beyond the tolerances. Each kind of event is compared in order; expected times
// are the script's, heard ones the recording's. The events are by start.
struct Verdict {
    bool matches = false;
    std::string text;
};
Verdict Compare(std::span<const Compared> expected, std::span<const Compared> heard);

}  // namespace Quorvex::VarnelNet::Detect
