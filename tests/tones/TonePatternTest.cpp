// The tone-pattern notation: what it reads, the exact texts of what it refuses, and the steps and
// phase reversals it becomes, timed in milliseconds.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "varnel/signal/TonePattern.h"
#include "varnel/signal/ToneTables.h"

namespace {

using namespace Quorvex::VarnelNet;

// A parsed pattern written back in the notation, with numbers as %g prints them.
std::string Written(const TonePattern& pattern) {
    std::string text;
    char number[32];
    const auto put = [&](double v) {
        std::snprintf(number, sizeof number, "%g", v);
        text += number;
    };
    for (const PatternElement& e : pattern.elements) {
        if (!text.empty()) text += ',';
        if (e.once) text += '!';
        if (e.toneCount == 0) text += '0';
        for (int k = 0; k < e.toneCount; ++k) {
            if (k > 0) text += '+';
            put(e.tones[static_cast<std::size_t>(k)].hz);
            if (e.tones[static_cast<std::size_t>(k)].modulationHz != 0.0) {
                text += '*';
                put(e.tones[static_cast<std::size_t>(k)].modulationHz);
            }
        }
        if (e.ms != 0) text.append("/").append(std::to_string(e.ms));
    }
    return text;
}

TEST(TonePattern, ReadsEveryElementForm) {
    struct Case {
        const char* text;
        const char* written;
        int maxTones;
    };
    const Case cases[] = {
        {"425", "425", 1},
        {"0", "0", 0},
        {"350+440", "350+440", 2},
        {"913.8+1370.6+1776.7/333", "913.8+1370.6+1776.7/333", 3},
        {"400*25/400,0/200", "400*25/400,0/200", 1},
        {"2100*15+1100/5", "2100*15+1100/5", 2},
        {" !950/330 ,\t!1400/330, 0", "!950/330,!1400/330,0", 1},
        {"425/1,0/2147483647", "425/1,0/2147483647", 1},
        {"99999.9/10", "99999.9/10", 1},
        {"0.5*0.25/10", "0.5*0.25/10", 1},
        {"425/200,!0/100,!425", "425/200,!0/100,!425", 1},
    };
    for (const Case& c : cases) {
        TonePattern pattern;
        std::string error;
        ASSERT_TRUE(ParseTonePattern(c.text, pattern, error)) << c.text << ": " << error;
        EXPECT_EQ(Written(pattern), c.written);
        EXPECT_EQ(pattern.MaxToneCount(), c.maxTones) << c.text;
    }
}

TEST(TonePattern, EveryTableRowReadsBackAsWritten) {
    for (const TonePlanRow& row : TonePlanRows()) {
        TonePattern pattern;
        std::string error;
        ASSERT_TRUE(ParseTonePattern(row.pattern, pattern, error)) << row.country << " " << row.tone << ": " << error;
        EXPECT_EQ(Written(pattern), row.pattern) << row.country << " " << row.tone;
        EXPECT_LE(pattern.MaxToneCount(), 3);
    }
    for (const SitRow& row : SitRows()) {
        TonePattern pattern;
        std::string error;
        ASSERT_TRUE(ParseTonePattern(SitPattern(row), pattern, error)) << row.code << ": " << error;
        EXPECT_EQ(pattern.elements.size(), 3u);
    }
}

TEST(TonePattern, RefusesMalformedPatternsNamingTheElement) {
    const std::string notFrequency = " is not a frequency (a number of Hz above 0 and below 100000, e.g. 425 or 1776.7).";
    const std::string badDuration = " is not a whole number of milliseconds from 1 to 2147483647.";
    const std::string nul("4\0" "25", 4);
    struct Case {
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {"", "Tone pattern is empty."},
        {"  ", "Tone pattern is empty."},
        {"425/100,,0/100", "Tone pattern element 2 is empty."},
        {"425/100,", "Tone pattern element 2 is empty."},
        {"425/100,abc/100", "Tone pattern element 2 \"abc/100\": \"abc\"" + notFrequency},
        {"-425/100", "Tone pattern element 1 \"-425/100\": \"-425\"" + notFrequency},
        {"100000/100", "Tone pattern element 1 \"100000/100\": \"100000\"" + notFrequency},
        {"0.0/100", "Tone pattern element 1 \"0.0/100\": \"0.0\"" + notFrequency},
        {"nan", "Tone pattern element 1 \"nan\": \"nan\"" + notFrequency},
        {"400*/100", "Tone pattern element 1 \"400*/100\": \"\"" + notFrequency},
        {"400*25*2/100", "Tone pattern element 1 \"400*25*2/100\": \"25*2\"" + notFrequency},
        {"/100", "Tone pattern element 1 \"/100\": \"\"" + notFrequency},
        {"350+/100", "Tone pattern element 1 \"350+/100\": \"\"" + notFrequency},
        {"1+2+3+4/100", "Tone pattern element 1 \"1+2+3+4/100\": more than three tones."},
        {"0+425/100", "Tone pattern element 1 \"0+425/100\": 0 (silence) stands alone: it cannot be summed or modulated."},
        {"0*25/100", "Tone pattern element 1 \"0*25/100\": 0 (silence) stands alone: it cannot be summed or modulated."},
        {"425*0/100", "Tone pattern element 1 \"425*0/100\": 0 (silence) stands alone: it cannot be summed or modulated."},
        {"425/0", "Tone pattern element 1 \"425/0\": the duration \"0\"" + badDuration},
        {"425/", "Tone pattern element 1 \"425/\": the duration \"\"" + badDuration},
        {"425/2147483648", "Tone pattern element 1 \"425/2147483648\": the duration \"2147483648\"" + badDuration},
        {"425/1.5", "Tone pattern element 1 \"425/1.5\": the duration \"1.5\"" + badDuration},
        {"425/10/20", "Tone pattern element 1 \"425/10/20\": the duration \"10/20\"" + badDuration},
        {"425,0/100",
         "Tone pattern element 1 \"425\": it has no duration, so it plays to the end; only the last element may."},
        {"425/100,!0,425/100",
         "Tone pattern element 2 \"!0\": it has no duration, so it plays to the end; only the last element may."},
        {std::string(60, '4') + "/1",
         std::string("Tone pattern element 1 \"") + std::string(40, '4') + "...\": \"" + std::string(40, '4') + "...\"" +
             notFrequency},
        {std::string("425/10,") + nul + "/10",
         std::string("Tone pattern element 2 \"") + nul + "/10\": \"" + nul + "\"" + notFrequency},
    };
    for (const Case& c : cases) {
        TonePattern pattern;
        pattern.elements.resize(2);
        std::string error;
        EXPECT_FALSE(ParseTonePattern(c.text, pattern, error)) << c.text;
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(pattern.elements.empty());
    }
}

// 16-bit samples of a sequence rendered in pieces of `piece` samples.
std::vector<std::int16_t> Render(std::vector<ToneSequence::Step> steps, std::int64_t total, double rate,
                                 ToneSequence::Clock clock, std::size_t piece, double depth = 0.9) {
    ToneSequence sequence;
    sequence.Start(std::move(steps), total, rate, SampleFormat::S16, 0.7, depth, clock);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(sequence.TotalSamples()));
    std::size_t at = 0;
    for (std::size_t n; (n = sequence.Render(reinterpret_cast<std::uint8_t*>(samples.data() + at), piece)) > 0;) at += n;
    EXPECT_EQ(at, samples.size());
    return samples;
}

// A cadence keeps time: element k ends at the sample nearest its time from the start, whatever
// the elements' own lengths round to, so the rendering equals every played element rendered
// alone for the samples between its boundaries (and uk busy for 6000 ms at 44100 Hz ends with
// a whole silence, no sliver of 400 Hz).
TEST(ToneSequenceClock, EveryBoundaryFallsAtTheSampleNearestItsTime) {
    struct Case {
        const char* pattern;
        double rate;
        std::int64_t ms;
    };
    const Case cases[] = {
        {"400/375,0/375", 44100.0, 6000},  // uk busy: 16537.5 samples an element
        {"425/165,0/165", 44100.0, 6000},  // cz congestion
        {"!950/332,!0/24,!1400/332,!0/24,!1800/332,!0/2024,0", 11025.0, 9000},  // se info, shortened
        {"400+450/400,0/200,400+450/400,0/2000", 44100.0, 9000},
        {"!400+450/375,!0/1,400*25", 8000.0, 999},
        {"425/1,0/2", 300.0, 50},  // most elements shorter than a sample
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " at " + std::to_string(c.rate));
        TonePattern pattern;
        std::string error;
        ASSERT_TRUE(ParseTonePattern(c.pattern, pattern, error)) << error;
        const auto sample = [&](std::int64_t ms) -> std::int64_t { return std::llround(static_cast<double>(ms) * c.rate / 1000.0); };
        std::vector<std::int16_t> expected;
        std::int64_t ms = 0;
        for (std::size_t k = 0; static_cast<std::int64_t>(expected.size()) < sample(c.ms); ++k) {
            const PatternElement& e = pattern.elements[k % pattern.elements.size()];
            if (k >= pattern.elements.size() && e.once) continue;
            const std::int64_t begin = sample(ms);
            ms += e.ms == 0 ? c.ms : e.ms;
            ToneSequence::Step alone;
            alone.tones = e.tones;
            alone.toneCount = e.toneCount;
            alone.length = std::min(sample(ms), sample(c.ms)) - begin;
            const std::vector<std::int16_t> part =
                Render({alone}, alone.length, c.rate, ToneSequence::Clock::Samples, 1 << 20);
            expected.insert(expected.end(), part.begin(), part.end());
        }
        for (const std::size_t piece : {std::size_t{1} << 20, std::size_t{333}}) {
            EXPECT_EQ(Render(PatternSteps(pattern, c.ms), c.ms, c.rate, ToneSequence::Clock::Milliseconds, piece), expected);
        }
    }
}

// A reversal negates the recursion's state, and truncation is symmetric: every sample after k
// reversals is exactly (-1)^k times the sample of the same tone without them. In milliseconds,
// reversal k falls at the sample nearest k times the interval.
TEST(TonePhaseReversal, NegatesEverySampleOfTheReversedIntervals) {
    struct Case {
        double rate;
        ToneSequence::Clock clock;
        std::int64_t length;
        std::int64_t interval;
    };
    const Case cases[] = {{8000.0, ToneSequence::Clock::Samples, 4000, 450},
                          {11025.0, ToneSequence::Clock::Milliseconds, 2000, 450},
                          {1.0, ToneSequence::Clock::Milliseconds, 9000, 450}};
    for (const Case& c : cases) {
        for (const double modulation : {0.0, 15.0}) {
            ToneSequence::Step plain;
            plain.tones[0] = {2100.0, modulation};
            plain.toneCount = 1;
            plain.length = c.length;
            ToneSequence::Step reversing = plain;
            reversing.reversal = c.interval;
            const bool ms = c.clock == ToneSequence::Clock::Milliseconds;
            const auto boundary = [&](std::int64_t k) {
                return ms ? ToneSequence::SampleAtMs(k * c.interval, c.rate) : k * c.interval;
            };
            const std::vector<std::int16_t> reference = Render({plain}, c.length, c.rate, c.clock, 1 << 20, 0.2);
            for (const std::size_t piece : {std::size_t{4000}, std::size_t{1}, std::size_t{449}, std::size_t{451}, std::size_t{7}}) {
                const std::vector<std::int16_t> reversed = Render({reversing}, c.length, c.rate, c.clock, piece, 0.2);
                ASSERT_EQ(reversed.size(), reference.size());
                std::int64_t turns = 0;
                for (std::size_t i = 0; i < reversed.size(); ++i) {
                    while (static_cast<std::int64_t>(i) >= boundary(turns + 1)) ++turns;
                    ASSERT_EQ(reversed[i], (turns % 2 == 0 ? 1 : -1) * reference[i])
                        << "sample " << i << " piece " << piece << " modulation " << modulation << " rate " << c.rate;
                }
            }
        }
    }
}

}  // namespace
