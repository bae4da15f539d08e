#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <climits>
#include <limits>
#include <optional>
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
        {&CVarnel::get_TTY_Mode, 0},         {&CVarnel::get_CID_Format, 1},         {&CVarnel::get_CID_BitTiming, 0},
        {&CVarnel::get_TTY_FigsAfterSpace, 0}, {&CVarnel::get_Encoding, ENC_PCM}, {&CVarnel::get_TONE_ModulationDepth, 90}};
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

// The catalog names every setting once, with the tool's option, and its rows reach the
// engine's own accessors: a new engine reports each row's default.
TEST(SettingsTest, CatalogRowsNameTheSettingsAndTheirDefaults) {
    const std::vector<std::pair<std::string_view, std::string_view>> names = {
        {"SampleRate", "rate"},          {"BitsPerSample", "bits"},         {"Encoding", "encoding"},
        {"Amplitude", "amplitude"},      {"DTMF_ToneTime", "dtmf-tone"},    {"DTMF_BreakTime", "dtmf-break"},
        {"DTMF_PauseTime", "dtmf-pause"}, {"TTY_Mode", "tty-mode"},          {"TTY_Rate", "tty-rate"},
        {"CID_Format", "cid-format"},    {"CID_BitTiming", "cid-timing"},   {"TTY_FigsAfterSpace", "tty-figs-after-space"},
        {"CID_Standard", "cid-standard"}, {"CID_Alert", "cid-alert"},
        {"DTMF_Twist", "dtmf-twist"},    {"TONE_ModulationDepth", "tone-modulation-depth"},
        {"TONE_LevelPerTone", "level-per-tone"}};
    const auto all = SettingsCatalog::All();
    ASSERT_EQ(all.size(), names.size());
    CVarnel engine;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const SettingSpec& row = *all[i];
        SCOPED_TRACE(std::string(row.name));
        EXPECT_EQ(row.name, names[i].first);
        EXPECT_EQ(row.option, names[i].second);
        EXPECT_EQ(SettingsCatalog::ByOption(row.option), &row);
        if (row.kind == SettingKind::Number) {
            float value = 1;
            ASSERT_TRUE(row.getNumber);
            EXPECT_EQ((engine.*row.getNumber)(&value), S_OK);
            EXPECT_EQ(value, row.defaultValue.number);
        } else {
            ASSERT_TRUE(row.getInteger);
            EXPECT_EQ(Get(engine, row.getInteger), row.defaultValue.integer);
        }
        EXPECT_EQ(SettingsCatalog::Apply(engine, row, row.defaultValue), S_OK);
        EXPECT_EQ(row.format, row.option == "rate" || row.option == "bits" || row.option == "encoding");
    }
    EXPECT_EQ(SettingsCatalog::ByOption("volume"), nullptr);
    EXPECT_EQ(SettingsCatalog::Apply(engine, SettingSpec{}, SettingValue{}), E_INVALIDARG);  // a row without a setter
}

// Apply passes the value of the row's kind.
TEST(SettingsTest, CatalogApplySetsThroughTheRow) {
    CVarnel engine;
    EXPECT_EQ(SettingsCatalog::Apply(engine, SettingsCatalog::kEncoding, {.integer = ENC_ALaw}), S_OK);
    EXPECT_EQ(Get(engine, &CVarnel::get_Encoding), ENC_ALaw);
    EXPECT_EQ(SettingsCatalog::Apply(engine, SettingsCatalog::kAmplitude, {.integer = 7, .number = -12.5f}), S_OK);
    float amplitude = 0;
    engine.get_Amplitude(&amplitude);
    EXPECT_EQ(amplitude, -12.5f);
    EXPECT_EQ(SettingsCatalog::Apply(engine, SettingsCatalog::kSampleRate, {.integer = 0}), E_INVALIDARG);
    EXPECT_EQ(engine.GetErrMsg(), ErrorText::kSampleRate);
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

TEST_P(IntSettingTest, StoresOrRefusesKeepingTheErrorText) {
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
        IntSetting{"RateLowest", &CVarnel::set_SampleRate, &CVarnel::get_SampleRate, 1, S_OK, 1},
        IntSetting{"RateHighest", &CVarnel::set_SampleRate, &CVarnel::get_SampleRate, 16777216, S_OK, 16777216},
        IntSetting{"EncodingMuLaw", &CVarnel::set_Encoding, &CVarnel::get_Encoding, ENC_MuLaw, S_OK, ENC_MuLaw},
        IntSetting{"EncodingALaw", &CVarnel::set_Encoding, &CVarnel::get_Encoding, ENC_ALaw, S_OK, ENC_ALaw},
        IntSetting{"CidTiming2", &CVarnel::set_CID_BitTiming, &CVarnel::get_CID_BitTiming, 2, E_INVALIDARG, 0},
        IntSetting{"FigsAfterSpace1", &CVarnel::set_TTY_FigsAfterSpace, &CVarnel::get_TTY_FigsAfterSpace, 1, S_OK, 1},
        IntSetting{"FigsAfterSpace2", &CVarnel::set_TTY_FigsAfterSpace, &CVarnel::get_TTY_FigsAfterSpace, 2, E_INVALIDARG, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct TextRefusal {
    const char* name;
    Setter set;
    Getter get;
    std::int32_t value;
    const char* text;
};

class RefusedWithTextTest : public ::testing::TestWithParam<TextRefusal> {};

// Sample rates a float cannot hold exactly, or that no signal can use, and unknown encodings are
// refused with a text that says what is accepted.
TEST_P(RefusedWithTextTest, KeepsTheValueAndStoresTheText) {
    const TextRefusal& c = GetParam();
    CVarnel engine;
    SeedErrorText(engine);
    const std::int32_t before = Get(engine, c.get);
    EXPECT_EQ((engine.*c.set)(c.value), E_INVALIDARG);
    EXPECT_EQ(Get(engine, c.get), before);
    EXPECT_EQ(engine.GetErrMsg(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedWithTextTest,
    ::testing::Values(
        TextRefusal{"Rate0", &CVarnel::set_SampleRate, &CVarnel::get_SampleRate, 0, ErrorText::kSampleRate},
        TextRefusal{"RateNegative", &CVarnel::set_SampleRate, &CVarnel::get_SampleRate, -8000, ErrorText::kSampleRate},
        TextRefusal{"RateLowest32Bit", &CVarnel::set_SampleRate, &CVarnel::get_SampleRate, INT32_MIN, ErrorText::kSampleRate},
        TextRefusal{"RateNotAFloat", &CVarnel::set_SampleRate, &CVarnel::get_SampleRate, 16777217, ErrorText::kSampleRate},
        TextRefusal{"RateLargest", &CVarnel::set_SampleRate, &CVarnel::get_SampleRate, 2147483647, ErrorText::kSampleRate},
        TextRefusal{"Encoding3", &CVarnel::set_Encoding, &CVarnel::get_Encoding, 3, ErrorText::kEncoding},
        TextRefusal{"EncodingNegative", &CVarnel::set_Encoding, &CVarnel::get_Encoding, -1, ErrorText::kEncoding},
        TextRefusal{"Depth101", &CVarnel::set_TONE_ModulationDepth, &CVarnel::get_TONE_ModulationDepth, 101,
                    ErrorText::kModulationDepth}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SettingsTest, RefusalTextsSayWhatIsAccepted) {
    EXPECT_STREQ(ErrorText::kSampleRate, "Sample rate out of range: it must be from 1 to 16777216 Hz.");
    EXPECT_STREQ(ErrorText::kEncoding, "Encoding out of range: it must be ENC_PCM (0), ENC_MuLaw (1) or ENC_ALaw (2).");
    EXPECT_STREQ(ErrorText::kFormatFixed, "The format cannot change during a file generation: call GenerateEnd first.");
}

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
    std::int32_t rate, bits, encoding;
    std::uint16_t tag, writtenBits;
    std::uint32_t bytesPerSecond;
    std::uint16_t align;
};

void ExpectRecord(const WAVEFORMATEX& f, const FormatCase& c) {
    EXPECT_EQ(f.wFormatTag, c.tag);
    EXPECT_EQ(f.nChannels, 1);
    EXPECT_EQ(f.nSamplesPerSec, static_cast<std::uint32_t>(c.rate));
    EXPECT_EQ(f.nAvgBytesPerSec, c.bytesPerSecond);
    EXPECT_EQ(f.nBlockAlign, c.align);
    EXPECT_EQ(f.wBitsPerSample, c.writtenBits);
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
    ASSERT_EQ(engine.set_Encoding(c.encoding), S_OK);
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
    EXPECT_EQ(wave->factSamples, c.tag == 1 ? std::nullopt : std::optional<std::uint32_t>(0));
}

// G.711 writes one byte a sample whatever BitsPerSample says.
INSTANTIATE_TEST_SUITE_P(Cases, FormatRecordTest,
                         ::testing::Values(FormatCase{44100, 16, ENC_PCM, 1, 16, 88200, 2},
                                           FormatCase{8000, 8, ENC_PCM, 1, 8, 8000, 1},
                                           FormatCase{11025, 16, ENC_PCM, 1, 16, 22050, 2},
                                           FormatCase{1, 8, ENC_PCM, 1, 8, 1, 1},
                                           FormatCase{8000, 16, ENC_MuLaw, 7, 8, 8000, 1},
                                           FormatCase{8000, 8, ENC_ALaw, 6, 8, 8000, 1},
                                           FormatCase{16777216, 16, ENC_ALaw, 6, 8, 16777216, 1}));

// In a buffer stream a request takes the settings of the moment it is queued; the announced
// format stays that of GenerateBegin.
TEST(SettingsTest, BufferStreamChangesReachOnlyLaterRequests) {
    CVarnel engine;
    Recorder rec;
    rec.Attach(engine);
    std::int32_t id;
    ASSERT_EQ(engine.set_SampleRate(8000), S_OK);
    ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
    ASSERT_EQ(engine.GenerateSilence(100, &id), S_OK);  // 800 samples of 16 bits
    ASSERT_EQ(engine.set_SampleRate(16000), S_OK);
    ASSERT_EQ(engine.GenerateSilence(100, &id), S_OK);  // 1600 samples of 16 bits
    ASSERT_EQ(engine.set_BitsPerSample(8), S_OK);
    ASSERT_EQ(engine.GenerateSilence(100, &id), S_OK);  // 1600 samples of 8 bits
    ASSERT_EQ(engine.set_Encoding(ENC_MuLaw), S_OK);

    std::vector<std::uint8_t> expected(1600 + 3200 + 1600, 0x00);
    std::fill(expected.begin() + 1600 + 3200, expected.end(), std::uint8_t{0x80});
    EXPECT_EQ(PullAll(engine, 8192), expected);
    ASSERT_EQ(rec.formats.size(), 1u);
    EXPECT_EQ(rec.formats[0].nSamplesPerSec, 8000u);
    EXPECT_EQ(rec.formats[0].wBitsPerSample, 16);
    EXPECT_EQ(rec.formats[0].wFormatTag, 1);
}

// The header of an open WAV file already states the format: rate, bits and encoding are
// refused until GenerateEnd, even from a completion handler while the file renders. The other
// settings still change between requests.
TEST(SettingsTest, FormatIsFixedWhileAFileGenerationIsOpen) {
    const std::string path = TempWavePath("fixed");
    CVarnel engine;
    std::vector<HRESULT> fromHandler;
    engine.SetCallBack([&](void*, std::int32_t msg, std::uint64_t, std::int64_t) {
        if (msg == MSG_REQUEST_DONE) fromHandler.push_back(engine.set_BitsPerSample(8));
        return 0;
    });
    ASSERT_EQ(engine.set_SampleRate(8000), S_OK);
    ASSERT_EQ(engine.GenerateBegin(Utf8ToUtf16(path).c_str()), S_OK);
    struct Change {
        Setter set;
        Getter get;
        std::int32_t value, kept;
    };
    const Change changes[] = {{&CVarnel::set_SampleRate, &CVarnel::get_SampleRate, 16000, 8000},
                              {&CVarnel::set_SampleRate, &CVarnel::get_SampleRate, 8000, 8000},
                              {&CVarnel::set_SampleRate, &CVarnel::get_SampleRate, 0, 8000},
                              {&CVarnel::set_BitsPerSample, &CVarnel::get_BitsPerSample, 8, 16},
                              {&CVarnel::set_Encoding, &CVarnel::get_Encoding, ENC_ALaw, ENC_PCM}};
    std::int32_t id;
    for (const Change& c : changes) {
        ASSERT_EQ(engine.GenerateSilence(-1, &id), E_INVALIDARG);  // leaves another text
        EXPECT_EQ((engine.*c.set)(c.value), E_FAIL) << c.value;
        EXPECT_EQ(engine.GetErrMsg(), ErrorText::kFormatFixed);
        EXPECT_EQ(Get(engine, c.get), c.kept);
    }
    ASSERT_EQ(engine.GenerateSilence(10, &id), S_OK);
    EXPECT_EQ(engine.set_Amplitude(-20.0f), S_OK);
    EXPECT_EQ(engine.set_DTMF_ToneTime(40), S_OK);
    ASSERT_EQ(engine.GenerateEnd(), S_OK);
    EXPECT_EQ(fromHandler, std::vector<HRESULT>{E_FAIL});

    const auto wave = ReadWave(path);
    std::filesystem::remove(path);
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->format.nSamplesPerSec, 8000u);
    EXPECT_EQ(wave->data, std::vector<std::uint8_t>(160, 0));
    EXPECT_EQ(engine.set_BitsPerSample(8), S_OK);  // ended: free again
    EXPECT_EQ(engine.set_Encoding(ENC_MuLaw), S_OK);
}

}  // namespace
