// The tone library's request operations and settings: what they queue (lengths known from the
// queue, labels in the log), the exact texts of what they refuse with nothing queued, and the
// twist and modulation depth settings.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "support/EngineHarness.h"
#include "varnel/engine/ErrorTexts.h"

namespace {

using namespace varnel_test;
using Bytes = std::vector<std::uint8_t>;
using Call = std::function<HRESULT(CVarnel&, std::int32_t*)>;

Call Pattern(const char16_t* pattern, std::int32_t ms) {
    return [=](CVarnel& e, std::int32_t* id) { return e.GeneratePattern(pattern, ms, id); };
}
Call Plan(const char16_t* country, const char16_t* tone, std::int32_t ms) {
    return [=](CVarnel& e, std::int32_t* id) { return e.GenerateTonePlan(country, tone, ms, id); };
}
Call Sit(const char16_t* code) {
    return [=](CVarnel& e, std::int32_t* id) { return e.GenerateSIT(code, id); };
}
Call Modem(std::int32_t kind, std::int32_t ms) {
    return [=](CVarnel& e, std::int32_t* id) { return e.GenerateModemTone(kind, ms, id); };
}

// An engine generating to a buffer stream at 8000 Hz, 16 bits.
struct Generating {
    CVarnel engine;
    Recorder recorder;
    Generating() {
        recorder.Attach(engine);
        engine.set_SampleRate(8000);
        EXPECT_EQ(engine.GenerateBegin(nullptr), S_OK);
    }
};

TEST(ToneLibrary, QueuesWhatItNamesForTheQueueToMeasure) {
    struct Case {
        const char* name;
        Call call;
        std::int64_t samples;  // at 8000 Hz
        std::string label;
    };
    const Case cases[] = {
        {"pattern", Pattern(u"400/375,0/375", 3000), 24000, "Tone Pattern"},
        {"pattern-once", Pattern(u"!950/330,!1400/330,!1800/330", 60000), 7920, "Tone Pattern"},
        {"plan", Plan(u"uk", u"busy", 3000), 24000, "Tone Plan uk busy"},
        {"plan-gb", Plan(u"GB", u"Ringback", 1), 8, "Tone Plan uk ringback"},
        {"plan-once", Plan(u"nz", u"callwaiting", 60000), (4 * 200 + 3 * 3000) * 8, "Tone Plan nz callwaiting"},
        {"sit-nc", Sit(u"nc"), 3 * 380 * 8, "SIT nc"},
        {"sit-ic", Sit(u"IC"), (274 + 274 + 380) * 8, "SIT ic"},
        {"sit-itu", Sit(u"itu"), 990 * 8, "SIT itu"},
        {"cng", Modem(MT_CNG, 7000), 56000, "Modem Tone CNG"},
        {"ans", Modem(MT_ANS, 3300), 26400, "Modem Tone ANS"},
        {"ans-pr", Modem(MT_ANS_PR, 3300), 26400, "Modem Tone ANS/PR"},
        {"ansam", Modem(MT_ANSAM, 1), 8, "Modem Tone ANSam"},
        {"ansam-pr", Modem(MT_ANSAM_PR, 3300), 26400, "Modem Tone ANSam/PR"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Generating g;
        std::int32_t id = -1;
        ASSERT_EQ(g.engine.GenerateSilence(1, &id), S_OK);
        ASSERT_EQ(c.call(g.engine, &id), S_OK) << g.engine.GetErrMsg();
        EXPECT_EQ(id, 1);
        EXPECT_EQ(g.recorder.LastMessage(), "Added request to generation queue, type: " + c.label + ", request ID:1");
        EXPECT_EQ(g.engine.QueuedBytes(), (8 + c.samples) * 2);
        EXPECT_EQ(static_cast<std::int64_t>(PullAll(g.engine, 4096).size()), (8 + c.samples) * 2);
        EXPECT_EQ(g.recorder.done, (std::vector<std::int32_t>{0, 1}));
    }
}

TEST(ToneLibrary, RefusesWithATextAndQueuesNothing) {
    const std::string notFrequency = " is not a frequency (a number of Hz above 0 and below 100000, e.g. 425 or 1776.7).";
    struct Case {
        const char* name;
        bool generating;
        Call call;
        HRESULT code;
        std::string text;
    };
    const Case cases[] = {
        {"idle-pattern", false, Pattern(u"425", 100), E_FAIL, ErrorText::kNotGenerating},
        {"idle-plan", false, Plan(u"xx", u"", 0), E_FAIL, ErrorText::kNotGenerating},
        {"idle-sit", false, Sit(nullptr), E_FAIL, ErrorText::kNotGenerating},
        {"idle-modem", false, Modem(9, 0), E_FAIL, ErrorText::kNotGenerating},
        {"pattern-null", true, Pattern(nullptr, 100), E_INVALIDARG, "Tone pattern is empty."},
        {"pattern-bad", true, Pattern(u"425/500,0/x", 100), E_INVALIDARG,
         "Tone pattern element 2 \"0/x\": the duration \"x\" is not a whole number of milliseconds from 1 to 2147483647."},
        {"pattern-not-ansi", true, Pattern(u"425\u2603/5", 100), E_INVALIDARG,
         "Tone pattern element 1 \"425?/5\": \"425?\"" + notFrequency},
        {"pattern-zero-ms", true, Pattern(u"425", 0), E_INVALIDARG, ErrorText::kToneDuration},
        {"pattern-negative-ms", true, Pattern(u"425", -1), E_INVALIDARG, ErrorText::kToneDuration},
        {"plan-country", true, Plan(u"xx", u"busy", 100), E_INVALIDARG,
         "Unknown country \"xx\": the tone plans are for at, au, bg, br, be, ch, cl, cn, cz, de, dk, ee, es, fi, fr, gr, "
         "hu, id, il, in, it, lt, jp, mx, my, nl, no, nz, ph, pl, pt, ru, se, sg, th, uk, us, tw, ve, za (gb is uk)."},
        {"plan-null", true, Plan(nullptr, nullptr, 100), E_INVALIDARG,
         "Unknown country \"\": the tone plans are for at, au, bg, br, be, ch, cl, cn, cz, de, dk, ee, es, fi, fr, gr, "
         "hu, id, il, in, it, lt, jp, mx, my, nl, no, nz, ph, pl, pt, ru, se, sg, th, uk, us, tw, ve, za (gb is uk)."},
        {"plan-tone", true, Plan(u"my", u"info", 100), E_INVALIDARG,
         "Country \"my\" has no tone \"info\": its tones are dial, busy, ringback, congestion."},
        {"plan-long-tone", true, Plan(u"gb", u"ringbackringbackringbackringbackringbackringback", 100), E_INVALIDARG,
         "Country \"gb\" has no tone \"ringbackringbackringbackringbackringback...\": its tones are dial, busy, "
         "congestion, ringback, callwaiting, info."},
        {"plan-zero-ms", true, Plan(u"uk", u"dial", 0), E_INVALIDARG, ErrorText::kToneDuration},
        {"sit-code", true, Sit(u"xx"), E_INVALIDARG,
         "Unknown special information tone \"xx\": the codes are nc, ic, vc, ro, itu."},
        {"sit-null", true, Sit(nullptr), E_INVALIDARG,
         "Unknown special information tone \"\": the codes are nc, ic, vc, ro, itu."},
        {"modem-kind", true, Modem(5, 100), E_INVALIDARG, ErrorText::kModemTone},
        {"modem-negative", true, Modem(-1, 100), E_INVALIDARG, ErrorText::kModemTone},
        {"modem-zero-ms", true, Modem(MT_ANS, 0), E_INVALIDARG, ErrorText::kToneDuration},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CVarnel engine;
        engine.set_SampleRate(8000);
        if (c.generating) {
            ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
        }
        std::int32_t id = -7;
        EXPECT_EQ(c.call(engine, &id), c.code);
        EXPECT_EQ(id, -7);
        EXPECT_EQ(engine.GetErrMsg(), c.text);
        EXPECT_EQ(engine.QueuedBytes(), 0);
        if (!c.generating) continue;
        ASSERT_EQ(engine.GenerateSilence(1, &id), S_OK);
        EXPECT_EQ(id, 0);  // the refused call took no request ID
    }
    EXPECT_STREQ(ErrorText::kToneDuration, "Duration out of range: it must be from 1 to 2147483647 ms.");
    EXPECT_STREQ(ErrorText::kModemTone,
                 "Unknown modem tone: the kinds are MT_CNG (0), MT_ANS (1), MT_ANS_PR (2), MT_ANSAM (3) and MT_ANSAM_PR (4).");
}

// 16-bit samples of one request at 8000 Hz after the settings.
Bytes Render(const std::function<void(CVarnel&)>& settings, const Call& call) {
    Generating g;
    settings(g.engine);
    std::int32_t id = 0;
    EXPECT_EQ(call(g.engine, &id), S_OK) << g.engine.GetErrMsg();
    return PullAll(g.engine, 8192);
}

TEST(ToneLibrary, ModulationDepthSettingReachesEveryModulatedTone) {
    const auto depth = [](std::int32_t percent) { return [percent](CVarnel& e) { ASSERT_EQ(e.set_TONE_ModulationDepth(percent), S_OK); }; };
    const auto none = [](CVarnel&) {};
    // At depth 0 a modulated tone is the plain tone, sample for sample.
    EXPECT_EQ(Render(depth(0), Pattern(u"400*25/400,0/200", 1200)), Render(none, Pattern(u"400/400,0/200", 1200)));
    EXPECT_EQ(Render(depth(0), Plan(u"in", u"dial", 500)), Render(none, Pattern(u"400", 500)));
    EXPECT_NE(Render(depth(50), Plan(u"in", u"dial", 500)), Render(none, Plan(u"in", u"dial", 500)));
    EXPECT_EQ(Render(depth(90), Plan(u"in", u"dial", 500)), Render(none, Plan(u"in", u"dial", 500)));
    // Modem tones keep their own depth.
    EXPECT_EQ(Render(depth(0), Modem(MT_ANSAM, 500)), Render(none, Modem(MT_ANSAM, 500)));
}

TEST(ToneLibrary, TwistAndDepthSettingsStoreTheirRangeOnly) {
    CVarnel engine;
    float twist = 1;
    std::int32_t depth = 0;
    EXPECT_EQ(engine.get_DTMF_Twist(&twist), S_OK);
    EXPECT_EQ(twist, 0.0f);
    EXPECT_EQ(engine.get_TONE_ModulationDepth(&depth), S_OK);
    EXPECT_EQ(depth, 90);
    EXPECT_EQ(engine.get_DTMF_Twist(nullptr), E_INVALIDARG);
    EXPECT_EQ(engine.get_TONE_ModulationDepth(nullptr), E_INVALIDARG);
    for (const float value : {-20.0f, 20.0f, 2.5f, 0.0f}) {
        EXPECT_EQ(engine.set_DTMF_Twist(value), S_OK);
        engine.get_DTMF_Twist(&twist);
        EXPECT_EQ(twist, value);
    }
    for (const float value : {-20.001f, 20.5f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity()}) {
        EXPECT_EQ(engine.set_DTMF_Twist(value), E_INVALIDARG) << value;
        EXPECT_EQ(engine.GetErrMsg(), "DTMF twist out of range: it must be from -20 to 20 dB.");
        engine.get_DTMF_Twist(&twist);
        EXPECT_EQ(twist, 0.0f);
    }
    for (const std::int32_t value : {0, 100, 20}) {
        EXPECT_EQ(engine.set_TONE_ModulationDepth(value), S_OK);
        engine.get_TONE_ModulationDepth(&depth);
        EXPECT_EQ(depth, value);
    }
    for (const std::int32_t value : {-1, 101, std::numeric_limits<std::int32_t>::min()}) {
        EXPECT_EQ(engine.set_TONE_ModulationDepth(value), E_INVALIDARG);
        EXPECT_EQ(engine.GetErrMsg(), "Modulation depth out of range: it must be from 0 to 100 percent.");
        engine.get_TONE_ModulationDepth(&depth);
        EXPECT_EQ(depth, 20);
    }
}

TEST(ToneLibrary, DtmfTwistThatWouldPassFullScaleIsRefused) {
    struct Case {
        float amplitude;
        float twist;
        HRESULT result;
    };
    // Each tone is at half the level: the pair's peak is level * (1 + 10^(twist / 20)) / 2.
    const Case cases[] = {{-6.0f, 6.0f, S_OK}, {-6.0f, 9.5f, S_OK}, {-6.0f, 9.6f, E_INVALIDARG},
                          {0.0f, 0.0f, S_OK},  {0.0f, 0.01f, E_INVALIDARG}, {0.0f, -20.0f, S_OK},
                          {-20.0f, 20.0f, S_OK}};
    for (const Case& c : cases) {
        Generating g;
        g.engine.set_Amplitude(c.amplitude);
        ASSERT_EQ(g.engine.set_DTMF_Twist(c.twist), S_OK);
        std::int32_t id = -1;
        EXPECT_EQ(g.engine.GenerateDTMFs(u"1", &id), c.result) << c.amplitude << " " << c.twist;
        if (c.result == S_OK) continue;
        EXPECT_EQ(id, -1);
        EXPECT_EQ(g.engine.GetErrMsg(),
                  "DTMF level too high for the twist set: the two tones together would pass full scale; lower Amplitude "
                  "or the twist.");
        EXPECT_EQ(g.engine.QueuedBytes(), 0);
    }
}

}  // namespace
