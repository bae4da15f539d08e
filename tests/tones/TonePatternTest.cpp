// The tone-pattern notation: what it reads, the exact texts of what it refuses, and the steps and
// phase reversals it becomes.

#include <gtest/gtest.h>

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

TEST(TonePattern, StepsLastTheWholeSamplesOfEachDuration) {
    TonePattern pattern;
    std::string error;
    ASSERT_TRUE(ParseTonePattern("!400+450/375,!0/1,400*25", pattern, error)) << error;
    struct Case {
        double rate;
        std::vector<std::int64_t> samples;
    };
    const Case cases[] = {
        {8000.0, {3000, 8, 99}},
        {44100.0, {16537, 44, 99}},
        {11025.0, {4134, 11, 99}},
        {1.0, {0, 0, 99}},
    };
    for (const Case& c : cases) {
        const std::vector<ToneSequence::Step> steps = PatternSteps(pattern, c.rate, 99);
        ASSERT_EQ(steps.size(), 3u);
        for (std::size_t i = 0; i < steps.size(); ++i) EXPECT_EQ(steps[i].samples, c.samples[i]) << c.rate << " " << i;
        EXPECT_TRUE(steps[0].once);
        EXPECT_EQ(steps[0].toneCount, 2);
        EXPECT_EQ(steps[1].toneCount, 0);
        EXPECT_FALSE(steps[2].once);
        EXPECT_EQ(steps[2].tones[0].modulationHz, 25.0);
    }
    EXPECT_EQ(SamplesOfMs(2147483647, 16777216.0), 36028797002186LL);
}

// 16-bit samples of a sequence rendered in pieces of `piece` samples.
std::vector<std::int16_t> Render(std::vector<ToneSequence::Step> steps, std::int64_t total, double depth, std::size_t piece) {
    ToneSequence sequence;
    sequence.Start(std::move(steps), total, 8000.0, SampleFormat::S16, 0.7, depth);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(sequence.TotalSamples()));
    std::size_t at = 0;
    for (std::size_t n; (n = sequence.Render(reinterpret_cast<std::uint8_t*>(samples.data() + at), piece)) > 0;) at += n;
    EXPECT_EQ(at, samples.size());
    return samples;
}

// A reversal negates the recursion's state, and truncation is symmetric: every sample after k
// reversals is exactly (-1)^k times the sample of the same tone without them.
TEST(TonePhaseReversal, NegatesEverySampleOfTheReversedIntervals) {
    for (const double modulation : {0.0, 15.0}) {
        ToneSequence::Step plain;
        plain.tones[0] = {2100.0, modulation};
        plain.toneCount = 1;
        plain.samples = 4000;
        ToneSequence::Step reversing = plain;
        reversing.reversalSamples = 450;
        const std::vector<std::int16_t> reference = Render({plain}, 4000, 0.2, 4000);
        for (const std::size_t piece : {std::size_t{4000}, std::size_t{1}, std::size_t{449}, std::size_t{451}, std::size_t{7}}) {
            const std::vector<std::int16_t> reversed = Render({reversing}, 4000, 0.2, piece);
            ASSERT_EQ(reversed.size(), reference.size());
            for (std::size_t i = 0; i < reversed.size(); ++i) {
                const int sign = (i / 450) % 2 == 0 ? 1 : -1;
                ASSERT_EQ(reversed[i], sign * reference[i]) << "sample " << i << " piece " << piece << " modulation " << modulation;
            }
        }
    }
}

}  // namespace
