// TONE_LevelPerTone: every tone of every signal at Amplitude, whatever sounds beside it,
// measured; and a request whose tones together would pass full scale refused when queued.
// (That the setting left off keeps every byte is ByteIdentityTest's.)

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "support/EngineHarness.h"
#include "tones/Measure.h"
#include "varnel/engine/Enumerations.h"
#include "varnel/facade/Varnel.h"

namespace {

using namespace varnel_test;

constexpr double kRate = 44100.0;
constexpr float kAmplitudeDb = -12.0f;

// A request, and where one of its tones is measured: the window in ms, the frequency, and its
// level relative to Amplitude.
struct Tone {
    const char* what;
    std::function<HRESULT(CVarnel&)> request;
    double fromMs;
    double toMs;
    double hz;
    double aboveAmplitudeDb;
};

HRESULT BellCallWaiting(CVarnel& e) {
    e.set_CID_Alert(CA_OffHook);
    return e.GenerateCallerID(u"5551234", u"JOHN DOE", u"12/25 10:30", nullptr);
}

HRESULT EtsiAfterTheAlert(CVarnel& e) {
    e.set_CID_Standard(CS_ETSI);
    e.set_CID_Alert(CA_DTAS);
    return e.GenerateCallerID(u"5551234", u"JOHN DOE", u"12/25 10:30", nullptr);
}

HRESULT DtmfWithTwist(CVarnel& e) {
    e.set_DTMF_ToneTime(300);
    e.set_DTMF_Twist(2.0f);
    return e.GenerateDTMFs(u"1", nullptr);
}

TEST(LevelPerTone, EveryToneSoundsAtAmplitudeWhateverSoundsBesideIt) {
    const Tone tones[] = {
        {"400 Hz alone", [](CVarnel& e) { return e.GeneratePattern(u"400+450/100,400/100", 200, nullptr); }, 110, 190, 400.0, 0.0},
        {"400 Hz of 400+450", [](CVarnel& e) { return e.GeneratePattern(u"400+450/1000,400/100", 1100, nullptr); }, 100, 900, 400.0, 0.0},
        {"1400 Hz of three", [](CVarnel& e) { return e.GenerateTone(500, 0, 950.0f, 1400.0f, 1800.0f, nullptr); }, 50, 450, 1400.0, 0.0},
        {"Bell's off-hook 440 Hz", BellCallWaiting, 20, 280, 440.0, 0.0},
        {"ETSI alert 2750 Hz", EtsiAfterTheAlert, 10, 90, 2750.0, 0.0},
        {"ETSI marks after the alert", EtsiAfterTheAlert, 470, 580, 1300.0, 0.0},
        {"DTMF low group", DtmfWithTwist, 40, 260, 697.0, 0.0},
        {"DTMF high group, twist +2 dB", DtmfWithTwist, 40, 260, 1209.0, 2.0},
        {"MF KP", [](CVarnel& e) { return e.GenerateMF(u"K", nullptr); }, 10, 90, 1700.0, 0.0},
        {"R2 forward 1", [](CVarnel& e) { return e.GenerateR2MF(u"1", 0, nullptr); }, 10, 140, 1500.0, 0.0},
        {"modem tone", [](CVarnel& e) { return e.GenerateModemTone(MT_ANS, 500, nullptr); }, 50, 450, 2100.0, 0.0},
    };
    const double amplitude = std::pow(10.0, kAmplitudeDb / 20.0);
    const auto at = [](double ms) { return static_cast<std::size_t>(ms * kRate / 1000.0); };
    for (const Tone& t : tones) {
        SCOPED_TRACE(t.what);
        CVarnel engine;
        engine.set_SampleRate(static_cast<std::int32_t>(kRate));
        engine.set_Amplitude(kAmplitudeDb);
        EXPECT_EQ(engine.set_TONE_LevelPerTone(1), S_OK);
        engine.GenerateBegin(nullptr);
        ASSERT_EQ(t.request(engine), S_OK) << engine.GetErrMsg();
        const std::vector<double> x = tone_test::FromS16(PullAll(engine, 1 << 16));
        ASSERT_GE(x.size(), at(t.toMs));
        const double measured = tone_test::Amplitude(x, at(t.fromMs), at(t.toMs), t.hz, kRate);
        EXPECT_NEAR(20.0 * std::log10(measured / amplitude), t.aboveAmplitudeDb, 0.05);
    }
}

// Refused when queued (nothing more is queued), with the highest Amplitude that fits; the same
// request is queued with the setting off, and at that Amplitude with it on.
TEST(LevelPerTone, TonesPastFullScaleAreRefusedWithTheAmplitudeThatFits) {
    struct Case {
        const char* what;
        const char* amplitude;  // dB
        std::function<HRESULT(CVarnel&)> request;
        const char* highest;
    };
    const Case cases[] = {
        {"DTMF", "-6.00", [](CVarnel& e) { return e.GenerateDTMFs(u"5", nullptr); }, "-6.03"},
        {"DTMF, twist +3 dB", "-7.00", [](CVarnel& e) { e.set_DTMF_Twist(3.0f); return e.GenerateDTMFs(u"5", nullptr); }, "-7.65"},
        {"three tones", "-9.00", [](CVarnel& e) { return e.GenerateTone(100, 0, 400.0f, 450.0f, 500.0f, nullptr); }, "-9.55"},
        {"tones:", "-3.00", [](CVarnel& e) { return e.GenerateTones(u"400@100,350|440@100"); }, "-6.03"},
        {"a pattern", "-5.00", [](CVarnel& e) { return e.GeneratePattern(u"400/100,400+450/100", 1000, nullptr); }, "-6.03"},
        {"a tone plan", "-5.00", [](CVarnel& e) { return e.GenerateTonePlan(u"us", u"dial", 1000, nullptr); }, "-6.03"},
        {"R2", "-1.00", [](CVarnel& e) { return e.GenerateR2MF(u"5", 1, nullptr); }, "-6.03"},
        {"Caller-ID after the alert", "-4.00", EtsiAfterTheAlert, "-6.03"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CVarnel engine;
        engine.set_Amplitude(std::stof(c.amplitude));
        engine.GenerateBegin(nullptr);
        EXPECT_EQ(c.request(engine), S_OK) << engine.GetErrMsg();
        engine.set_TONE_LevelPerTone(1);
        const std::int64_t queued = engine.QueuedBytes();
        EXPECT_EQ(c.request(engine), E_INVALIDARG);
        EXPECT_EQ(engine.GetErrMsg(), "Level per tone (TONE_LevelPerTone): the tones of this request sound together "
                                      "above full scale at Amplitude " + std::string(c.amplitude) +
                                          " dB; set Amplitude to " + c.highest + " dB or lower.");
        EXPECT_EQ(engine.QueuedBytes(), queued);
        engine.set_Amplitude(std::stof(c.highest));
        EXPECT_EQ(c.request(engine), S_OK) << engine.GetErrMsg();
    }
}

TEST(LevelPerTone, IsAPropertyOfTheComponent) {
    Varnel varnel;
    EXPECT_EQ(varnel.TONE_LevelPerTone(), 0);
    varnel.TONE_LevelPerTone(1);
    EXPECT_EQ(varnel.TONE_LevelPerTone(), 1);
    EXPECT_THROW(varnel.TONE_LevelPerTone(2), ArgumentException);
    EXPECT_EQ(varnel.TONE_LevelPerTone(), 1);
}

}  // namespace
