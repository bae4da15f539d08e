#include <gtest/gtest.h>

#include <cstdarg>
#include <filesystem>
#include <string>
#include <vector>

#include "support/EngineHarness.h"
#include "support/WaveFiles.h"
#include "varnel/engine/DebugLog.h"
#include "varnel/platform/LocalTime.h"

namespace {

using namespace varnel_test;

LocalTime AfternoonClock() { return LocalTime{14, 3, 9, 5, 6, 1}; }

std::string Format(const LocalTime& time, const char* format, ...) {
    char line[kDebugLineSize];
    std::va_list args;
    va_start(args, format);
    const std::size_t length = FormatDebugLine(line, time, format, args);
    va_end(args);
    EXPECT_EQ(length, std::string(line).size());
    return std::string(line);
}

class DebugLogTest : public ::testing::Test {
protected:
    void SetUp() override { SetLocalTimeSource(&AfternoonClock); }
    void TearDown() override {
        SetLocalTimeSource(nullptr);
        std::filesystem::remove(path);
    }
    std::string path = TempWavePath("log");
};

TEST_F(DebugLogTest, StampPadsSecondsAndMillisecondsWithSpaces) {
    EXPECT_EQ(Format(LocalTime{9, 5, 7, 42, 1, 1}, "x%d", 3), "9:5: 7. 42--\tx3");
    EXPECT_EQ(Format(LocalTime{23, 59, 59, 999, 1, 1}, "%s", "m"), "23:59:59.999--\tm");
    EXPECT_EQ(Format(LocalTime{0, 0, 0, 0, 1, 1}, ""), "0:0: 0.  0--\t");
}

TEST_F(DebugLogTest, LongMessageIsCutToFitTheLine) {
    const std::string message(3000, 'm');
    const std::string line = Format(LocalTime{9, 5, 7, 42, 1, 1}, "%s", message.c_str());
    ASSERT_EQ(line.size(), 2047u);
    EXPECT_EQ(line, "9:5: 7. 42--\t" + message.substr(0, 2047 - 13));
}

TEST_F(DebugLogTest, BufferStreamSessionNarratesEveryStep) {
    CVarnel engine;
    Recorder rec;
    rec.Attach(engine);
    EXPECT_EQ(engine.GenerateEnd(), S_OK);  // idle: says nothing
    EXPECT_TRUE(rec.lines.empty());

    std::int32_t id = -1;
    ASSERT_EQ(engine.GenerateBegin(u""), S_OK);
    ASSERT_EQ(engine.GenerateDTMFs(u"1", &id), S_OK);
    ASSERT_EQ(engine.GenerateTone(10, 0, 440, 0, 0, &id), S_OK);
    ASSERT_EQ(engine.GenerateSilence(10, &id), S_OK);
    PullAll(engine, 8192);
    ASSERT_EQ(engine.GenerateSilence(10, &id), S_OK);
    ASSERT_EQ(engine.GenerateEnd(), S_OK);

    std::vector<std::string> expected = {
        "Generation begin, (To buffer stream).",
        "Added request to generation queue, type: DTMF, request ID:0",
        "Added request to generation queue, type: Custom Tone, request ID:1",
        "Added request to generation queue, type: Silence, request ID:2",
        "Request completed, requestID:0",
        "Request completed, requestID:1",
        "Request completed, requestID:2",
        "Added request to generation queue, type: Silence, request ID:3",
        "End of the generation.",
    };
    for (auto& line : expected) line = "14:3: 9.  5--\t" + line;
    EXPECT_EQ(rec.lines, expected);
    EXPECT_EQ(rec.refCodes, std::vector<std::int64_t>(expected.size(), 0));
}

// The name goes through the ANSI code page: U+65E5 is not in it and shows as '?'.
TEST_F(DebugLogTest, FileSessionNamesTheFileAndTheWritingPhase) {
    path = TempWavePath("caf\xC3\xA9_\xE2\x82\xAC_\xE6\x97\xA5");
    const std::string shown = TempWavePath("caf\xC3\xA9_\xE2\x82\xAC_?");
    CVarnel engine;
    Recorder rec;
    rec.Attach(engine);
    std::int32_t id = -1;
    ASSERT_EQ(engine.GenerateBegin(Utf8ToUtf16(path).c_str()), S_OK);
    ASSERT_EQ(engine.GenerateSilence(10, &id), S_OK);
    ASSERT_EQ(engine.GenerateEnd(), S_OK);
    EXPECT_TRUE(std::filesystem::exists(path));

    std::vector<std::string> expected = {
        "Generation begin (To file '" + shown + "').",
        "Added request to generation queue, type: Silence, request ID:0",
        "Start the generation, writing !",
        "Request completed, requestID:0",
        "End of the generation.",
    };
    for (auto& line : expected) line = "14:3: 9.  5--\t" + line;
    EXPECT_EQ(rec.lines, expected);
    EXPECT_EQ(rec.refCodes, std::vector<std::int64_t>(expected.size(), 0));
}

TEST_F(DebugLogTest, EngineWorksWithoutAnyCallback) {
    CVarnel engine;
    std::int32_t id = -1;
    ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
    ASSERT_EQ(engine.GenerateSilence(10, &id), S_OK);
    EXPECT_EQ(PullAll(engine, 8192).size(), 220u);
    ASSERT_EQ(engine.GenerateBegin(Utf8ToUtf16(path).c_str()), S_OK);
    ASSERT_EQ(engine.GenerateSilence(10, &id), S_OK);
    EXPECT_EQ(engine.GenerateEnd(), S_OK);
    EXPECT_EQ(ReadFileBytes(path).size(), 46u + 220u);
}

}  // namespace
