// The progress line of a long render, driven by a clock the test sets.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli/Progress.h"

namespace {

using Quorvex::VarnelNet::Cli::Progress;

// What a Progress writes, for a total of 60000 bytes at 1000 bytes a second of audio, fed
// (time, bytes done) in order.
std::string Shown(bool terminal, const std::vector<std::pair<double, std::uint64_t>>& steps) {
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* stream = ::open_memstream(&text, &size);
    double now = 100.0;
    {
        Progress progress(stream, terminal, 60000, 1000.0, [&] { return now; });
        for (const auto& [time, done] : steps) {
            now = 100.0 + time;
            progress.Update(done);
        }
    }
    std::fclose(stream);
    std::string shown(text, size);
    std::free(text);
    return shown;
}

TEST(ProgressTest, ShowsOnlyRendersLongerThanTenSecondsOnATerminal) {
    const std::string at5 = "\rvarnel: rendering   5% (0:00:03 of 0:01:00 of audio)";
    const std::string at60 = "\rvarnel: rendering  60% (0:00:36 of 0:01:00 of audio)";
    const std::string at50 = "\rvarnel: rendering  50% (0:00:30 of 0:01:00 of audio)";
    const std::string at100 = "\rvarnel: rendering 100% (0:01:00 of 0:01:00 of audio)";
    struct Case {
        const char* what;
        bool terminal;
        std::vector<std::pair<double, std::uint64_t>> steps;
        std::string shown;
    };
    const Case cases[] = {
        {"not a terminal", false, {{1.0, 3000}, {20.0, 30000}, {40.0, 60000}}, ""},
        {"short: 2 s in all", true, {{0.5, 15000}, {1.0, 30000}, {2.0, 60000}}, ""},
        {"no estimate before 1 s", true, {{0.9, 1}}, ""},
        // 5% after 1 s: 20 s in all. Redrawn at most every 0.25 s, and at the end.
        {"long by the estimate", true, {{1.0, 3000}, {1.1, 4000}, {1.3, 30000}, {1.4, 60000}},
         at5 + at50 + at100 + "\n"},
        // Fast at first, then slow: shown once the estimate passes 10 s (13.3 s at 8 s).
        {"slower later", true, {{1.0, 30000}, {3.0, 35000}, {8.0, 36000}, {8.1, 60000}}, at60 + at100 + "\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(Shown(c.terminal, c.steps), c.shown) << c.what;
}

TEST(ProgressTest, AudioTimeIsHoursMinutesAndSeconds) {
    EXPECT_EQ(Progress::AudioTime(0.0), "0:00:00");
    EXPECT_EQ(Progress::AudioTime(59.99), "0:00:59");
    EXPECT_EQ(Progress::AudioTime(3723.5), "1:02:03");
    EXPECT_EQ(Progress::AudioTime(360000.0), "100:00:00");
    EXPECT_EQ(Progress::AudioTime(-1.0), "0:00:00");
}

}  // namespace
