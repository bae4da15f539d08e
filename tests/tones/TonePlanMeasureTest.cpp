// Every row of the tone tables rendered by the engine at 8000 and 44100 Hz and measured: the
// runs of tone and silence end at the samples nearest the pattern's times, each element's
// tones are where the row says within 0.5 Hz and at equal levels, nothing else sounds, and
// modulated tones have their sidebands at F - M and F + M at the depth set.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "support/EngineHarness.h"
#include "tones/Measure.h"
#include "varnel/signal/TonePattern.h"
#include "varnel/signal/ToneTables.h"

namespace {

using namespace varnel_test;

constexpr double kLevel = 0.5011872336272722;  // the default Amplitude, -6 dB

// One element as played: samples [begin, end) of the output.
struct Played {
    std::size_t element;
    std::int64_t begin;
    std::int64_t end;
};

// The notation's schedule: every element once, then the elements without ! over and over; cut
// at totalMs, or ended after the first pass when nothing repeats. A continuous element plays to
// the end. Every boundary is the sample nearest its time from the start.
std::vector<Played> Schedule(const TonePattern& pattern, double rate, std::int64_t totalMs) {
    const auto sample = [&](std::int64_t ms) -> std::int64_t { return std::llround(static_cast<double>(ms) * rate / 1000.0); };
    const std::int64_t total = sample(totalMs);
    std::vector<Played> played;
    std::int64_t at = 0;
    std::int64_t ms = 0;
    const auto play = [&](std::size_t i) {
        const PatternElement& e = pattern.elements[i];
        ms += e.ms == 0 ? totalMs : e.ms;
        const std::int64_t end = std::min(sample(ms), total);
        if (end > at) played.push_back({i, at, end});
        at = end;
    };
    for (std::size_t i = 0; i < pattern.elements.size() && at < total; ++i) play(i);
    const bool repeats = std::any_of(pattern.elements.begin(), pattern.elements.end(),
                                     [&](const PatternElement& e) { return !e.once && e.ms > 0; });
    while (repeats && at < total) {
        for (std::size_t i = 0; i < pattern.elements.size() && at < total; ++i) {
            if (!pattern.elements[i].once) play(i);
        }
    }
    return played;
}

// The runs of tone (positive) and silence (negative) of a schedule.
std::vector<std::int64_t> ExpectedRuns(const TonePattern& pattern, const std::vector<Played>& played) {
    std::vector<std::int64_t> runs;
    for (const Played& p : played) {
        const std::int64_t n = pattern.elements[p.element].toneCount > 0 ? p.end - p.begin : p.begin - p.end;
        if (!runs.empty() && (runs.back() > 0) == (n > 0)) {
            runs.back() += n;
        } else {
            runs.push_back(n);
        }
    }
    return runs;
}

// Long enough for the first pass, a whole repetition and part of another.
std::int32_t DurationFor(const TonePattern& pattern) {
    std::int64_t ms = 777;
    for (const PatternElement& e : pattern.elements) ms += e.once ? e.ms : 2 * e.ms;
    return static_cast<std::int32_t>(ms);
}

std::vector<double> Render(double rate, std::int32_t depthPercent, const std::function<HRESULT(CVarnel&)>& request) {
    CVarnel engine;
    engine.set_SampleRate(static_cast<std::int32_t>(rate));
    engine.set_TONE_ModulationDepth(depthPercent);
    EXPECT_EQ(engine.GenerateBegin(nullptr), S_OK);
    EXPECT_EQ(request(engine), S_OK) << engine.GetErrMsg();
    return tone_test::FromS16(PullAll(engine, 1 << 16));
}

// Measures the first playing of every sounding element (at most half a second of it).
void MeasureElements(const TonePattern& pattern, const std::vector<Played>& played, const std::vector<double>& x,
                     double rate, double depth) {
    std::vector<bool> measured(pattern.elements.size(), false);
    for (const Played& p : played) {
        const PatternElement& e = pattern.elements[p.element];
        if (e.toneCount == 0 || measured[p.element]) continue;
        measured[p.element] = true;
        SCOPED_TRACE("element " + std::to_string(p.element + 1));
        const auto begin = static_cast<std::size_t>(p.begin);
        const auto end = static_cast<std::size_t>(std::min<std::int64_t>(p.end, p.begin + static_cast<std::int64_t>(rate / 2)));
        const tone_test::Window window(x, begin, end, rate);
        double explained = 0.0;
        for (int k = 0; k < e.toneCount; ++k) {
            const ToneSequence::Tone& tone = e.tones[static_cast<std::size_t>(k)];
            EXPECT_NEAR(window.PeakFrequency(tone.hz, 2.0), tone.hz, 0.5);
            const double d = tone.modulationHz != 0.0 ? depth : 0.0;
            const double carrier = window.Amplitude(tone.hz);
            EXPECT_NEAR(20.0 * std::log10(carrier * (1.0 + d) * e.toneCount / kLevel), 0.0, 0.1) << tone.hz << " Hz";
            explained += carrier * carrier / 2.0;
            if (d == 0.0) continue;
            for (const double side : {tone.hz - tone.modulationHz, tone.hz + tone.modulationHz}) {
                const double sideband = window.Amplitude(side);
                EXPECT_NEAR(sideband / carrier, d / 2.0, 0.01) << side << " Hz";
                explained += sideband * sideband / 2.0;
            }
        }
        EXPECT_NEAR(explained / window.MeanSquare(), 1.0, 0.01) << "energy outside the element's tones";
    }
}

void MeasureRow(const std::string& name, const std::string& text, double rate, std::int32_t durationMs,
                const std::function<HRESULT(CVarnel&)>& request) {
    SCOPED_TRACE(name + " at " + std::to_string(static_cast<int>(rate)) + " Hz: " + text);
    TonePattern pattern;
    std::string error;
    ASSERT_TRUE(ParseTonePattern(text, pattern, error)) << error;
    const std::vector<double> x = Render(rate, 90, request);
    const std::vector<Played> played = Schedule(pattern, rate, durationMs);
    ASSERT_FALSE(played.empty());
    EXPECT_EQ(static_cast<std::int64_t>(x.size()), played.back().end);
    EXPECT_EQ(tone_test::Runs(x), ExpectedRuns(pattern, played));
    MeasureElements(pattern, played, x, rate, 0.9);
}

TEST(TonePlanMeasure, EveryTonePlanRowAtEightAndFortyFourKilohertz) {
    for (const double rate : {8000.0, 44100.0}) {
        for (const TonePlanRow& row : TonePlanRows()) {
            TonePattern pattern;
            std::string error;
            ASSERT_TRUE(ParseTonePattern(row.pattern, pattern, error));
            const std::int32_t ms = DurationFor(pattern);
            const std::u16string country(row.country.begin(), row.country.end());
            const std::u16string tone(row.tone.begin(), row.tone.end());
            MeasureRow(std::string(row.country) + " " + std::string(row.tone), std::string(row.pattern), rate, ms,
                       [&](CVarnel& e) { return e.GenerateTonePlan(country.c_str(), tone.c_str(), ms, nullptr); });
        }
    }
}

TEST(TonePlanMeasure, EverySpecialInformationToneAtEightAndFortyFourKilohertz) {
    for (const double rate : {8000.0, 44100.0}) {
        for (const SitRow& row : SitRows()) {
            const std::u16string code(row.code.begin(), row.code.end());
            MeasureRow("SIT " + std::string(row.code), SitPattern(row), rate, 2000,
                       [&](CVarnel& e) { return e.GenerateSIT(code.c_str(), nullptr); });
        }
    }
}

// The sidebands follow TONE_ModulationDepth, and the carrier's peak stays at the level.
TEST(TonePlanMeasure, ModulatedTonesAtEveryDepth) {
    for (const std::int32_t percent : {0, 20, 50, 90, 100}) {
        SCOPED_TRACE(std::to_string(percent) + " %");
        const std::vector<double> x = Render(8000.0, percent, [](CVarnel& e) { return e.GeneratePattern(u"425*24", 1000, nullptr); });
        const double d = percent / 100.0;
        const tone_test::Window window(x, 0, x.size(), 8000.0);
        const double carrier = window.Amplitude(425.0);
        EXPECT_NEAR(carrier * (1.0 + d), kLevel, 0.001);
        EXPECT_NEAR(window.Amplitude(401.0) / carrier, d / 2.0, 0.002);
        EXPECT_NEAR(window.Amplitude(449.0) / carrier, d / 2.0, 0.002);
        const double peak = *std::max_element(x.begin(), x.end());
        EXPECT_LE(peak, kLevel);
        EXPECT_GT(peak, kLevel * 0.99);
    }
}

}  // namespace
