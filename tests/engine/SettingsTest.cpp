#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "support/EngineHarness.h"
#include "support/WaveFiles.h"
#include "varnel/engine/ErrorTexts.h"

namespace {

using namespace varnel_test;
using Getter = HRESULT (CVarnel::*)(std::int32_t*);
using Setter = HRESULT (CVarnel::*)(std::int32_t);

std::int32_t Get(CVarnel& engine, Getter getter) {
    std::int32_t value = -12345;
    EXPECT_EQ((engine.*getter)(&value), S_OK);
    return value;
}

// Leaves a known text in the error store: a request while idle is refused.
void SeedErrorText(CVarnel& engine) {
    std::int32_t id;
    ASSERT_EQ(engine.GenerateSilence(1, &id), E_FAIL);
    ASSERT_EQ(engine.GetErrMsg(), ErrorText::kNotGenerating);
}

TEST(SettingsTest, NewEngineDefaultsAndNullOutParameters) {
    const std::vector<std::pair<Getter, std::int32_t>> defaults = {
        {&CVarnel::get_SampleRate, 11025},   {&CVarnel::get_BitsPerSample, 16}, {&CVarnel::get_DTMF_ToneTime, 80},
        {&CVarnel::get_DTMF_BreakTime, 150}, {&CVarnel::get_DTMF_PauseTime, 400}, {&CVarnel::get_TTY_Rate, 0},
        {&CVarnel::get_TTY_Mode, 0},         {&CVarnel::get_CID_Format, 1}};
    CVarnel engine;
    for (const auto& [getter, value] : defaults) {
        EXPECT_EQ(Get(engine, getter), value);
        EXPECT_EQ((engine.*getter)(nullptr), E_INVALIDARG);
    }
    float amplitude = 0;
    EXPECT_EQ(engine.get_Amplitude(&amplitude), S_OK);
    EXPECT_EQ(amplitude, -6.0f);
    EXPECT_EQ(engine.get_Amplitude(nullptr), E_INVALIDARG);
    std::string version;
    EXPECT_EQ(engine.get_Version(&version), S_OK);
    EXPECT_FALSE(version.empty());
    EXPECT_EQ(engine.get_Version(nullptr), E_INVALIDARG);
    EXPECT_EQ(engine.GetErrMsg(), "");
}

struct IntSetting {
    const char* name;
    Setter set;
    Getter get;
    std::int32_t value;
    HRESULT result;
    std::int32_t readBack;
};

class IntSettingTest : public ::testing::TestWithParam<IntSetting> {};

TEST_P(IntSettingTest, StoresOrRefusesWithoutTouchingTheErrorText) {
    const IntSetting& c = GetParam();
    CVarnel engine;
    SeedErrorText(engine);
    EXPECT_EQ((engine.*c.set)(c.value), c.result);
    EXPECT_EQ(Get(engine, c.get), c.readBack);
    EXPECT_EQ(engine.GetErrMsg(), ErrorText::kNotGenerating);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IntSettingTest,
    ::testing::Values(
        IntSetting{"Bits8", &CVarnel::set_BitsPerSample, &CVarnel::get_BitsPerSample, 8, S_OK, 8},
        IntSetting{"Bits12", &CVarnel::set_BitsPerSample, &CVarnel::get_BitsPerSample, 12, E_INVALIDARG, 16},
        IntSetting{"TtyMode4", &CVarnel::set_TTY_Mode, &CVarnel::get_TTY_Mode, 4, S_OK, 4},
        IntSetting{"TtyMode5", &CVarnel::set_TTY_Mode, &CVarnel::get_TTY_Mode, 5, E_INVALIDARG, 0},
        IntSetting{"TtyModeMinus1", &CVarnel::set_TTY_Mode, &CVarnel::get_TTY_Mode, -1, E_INVALIDARG, 0},
        IntSetting{"TtyRate9", &CVarnel::set_TTY_Rate, &CVarnel::get_TTY_Rate, 9, S_OK, 9},
        IntSetting{"CidFormat7", &CVarnel::set_CID_Format, &CVarnel::get_CID_Format, 7, S_OK, 7},
        IntSetting{"ToneTimeNegative", &CVarnel::set_DTMF_ToneTime, &CVarnel::get_DTMF_ToneTime, -5, S_OK, -5},
        IntSetting{"PauseTime", &CVarnel::set_DTMF_PauseTime, &CVarnel::get_DTMF_PauseTime, -1, S_OK, -1},
        IntSetting{"Rate44100", &CVarnel::set_SampleRate, &CVarnel::get_SampleRate, 44100, S_OK, 44100},
        IntSetting{"RateNegative", &CVarnel::set_SampleRate, &CVarnel::get_SampleRate, -8000, S_OK, -8000},
        IntSetting{"RateKeptAsFloat", &CVarnel::set_SampleRate, &CVarnel::get_SampleRate, 16777217, S_OK, 16777216},
        IntSetting{"RateTopFloat", &CVarnel::set_SampleRate, &CVarnel::get_SampleRate, 2147483520, S_OK, 2147483520},
        IntSetting{"RateLargest", &CVarnel::set_SampleRate, &CVarnel::get_SampleRate, 2147483647, S_OK, 2147483647}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SettingsTest, AmplitudeIsNeverAboveFullScale) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<std::pair<float, float>> cases = {{3.0f, -1.0f}, {1e-6f, -1.0f}, {0.0f, 0.0f}, {-20.0f, -20.0f}};
    for (const auto& [value, stored] : cases) {
        CVarnel engine;
        SeedErrorText(engine);
        float amplitude = 1;
        EXPECT_EQ(engine.set_Amplitude(value), S_OK);
        EXPECT_EQ(engine.get_Amplitude(&amplitude), S_OK);
        EXPECT_EQ(amplitude, stored) << value;
        EXPECT_EQ(engine.GetErrMsg(), ErrorText::kNotGenerating);
    }
    CVarnel engine;
    float amplitude = 1;
    EXPECT_EQ(engine.set_Amplitude(nan), E_INVALIDARG);
    EXPECT_EQ(engine.get_Amplitude(&amplitude), S_OK);
    EXPECT_EQ(amplitude, -6.0f);
    EXPECT_EQ(engine.GetErrMsg(), ErrorText::kAmplitudeNaN);
}

struct FormatCase {
    std::int32_t rate, bits;
    std::uint32_t bytesPerSecond;
    std::uint16_t align;
};

void ExpectRecord(const WAVEFORMATEX& f, const FormatCase& c) {
    EXPECT_EQ(f.wFormatTag, 1);
    EXPECT_EQ(f.nChannels, 1);
    EXPECT_EQ(f.nSamplesPerSec, static_cast<std::uint32_t>(c.rate));
    EXPECT_EQ(f.nAvgBytesPerSec, c.bytesPerSecond);
    EXPECT_EQ(f.nBlockAlign, c.align);
    EXPECT_EQ(f.wBitsPerSample, c.bits);
    EXPECT_EQ(f.cbSize, 0);
}

class FormatRecordTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatRecordTest, AnnouncedToTheStreamAndWrittenToTheFile) {
    const FormatCase& c = GetParam();
    const std::string path = TempWavePath("format");
    CVarnel engine;
    Recorder rec;
    rec.Attach(engine);
    ASSERT_EQ(engine.set_SampleRate(c.rate), S_OK);
    ASSERT_EQ(engine.set_BitsPerSample(c.bits), S_OK);
    ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
    ASSERT_EQ(rec.formats.size(), 1u);
    ExpectRecord(rec.formats[0], c);

    ASSERT_EQ(engine.GenerateBegin(Utf8ToUtf16(path).c_str()), S_OK);
    EXPECT_EQ(rec.formats.size(), 1u);  // a file generation announces nothing
    ASSERT_EQ(engine.GenerateEnd(), S_OK);
    const auto wave = ReadWave(path);
    std::filesystem::remove(path);
    ASSERT_TRUE(wave);
    ExpectRecord(wave->format, c);
}

INSTANTIATE_TEST_SUITE_P(Cases, FormatRecordTest,
                         ::testing::Values(FormatCase{44100, 16, 88200, 2}, FormatCase{8000, 8, 8000, 1},
                                           FormatCase{11025, 16, 22050, 2}, FormatCase{1, 8, 1, 1}));

// A request takes the settings of the moment it is queued; the format stays that of GenerateBegin.
TEST(SettingsTest, ChangesDuringGenerationReachOnlyLaterRequests) {
    const std::string path = TempWavePath("midchange");
    for (const bool toFile : {false, true}) {
        SCOPED_TRACE(toFile ? "file" : "buffer stream");
        CVarnel engine;
        Recorder rec;
        rec.Attach(engine);
        std::int32_t id;
        ASSERT_EQ(engine.set_SampleRate(8000), S_OK);
        ASSERT_EQ(engine.GenerateBegin(toFile ? Utf8ToUtf16(path).c_str() : nullptr), S_OK);
        ASSERT_EQ(engine.GenerateSilence(100, &id), S_OK);  // 800 samples of 16 bits
        ASSERT_EQ(engine.set_SampleRate(16000), S_OK);
        ASSERT_EQ(engine.GenerateSilence(100, &id), S_OK);  // 1600 samples of 16 bits
        ASSERT_EQ(engine.set_BitsPerSample(8), S_OK);
        ASSERT_EQ(engine.GenerateSilence(100, &id), S_OK);  // 1600 samples of 8 bits

        std::vector<std::uint8_t> expected(1600 + 3200, 0x00);
        expected.resize(expected.size() + 1600, 0x80);
        const WAVEFORMATEX* format = rec.formats.empty() ? nullptr : &rec.formats[0];
        std::optional<WaveContents> wave;
        if (toFile) {
            ASSERT_EQ(engine.GenerateEnd(), S_OK);
            wave = ReadWave(path);
            ASSERT_TRUE(wave);
            format = &wave->format;
            EXPECT_EQ(wave->data, expected);
        } else {
            EXPECT_EQ(PullAll(engine, 8192), expected);
            EXPECT_EQ(rec.formats.size(), 1u);
        }
        ASSERT_TRUE(format);
        EXPECT_EQ(format->nSamplesPerSec, 8000u);
        EXPECT_EQ(format->wBitsPerSample, 16);
    }
    std::filesystem::remove(path);
}

}  // namespace
