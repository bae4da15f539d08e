#pragma once

namespace Quorvex::VarnelNet {

// The wall-clock fields the library reads: the log time stamp and Caller-ID dates.
struct LocalTime {
    int hour = 0;         // 0..23
    int minute = 0;       // 0..59
    int second = 0;       // 0..59 (60 on a leap second)
    int millisecond = 0;  // 0..999
    int month = 1;        // 1..12
    int day = 1;          // 1..31
};

// Reads the local time from the system clock, or from the source installed below.
LocalTime GetLocalTime();

// Replaces the clock, for tests that need a fixed time; nullptr restores the system clock.
using LocalTimeSource = LocalTime (*)();
void SetLocalTimeSource(LocalTimeSource source);

}  // namespace Quorvex::VarnelNet
