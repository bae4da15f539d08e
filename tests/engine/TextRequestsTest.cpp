#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/EngineHarness.h"
#include "varnel/engine/ErrorTexts.h"
#include "varnel/generators/CEncBaudotCode.h"

namespace {

using namespace varnel_test;
using Bytes = std::vector<std::uint8_t>;

// The PCM of a single TTY text rendered alone by a fresh encoder from the given shift state.
Bytes EncoderAlone(const char* text, std::int32_t shift, std::int32_t mode = 0) {
    CEncBaudotCode encoder;
    encoder.SetShiftState(shift);
    encoder.Init(1, 11025.0f, 0.501187f);
    encoder.SetBaudRate(0);
    encoder.SetText(text, mode);
    Bytes out(1 << 20);
    std::size_t used = 0;
    for (int n; (n = encoder.Read(out.data() + used, 8192)) > 0;) used += static_cast<std::size_t>(n);
    out.resize(used);
    return out;
}

struct TtyEngine : ::testing::Test {
    void SetUp() override {
        recorder.Attach(engine);
        ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
    }
    CVarnel engine;
    Recorder recorder;
    std::int32_t id = -1;
};

TEST_F(TtyEngine, ShiftStateCarriesFromOneRequestToTheNext) {
    ASSERT_EQ(engine.GenerateTTY(u"AB", &id), S_OK);
    ASSERT_EQ(engine.GenerateTTY(u"CD", &id), S_OK);
    EXPECT_EQ(id, 1);
    Bytes expected = EncoderAlone("AB", -1);
    const Bytes second = EncoderAlone("CD", 1);  // letters already: no shift frame
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(PullAll(engine, 8192), expected);
}

TEST_F(TtyEngine, GenerateBeginForgetsTheShiftState) {
    ASSERT_EQ(engine.GenerateTTY(u"AB", &id), S_OK);
    ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
    ASSERT_EQ(engine.GenerateTTY(u"CD", &id), S_OK);
    EXPECT_EQ(PullAll(engine, 8192), EncoderAlone("CD", -1));
}

TEST_F(TtyEngine, RefusedRequestKeepsTheShiftState) {
    ASSERT_EQ(engine.GenerateTTY(u"12", &id), S_OK);  // figures
    ASSERT_EQ(engine.GenerateTTY(u"", &id), E_INVALIDARG);
    ASSERT_EQ(engine.GenerateTTY(u"3", &id), S_OK);
    EXPECT_EQ(id, 1);
    Bytes expected = EncoderAlone("12", -1);
    const Bytes second = EncoderAlone("3", 0);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(PullAll(engine, 8192), expected);
}

TEST_F(TtyEngine, BinaryTextStopsAtTheFirstZeroByte) {
    const char bytes[] = {'H', '\0', 'I'};
    EXPECT_EQ(engine.GenerateTTY2(bytes, 3), 0);
    const char unterminated[] = {'H', 'I'};
    EXPECT_EQ(engine.GenerateTTY2(unterminated, 1), 1);  // the length bounds data without a zero
    Bytes expected = EncoderAlone("H", -1);
    const Bytes second = EncoderAlone("H", 1);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(PullAll(engine, 8192), expected);
}

TEST(TtyRequest, BinaryTextQueuesWithoutAGenerationAndSaysItWillBeDiscarded) {
    CVarnel idle;
    Recorder recorder;
    recorder.Attach(idle);
    EXPECT_EQ(idle.GenerateTTY2("A", 1), 0);
    EXPECT_EQ(recorder.LastMessage(),
              "Added request to generation queue, type: TTY ( 45.45 baud, Baudot Mode ), request ID:0 (no generation "
              "is running: the next GenerateBegin discards it)");
    EXPECT_EQ(idle.ExecRequest(nullptr, 0), -1);
}

TEST_F(TtyEngine, LogLabelsNameRateAndMode) {
    struct Case { std::int32_t rate, mode; const char* label; };
    const Case cases[] = {
        {0, 0, "TTY ( 45.45 baud, Baudot Mode )"}, {1, 1, "TTY ( 50.00 baud, ASCII-7 Mode )"},
        {2, 2, "TTY ( 56.92 baud, ASCII-8 Mode )"}, {3, 3, "TTY ( 74.20 baud, Baudot Mode 3 )"},
        {4, 4, "TTY ( 100.0 baud, Baudot Mode 4 )"}, {5, 0, "TTY ( 110.0 baud, Baudot Mode )"},
        {7, 0, "TTY ( 45.45 baud, Baudot Mode )"},  // an unknown rate renders at 45.45 baud
    };
    for (const Case& c : cases) {
        ASSERT_EQ(engine.set_TTY_Rate(c.rate), S_OK);
        ASSERT_EQ(engine.set_TTY_Mode(c.mode), S_OK);
        ASSERT_EQ(engine.GenerateTTY(u"A", &id), S_OK);
        EXPECT_EQ(recorder.LastMessage(),
                  "Added request to generation queue, type: " + std::string(c.label) + ", request ID:" + std::to_string(id));
    }
}

TEST_F(TtyEngine, UnknownRateRendersAt45Baud) {
    engine.set_TTY_Rate(7);
    ASSERT_EQ(engine.GenerateTTY(u"A", &id), S_OK);
    EXPECT_EQ(PullAll(engine, 8192), EncoderAlone("A", -1));
}

TEST(TextSettings, RefuseValuesOutsideTheirRange) {
    CVarnel engine;
    std::int32_t value = -1;
    EXPECT_EQ(engine.get_CID_BitTiming(&value), S_OK);
    EXPECT_EQ(value, CBT_WholeSamples);
    EXPECT_EQ(engine.get_TTY_FigsAfterSpace(&value), S_OK);
    EXPECT_EQ(value, 0);
    for (const std::int32_t bad : {-1, 2, 255}) {
        EXPECT_EQ(engine.set_CID_BitTiming(bad), E_INVALIDARG);
        EXPECT_EQ(engine.set_TTY_FigsAfterSpace(bad), E_INVALIDARG);
    }
    EXPECT_EQ(engine.set_CID_BitTiming(CBT_Exact), S_OK);
    EXPECT_EQ(engine.set_TTY_FigsAfterSpace(1), S_OK);
    engine.get_CID_BitTiming(&value);
    EXPECT_EQ(value, CBT_Exact);
    engine.get_TTY_FigsAfterSpace(&value);
    EXPECT_EQ(value, 1);
}

TEST(CallerIdRequest, LayoutsAndSharedRequestIds) {
    CVarnel engine;
    Recorder recorder;
    recorder.Attach(engine);
    ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
    std::int32_t id = -1;
    ASSERT_EQ(engine.GenerateDTMFs(u"1", &id), S_OK);
    for (const std::int32_t format : {CID_SDMF, CID_MDMF, CID_RAW}) {
        engine.set_CID_Format(format);
        ASSERT_EQ(engine.GenerateCallerID(u"5551234", u"ABC", u"01/02 03:04", &id), S_OK);
        EXPECT_EQ(recorder.LastMessage(),
                  "Added request to generation queue, type: Caller-ID, request ID:" + std::to_string(id));
    }
    EXPECT_EQ(id, 3);
    ASSERT_EQ(engine.set_CID_Format(CID_MDMF), S_OK);
    const std::u16string name234(234, u'N');  // 10 + 9 + 236 = 255 bytes of parameters
    EXPECT_EQ(engine.GenerateCallerID(u"5551234", name234.c_str(), nullptr, &id), S_OK);
    EXPECT_EQ(engine.GenerateCallerID(u"", u"", u"", &id), S_OK);  // date and time only
    engine.set_CID_Format(CID_RAW);
    EXPECT_EQ(engine.GenerateCallerID(u"raw", nullptr, u"malformed", &id), S_OK);
    EXPECT_EQ(id, 6);
    EXPECT_GT(PullAll(engine, 8192).size(), 0u);
    EXPECT_EQ(recorder.done.size(), 7u);
}

}  // namespace
