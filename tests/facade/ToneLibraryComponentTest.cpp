// The component's tone-library methods and properties: request IDs, the engine's texts in its
// exceptions, the settings as properties and as catalog rows.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestDestination.h"

namespace {

using namespace varnel_test;

TEST(ToneLibraryComponent, MethodsQueueAndReturnTheRequestIDs) {
    Varnel v;
    v.SampleRate(8000);
    v.GenerateBegin();
    EXPECT_EQ(v.GeneratePattern("400*25/400,0/200,400*25/400,0/2000", 6000), 0);
    EXPECT_EQ(v.GenerateTonePlan("gb", "busy", 3000), 1);
    EXPECT_EQ(v.GenerateSIT("ro"), 2);
    EXPECT_EQ(v.GenerateModemTone(MT_ANSAM_PR, 3300), 3);
    EXPECT_EQ(v.QueuedBytes(), (6000 + 3000 + 274 + 380 + 380 + 3300) * 8 * 2);
}

TEST(ToneLibraryComponent, RefusalsThrowWithTheEnginesText) {
    Varnel v;
    EXPECT_EQ(Thrown<COMException>([&] { v.GenerateSIT("nc"); }),
              Failure(E_FAIL, "Not in generate state, Please call GenerateBegin() method first."));
    v.GenerateBegin();
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.GeneratePattern("425/100,0*5/100", 1000); }),
              Failure(E_INVALIDARG, "Tone pattern element 2 \"0*5/100\": 0 (silence) stands alone: it cannot be summed or "
                                    "modulated."));
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.GeneratePattern("", 1000); }), Failure(E_INVALIDARG, "Tone pattern is empty."));
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.GenerateTonePlan("th", "callwaiting", 1000); }),
              Failure(E_INVALIDARG, "Country \"th\" has no tone \"callwaiting\": its tones are dial, busy, ringback, "
                                    "congestion, info."));
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.GenerateModemTone(static_cast<MODEM_TONE>(7), 1000); }).first, E_INVALIDARG);
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.DTMF_Twist(21.0f); }),
              Failure(E_INVALIDARG, "DTMF twist out of range: it must be from -20 to 20 dB."));
    EXPECT_EQ(Thrown<ArgumentException>([&] { v.TONE_ModulationDepth(-5); }),
              Failure(E_INVALIDARG, "Modulation depth out of range: it must be from 0 to 100 percent."));
    EXPECT_EQ(v.QueuedBytes(), 0);
}

TEST(ToneLibraryComponent, PropertiesAndCatalogRowsSetTheSameSettings) {
    Varnel v;
    EXPECT_EQ(v.DTMF_Twist(), 0.0f);
    EXPECT_EQ(v.TONE_ModulationDepth(), 90);
    v.DTMF_Twist(-3.5f);
    v.TONE_ModulationDepth(40);
    EXPECT_EQ(v.DTMF_Twist(), -3.5f);
    EXPECT_EQ(v.TONE_ModulationDepth(), 40);
    v.Set(SettingsCatalog::kDtmfTwist, {.number = 4.0f});
    v.Set(SettingsCatalog::kToneModulationDepth, {.integer = 100});
    EXPECT_EQ(v.DTMF_Twist(), 4.0f);
    EXPECT_EQ(v.TONE_ModulationDepth(), 100);
}

}  // namespace
