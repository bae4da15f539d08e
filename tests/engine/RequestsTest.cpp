#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "support/EngineHarness.h"
#include "varnel/engine/ErrorTexts.h"

namespace {

using namespace varnel_test;
using Bytes = std::vector<std::uint8_t>;
using Call = std::function<HRESULT(CVarnel&, std::int32_t*)>;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct RefusalCase {
    const char* name;
    bool generating;
    std::function<void(CVarnel&)> tweak;  // settings changed just before the call
    Call call;
    HRESULT code;
    const char* text;  // nullptr: the stored text stays as it was
};

const auto kNone = [](CVarnel&) {};
const auto kRate = [](std::int32_t r) { return [r](CVarnel& e) { e.set_SampleRate(r); }; };

Call Dtmf(const char16_t* keys) {
    return [keys](CVarnel& e, std::int32_t* id) { return e.GenerateDTMFs(keys, id); };
}
Call Tone(std::uint32_t on, std::uint32_t off, float f1, float f2, float f3) {
    return [=](CVarnel& e, std::int32_t* id) { return e.GenerateTone(on, off, f1, f2, f3, id); };
}
Call Silence(float ms) {
    return [ms](CVarnel& e, std::int32_t* id) { return e.GenerateSilence(ms, id); };
}
Call Tones(const char16_t* text) {
    return [text](CVarnel& e, std::int32_t*) { return e.GenerateTones(text); };
}

Call CallerId(const char16_t* number, const char16_t* name, const char16_t* dateTime) {
    return [=](CVarnel& e, std::int32_t* id) { return e.GenerateCallerID(number, name, dateTime, id); };
}
Call Tty(const char16_t* text) {
    return [text](CVarnel& e, std::int32_t* id) { return e.GenerateTTY(text, id); };
}

class RefusalTest : public ::testing::TestWithParam<RefusalCase> {};

// A refused request leaves its code and text, queues nothing and keeps the next request ID.
TEST_P(RefusalTest, RefusesAndQueuesNothing) {
    const RefusalCase& c = GetParam();
    CVarnel engine;
    std::int32_t id = -77;
    ASSERT_EQ(engine.GenerateSilence(10, &id), E_FAIL);  // leaves a known text behind
    if (c.generating) {
        ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
        ASSERT_EQ(engine.GenerateSilence(10, &id), S_OK);
    }
    c.tweak(engine);
    id = -77;
    EXPECT_EQ(c.call(engine, &id), c.code);
    EXPECT_EQ(engine.GetErrMsg(), c.text ? c.text : ErrorText::kNotGenerating);
    EXPECT_EQ(id, -77);
    if (!c.generating) return;

    engine.set_SampleRate(11025);
    engine.set_DTMF_ToneTime(80);
    engine.set_DTMF_BreakTime(150);
    engine.set_DTMF_PauseTime(400);
    ASSERT_EQ(engine.GenerateSilence(10, &id), S_OK);
    EXPECT_EQ(id, 1);
    EXPECT_EQ(PullAll(engine, 8192), Bytes(440, 0));
    EXPECT_EQ(engine.GetErrMsg(), c.text ? c.text : ErrorText::kNotGenerating);  // success keeps it
}

const auto kCidFormat = [](std::int32_t v) { return [v](CVarnel& e) { e.set_CID_Format(v); }; };
const auto kExactAt = [](std::int32_t r) {
    return [r](CVarnel& e) {
        e.set_SampleRate(r);
        e.set_CID_BitTiming(CBT_Exact);
    };
};
const auto kTtyAt = [](std::int32_t rate, std::int32_t index) {
    return [=](CVarnel& e) {
        e.set_SampleRate(rate);
        e.set_TTY_Rate(index);
    };
};
const std::u16string kLongName(256, u'N');
const char16_t* const kName256 = kLongName.c_str();
const char16_t* const kName244 = kName256 + 12;
const auto kToneTime = [](std::int32_t v) { return [v](CVarnel& e) { e.set_DTMF_ToneTime(v); }; };
const auto kBreakTime = [](std::int32_t v) { return [v](CVarnel& e) { e.set_DTMF_BreakTime(v); }; };
const auto kPauseTime = [](std::int32_t v) { return [v](CVarnel& e) { e.set_DTMF_PauseTime(v); }; };
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

INSTANTIATE_TEST_SUITE_P(
    Catalogue, RefusalTest,
    ::testing::Values(
        // The generation state is checked before anything else.
        RefusalCase{"DtmfIdle", false, kNone, Dtmf(u"1"), E_FAIL, ErrorText::kNotGenerating},
        RefusalCase{"DtmfIdleEmpty", false, kNone, Dtmf(u""), E_FAIL, ErrorText::kNotGenerating},
        RefusalCase{"ToneIdle", false, kNone, Tone(100, 0, 440, 0, 0), E_FAIL, ErrorText::kNotGenerating},
        RefusalCase{"ToneIdleNegative", false, kNone, Tone(100, 0, -1, 0, 0), E_FAIL, ErrorText::kNotGenerating},
        RefusalCase{"SilenceIdle", false, kNone, Silence(10), E_FAIL, ErrorText::kNotGenerating},
        RefusalCase{"SilenceIdleNegative", false, kNone, Silence(-5), E_FAIL, ErrorText::kNotGenerating},
        RefusalCase{"CallerIdIdle", false, kNone, CallerId(u"", nullptr, nullptr), E_FAIL, ErrorText::kNotGenerating},
        RefusalCase{"TtyIdleEmpty", false, kNone, Tty(u""), E_FAIL, ErrorText::kNotGenerating},
        // Arguments.
        RefusalCase{"TtyEmpty", true, kNone, Tty(u""), E_INVALIDARG, ErrorText::kTextEmpty},
        RefusalCase{"TtyNull", true, kNone, Tty(nullptr), E_INVALIDARG, ErrorText::kTextEmpty},
        RefusalCase{"SdmfNoNumber", true, kCidFormat(CID_SDMF), CallerId(u"", nullptr, nullptr), E_INVALIDARG,
                    ErrorText::kCallerIdParameters},
        RefusalCase{"Sdmf41Digits", true, kCidFormat(CID_SDMF), CallerId(u"12345678901234567890123456789012345678901", nullptr, nullptr),
                    E_INVALIDARG, ErrorText::kCallerIdParameters},
        RefusalCase{"MdmfShortDate", true, kNone, CallerId(u"555", nullptr, u"1/2 3:04"), E_INVALIDARG,
                    ErrorText::kCallerIdParameters},
        RefusalCase{"MdmfBadSeparator", true, kNone, CallerId(u"555", nullptr, u"01-02 03:04"), E_INVALIDARG,
                    ErrorText::kCallerIdParameters},
        RefusalCase{"MdmfName256", true, kNone, CallerId(u"555", kName256, nullptr), E_INVALIDARG,
                    ErrorText::kCallerIdParameters},
        RefusalCase{"MdmfNumber256", true, kNone, CallerId(kName256, nullptr, nullptr), E_INVALIDARG,
                    ErrorText::kCallerIdParameters},
        RefusalCase{"MdmfParametersOver255", true, kNone, CallerId(u"5551234", kName244, nullptr), E_INVALIDARG,
                    ErrorText::kCallerIdParameters},
        RefusalCase{"CidFormatUnknown", true, kCidFormat(7), CallerId(u"555", nullptr, nullptr), E_INVALIDARG,
                    ErrorText::kCallerIdParameters},
        RefusalCase{"CidFormatNegative", true, kCidFormat(-1), CallerId(u"555", nullptr, nullptr), E_INVALIDARG,
                    ErrorText::kCallerIdParameters},
        RefusalCase{"CidRateWithoutWholeBits", true, kRate(599), CallerId(u"555", nullptr, nullptr), E_INVALIDARG,
                    ErrorText::kBitWithoutSamples},
        RefusalCase{"CidExactRateWithoutBits", true, kExactAt(1199), CallerId(u"555", nullptr, nullptr), E_INVALIDARG,
                    ErrorText::kBitWithoutSamples},
        RefusalCase{"TtyRateWithoutBits", true, kTtyAt(53, BR_110_Baud), Tty(u"A"), E_INVALIDARG,
                    ErrorText::kBitWithoutSamples},
        RefusalCase{"DtmfEmpty", true, kNone, Dtmf(u""), E_INVALIDARG, ErrorText::kInvalidParameters},
        RefusalCase{"DtmfNull", true, kNone, Dtmf(nullptr), E_INVALIDARG, ErrorText::kInvalidParameters},
        RefusalCase{"DtmfNegativeToneTime", true, kToneTime(-1), Dtmf(u"1"), E_INVALIDARG, ErrorText::kInvalidParameters},
        RefusalCase{"DtmfNegativeBreakTime", true, kBreakTime(-1), Dtmf(u"1"), E_INVALIDARG, ErrorText::kInvalidParameters},
        RefusalCase{"DtmfNegativePauseTime", true, kPauseTime(-400), Dtmf(u"1"), E_INVALIDARG, ErrorText::kInvalidParameters},
        RefusalCase{"ToneNegativeF1", true, kNone, Tone(100, 0, -1, 0, 0), E_INVALIDARG, ErrorText::kNegativeFrequency},
        RefusalCase{"ToneNegativeF2", true, kNone, Tone(100, 0, 440, -0.5f, 0), E_INVALIDARG, ErrorText::kNegativeFrequency},
        RefusalCase{"ToneNegativeF3", true, kNone, Tone(100, 0, 350, 440, -1), E_INVALIDARG, ErrorText::kNegativeFrequency},
        RefusalCase{"ToneNaNF1", true, kNone, Tone(100, 0, kNaN, 0, 0), E_INVALIDARG, ErrorText::kNegativeFrequency},
        RefusalCase{"ToneInfF2", true, kNone, Tone(100, 0, 350, kInf, 0), E_INVALIDARG, ErrorText::kNegativeFrequency},
        RefusalCase{"ToneMinusInfF1", true, kNone, Tone(100, 0, -kInf, 0, 0), E_INVALIDARG, ErrorText::kNegativeFrequency},
        RefusalCase{"SilenceZero", true, kNone, Silence(0), E_INVALIDARG, ErrorText::kDurationNotPositive},
        RefusalCase{"SilenceNegative", true, kNone, Silence(-5), E_INVALIDARG, ErrorText::kDurationNotPositive},
        RefusalCase{"SilenceNaN", true, kNone, Silence(kNaN), E_INVALIDARG, ErrorText::kDurationNotPositive},
        RefusalCase{"SilenceInf", true, kNone, Silence(kInf), E_INVALIDARG, ErrorText::kDurationNotPositive},
        RefusalCase{"TonesEmpty", true, kNone, Tones(u""), E_INVALIDARG, nullptr},
        RefusalCase{"TonesNull", true, kNone, Tones(nullptr), E_INVALIDARG, nullptr},
        // Durations whose byte count does not fit 32 bits.
        RefusalCase{"SilenceHuge", true, kNone, Silence(1e30f), E_INVALIDARG, ErrorText::kDurationRange},
        RefusalCase{"SilenceTooLongForRate", true, kNone, Silence(1e8f), E_INVALIDARG, ErrorText::kDurationRange},
        RefusalCase{"ToneOnTimeHuge", true, kNone, Tone(0xFFFFFFFFu, 0, 440, 0, 0), E_INVALIDARG, ErrorText::kDurationRange},
        RefusalCase{"ToneOffTimeHuge", true, kNone, Tone(100, 100000000, 440, 0, 0), E_INVALIDARG, ErrorText::kDurationRange},
        RefusalCase{"DtmfToneTimeHuge", true, kToneTime(kMax), Dtmf(u"1"), E_INVALIDARG, ErrorText::kDurationRange},
        RefusalCase{"DtmfPauseTimeHuge", true, kPauseTime(kMax), Dtmf(u"1,"), E_INVALIDARG, ErrorText::kDurationRange},
        RefusalCase{"TonesNegativeDuration", true, kNone, Tones(u"440@-5"), E_INVALIDARG, ErrorText::kDurationRange},
        RefusalCase{"TonesHuge", true, kNone, Tones(u"440@100000000"), E_INVALIDARG, ErrorText::kDurationRange},
        RefusalCase{"TonesLastStepBad", true, kNone, Tones(u"350@100,0@50,440@99999999999"), E_INVALIDARG,
                    ErrorText::kDurationRange}),
    [](const auto& info) { return std::string(info.param.name); });

// Every format is limited by the same bytes of output: G.711 renders as long as 8-bit PCM
// (one byte a sample), 16-bit PCM half as long; beyond 2147483647 bytes the request is refused.
TEST(RequestLengths, EveryFormatIsLimitedByTheSameBytesOfOutput) {
    const struct {
        const char* what;
        Call call;
    } requests[] = {{"silence", Silence(4194304.0f)},
                    {"tone pause", Tone(1, 4194304, 440, 0, 0)},
                    {"DTMF pause", [](CVarnel& e, std::int32_t* id) {
                         e.set_DTMF_PauseTime(4194304);
                         return e.GenerateDTMFs(u",", id);
                     }},
                    {"too long", Silence(8388608.0f)}};
    for (const auto& r : requests) {
        std::vector<std::int64_t> queued;  // 8-bit, mu-law, A-law, 16-bit: the bytes, or -1 when refused
        for (const auto& [bits, encoding] : {std::pair{8, ENC_PCM}, {16, ENC_MuLaw}, {16, ENC_ALaw}, {16, ENC_PCM}}) {
            CVarnel engine;
            engine.set_SampleRate(256000);
            engine.set_BitsPerSample(bits);
            engine.set_Encoding(encoding);
            engine.GenerateBegin(nullptr);
            const HRESULT hr = r.call(engine, nullptr);
            queued.push_back(SUCCEEDED(hr) ? engine.QueuedBytes() : -1);
            if (FAILED(hr)) {
                EXPECT_EQ(engine.GetErrMsg(), ErrorText::kDurationRange) << r.what;
            }
        }
        const std::int64_t bytes = std::string(r.what) == "too long" ? -1 : queued[0];
        EXPECT_TRUE(bytes == -1 || bytes >= 1073741824) << r.what << " " << bytes;
        EXPECT_EQ(queued, (std::vector<std::int64_t>{bytes, bytes, bytes, -1})) << r.what;
    }
}

// One request alone, in a fresh buffer-stream generation at the default settings.
Bytes Render(const Call& call) {
    CVarnel engine;
    std::int32_t id = -1;
    EXPECT_EQ(engine.GenerateBegin(nullptr), S_OK);
    EXPECT_EQ(call(engine, &id), S_OK);
    return PullAll(engine, 8192);
}

std::int16_t Sample16(const Bytes& pcm, std::size_t n) {
    return static_cast<std::int16_t>(pcm[2 * n] | (pcm[2 * n + 1] << 8));
}

struct ToneCase {
    std::uint32_t on, off;
    float f1, f2, f3;
    std::size_t toneBytes, pauseBytes;
};

class ToneTest : public ::testing::TestWithParam<ToneCase> {};

// At 11025 Hz, 16 bits and -6 dB: the mean of the sines at the linear level, then silence.
TEST_P(ToneTest, RendersTheBurstThenTheSilence) {
    const ToneCase& c = GetParam();
    const Bytes pcm = Render(Tone(c.on, c.off, c.f1, c.f2, c.f3));
    ASSERT_EQ(pcm.size(), c.toneBytes + c.pauseBytes);
    std::vector<double> freqs;
    for (const float f : {c.f1, c.f2, c.f3}) {
        if (f != 0.0f) freqs.push_back(f);
    }
    const double level = std::pow(10.0, -6.0 / 20.0);
    for (std::size_t n = 0; n < c.toneBytes / 2; ++n) {
        double sum = 0;
        for (const double f : freqs) sum += std::sin(2 * std::numbers::pi * f * static_cast<double>(n) / 11025.0);
        const double expected = freqs.empty() ? 0.0 : level * sum / static_cast<double>(freqs.size()) * 32767.0;
        ASSERT_NEAR(Sample16(pcm, n), expected, 2.0) << "sample " << n;
    }
    EXPECT_EQ(Bytes(pcm.begin() + static_cast<std::ptrdiff_t>(c.toneBytes), pcm.end()), Bytes(c.pauseBytes, 0));
}

INSTANTIATE_TEST_SUITE_P(Cases, ToneTest,
                         ::testing::Values(ToneCase{1000, 0, 440, 0, 0, 22050, 0},
                                           ToneCase{500, 500, 350, 440, 0, 11026, 11026},  // rounded up to whole samples
                                           ToneCase{50, 0, 350, 440, 480, 1102, 0},
                                           ToneCase{20, 20, 0, 0, 1000, 442, 442},
                                           ToneCase{100, 100, 0, 0, 0, 2206, 2206}));

TEST(RequestsTest, AcceptedEdgeValues) {
    EXPECT_EQ(Render(Silence(0.5f)), Bytes(10, 0));  // 5 whole samples
    EXPECT_EQ(Render(Silence(1e-6f)), Bytes());  // no whole sample at all
    EXPECT_EQ(Render(Dtmf(u"xyz?\u00E9")), Bytes());  // nothing it knows: no audio
    EXPECT_EQ(Render(Dtmf(u"a")), Render(Dtmf(u"A")));  // letters in either case
    EXPECT_EQ(Render(Dtmf(u"1")).size(), 1764u + 3306u);  // 80 ms tone, 150 ms break
    EXPECT_EQ(Render(Dtmf(u",")), Bytes(8820, 0));  // 400 ms pause
}

// The three DTMF times are taken when the request is queued.
TEST(RequestsTest, DtmfTimesAreReadWhenQueued) {
    CVarnel engine;
    engine.set_SampleRate(8000);
    engine.set_BitsPerSample(8);
    engine.set_DTMF_ToneTime(50);
    engine.set_DTMF_BreakTime(30);
    engine.set_DTMF_PauseTime(100);
    std::int32_t id;
    ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
    ASSERT_EQ(engine.GenerateDTMFs(u"1,2", &id), S_OK);  // 400 + 240, 800, 400 + 240
    engine.set_DTMF_ToneTime(10);
    engine.set_DTMF_BreakTime(10);
    ASSERT_EQ(engine.GenerateDTMFs(u"3", &id), S_OK);  // 80 + 80
    const Bytes pcm = PullAll(engine, 8192);
    ASSERT_EQ(pcm.size(), 640u + 800u + 640u + 160u);
    EXPECT_EQ(Bytes(pcm.begin() + 400, pcm.begin() + 1440), Bytes(1040, 0x80));
    EXPECT_EQ(Bytes(pcm.begin() + 2160, pcm.end()), Bytes(80, 0x80));
}

TEST(RequestsTest, EveryKeyOfAVeryLongStringIsRendered) {
    const auto setUp = [](CVarnel& engine) {
        engine.set_SampleRate(8000);
        engine.set_BitsPerSample(8);
        engine.set_DTMF_ToneTime(10);
        engine.set_DTMF_BreakTime(10);
        EXPECT_EQ(engine.GenerateBegin(nullptr), S_OK);
    };
    const std::u16string pad = u"0123456789ABCD*#";
    std::u16string keys;
    while (keys.size() < 5000) keys += pad;
    keys.resize(5000);

    CVarnel engine;
    setUp(engine);
    std::int32_t id;
    ASSERT_EQ(engine.GenerateDTMFs(keys.c_str(), &id), S_OK);
    const Bytes pcm = PullAll(engine, 8192);
    ASSERT_EQ(pcm.size(), 5000u * 160u);
    for (const std::size_t k : {std::size_t{0}, std::size_t{2047}, std::size_t{2048}, std::size_t{4999}}) {
        CVarnel single;
        setUp(single);
        ASSERT_EQ(single.GenerateDTMFs(keys.substr(k, 1).c_str(), &id), S_OK);
        EXPECT_EQ(Bytes(pcm.begin() + static_cast<std::ptrdiff_t>(k * 160), pcm.begin() + static_cast<std::ptrdiff_t>(k * 160 + 160)),
                  PullAll(single, 8192))
            << "key " << k;
    }
}

struct StepsCase {
    const char* name;
    const char16_t* text;
    std::vector<ToneCase> equivalent;  // the GenerateTone calls that queue the same audio
};

class TonesTest : public ::testing::TestWithParam<StepsCase> {};

TEST_P(TonesTest, QueuesOneToneRequestPerStep) {
    const StepsCase& c = GetParam();
    CVarnel engine;
    Recorder rec;
    rec.Attach(engine);
    ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
    ASSERT_EQ(engine.GenerateTones(c.text), S_OK);
    const Bytes pcm = PullAll(engine, 8192);
    std::vector<std::int32_t> ids;
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(c.equivalent.size()); ++i) ids.push_back(i);
    EXPECT_EQ(rec.done, ids);
    std::int32_t id = -1;
    ASSERT_EQ(engine.GenerateSilence(1, &id), S_OK);
    EXPECT_EQ(id, static_cast<std::int32_t>(ids.size()));

    CVarnel reference;
    ASSERT_EQ(reference.GenerateBegin(nullptr), S_OK);
    std::size_t bytes = 0;
    for (const ToneCase& t : c.equivalent) {
        ASSERT_EQ(reference.GenerateTone(t.on, t.off, t.f1, t.f2, t.f3, &id), S_OK);
        bytes += t.toneBytes + t.pauseBytes;
    }
    EXPECT_EQ(pcm.size(), bytes);
    EXPECT_EQ(pcm, PullAll(reference, 8192));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TonesTest,
    ::testing::Values(
        StepsCase{"DualThenPause", u"350|440@1000,0@500", {{1000, 0, 350, 440, 0, 22050, 0}, {0, 500, 0, 0, 0, 0, 11026}}},
        StepsCase{"NoAtIsHalfSecondPause", u"440", {{0, 500, 0, 0, 0, 0, 11026}}},
        StepsCase{"NoFrequencyIsPause", u"@250", {{0, 250, 0, 0, 0, 0, 5512}}},
        StepsCase{"OnlyCommas", u",,,", {}},
        StepsCase{"RunsOfSeparators", u",440@100,,,0|0@50,", {{100, 0, 440, 0, 0, 2206, 0}, {0, 50, 0, 0, 0, 0, 1102}}},
        StepsCase{"RunsOfBars", u"|350||440|@20", {{20, 0, 350, 440, 0, 442, 0}}},
        StepsCase{"NumbersReadLikeStrtol", u" +440Hz@ 100ms", {{100, 0, 440, 0, 0, 2206, 0}}},
        StepsCase{"NoDigitsIsZero", u"abc@100", {{0, 100, 0, 0, 0, 0, 2206}}},
        StepsCase{"ThreeTones", u"350|440|480@60", {{60, 0, 350, 440, 480, 1324, 0}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Pause lengths past 2^31 bytes from the start of a key are counted in 64 bits.
TEST(DtmfRequest, LongTonesAndPausesCountPast32Bits) {
    CVarnel engine;
    ASSERT_EQ(engine.set_SampleRate(96000), S_OK);
    ASSERT_EQ(engine.set_DTMF_ToneTime(11184810), S_OK);
    ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
    ASSERT_EQ(engine.GenerateDTMFs(u",", nullptr), S_OK);
    std::vector<std::uint8_t> block(1000);
    for (int pull = 0; pull < 2; ++pull) {
        ASSERT_EQ(engine.ExecRequest(block.data(), 1000), 1000);
        EXPECT_EQ(std::count(block.begin(), block.end(), 0), 1000);
    }
}

}  // namespace
