// Decodes the engine's WAV files with third-party tools: sox must accept the header and
// multimon-ng must hear exactly the DTMF keys that were queued.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/EngineHarness.h"
#include "support/Shell.h"

namespace {

using namespace varnel_test;

// The keys of the "DTMF: X" lines, in order.
std::string DecodeDtmf(const std::string& path, std::string& output) {
    RunShell("sox " + Quote(path) + " -t raw -r 22050 -e signed -b 16 -c 1 - | multimon-ng -q -a DTMF -t raw -",
        output);
    std::string keys;
    for (std::size_t at = output.find("DTMF: "); at != std::string::npos; at = output.find("DTMF: ", at + 1)) {
        if (at + 6 < output.size()) keys += output[at + 6];
    }
    return keys;
}

// The value of a "Name : value" line of `sox --i`, trimmed; empty when absent.
std::string SoxField(const std::string& info, const std::string& name) {
    for (std::size_t at = info.find(name); at != std::string::npos; at = info.find(name, at + 1)) {
        if (at != 0 && info[at - 1] != '\n') continue;
        const std::size_t colon = info.find(':', at);
        const std::size_t end = info.find('\n', at);
        if (colon == std::string::npos || colon > end) continue;
        const std::size_t first = info.find_first_not_of(' ', colon + 1);
        return first >= end ? std::string() : info.substr(first, end - first);
    }
    return {};
}

struct Format {
    std::int32_t rate;
    std::int32_t bits;
};

class DtmfDecode : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"sox", "multimon-ng"}) {
            VARNEL_REQUIRE_TOOL(tool);
        }
        m_dir = std::make_unique<ScratchDir>();
        ASSERT_FALSE(m_dir->path().empty());
    }

    // Starts a file generation in the temp directory at the given format.
    std::string Begin(CVarnel& engine, const Format& format) {
        const std::string path = (m_dir->path() / ("out-" + std::to_string(format.rate) + "-" +
                                                    std::to_string(format.bits) + ".wav")).string();
        EXPECT_EQ(engine.set_SampleRate(format.rate), S_OK);
        EXPECT_EQ(engine.set_BitsPerSample(format.bits), S_OK);
        const std::u16string wide(path.begin(), path.end());  // temp paths here are ASCII
        EXPECT_EQ(engine.GenerateBegin(wide.c_str()), S_OK) << engine.GetErrMsg();
        return path;
    }

    std::unique_ptr<ScratchDir> m_dir;
};

class DtmfDecodeFormats : public DtmfDecode, public ::testing::WithParamInterface<Format> {};

// multimon-ng hears every key and sox reads the header.
TEST_P(DtmfDecodeFormats, MultimonAndSoxRead) {
    const Format format = GetParam();
    CVarnel engine;
    const std::string path = Begin(engine, format);
    ASSERT_EQ(engine.GenerateDTMFs(u"0123456789*#ABCD", nullptr), S_OK) << engine.GetErrMsg();
    ASSERT_EQ(engine.GenerateEnd(), S_OK) << engine.GetErrMsg();

    std::string info;
    ASSERT_EQ(RunShell("sox --i " + Quote(path), info), 0) << info;
    EXPECT_EQ(SoxField(info, "Sample Rate"), std::to_string(format.rate)) << info;
    EXPECT_EQ(SoxField(info, "Channels"), "1") << info;
    EXPECT_EQ(SoxField(info, "Precision"), std::to_string(format.bits) + "-bit") << info;

    std::string output;
    EXPECT_EQ(DecodeDtmf(path, output), "0123456789*#ABCD") << output;
}

std::vector<Format> AllFormats() {
    std::vector<Format> formats;
    for (const std::int32_t rate : {8000, 11025, 22050, 44100, 48000}) {
        for (const std::int32_t bits : {8, 16}) formats.push_back({rate, bits});
    }
    return formats;
}

INSTANTIATE_TEST_SUITE_P(Formats, DtmfDecodeFormats, ::testing::ValuesIn(AllFormats()),
                         [](const ::testing::TestParamInfo<Format>& info) {
                             return "Rate" + std::to_string(info.param.rate) + "_Bits" +
                                    std::to_string(info.param.bits);
                         });

TEST_F(DtmfDecode, MixedQueueYieldsOnlyTheDtmfKeys) {
    CVarnel engine;
    const std::string path = Begin(engine, {8000, 16});
    ASSERT_EQ(engine.GenerateTone(500, 0, 1000.0f, 0.0f, 0.0f, nullptr), S_OK) << engine.GetErrMsg();
    ASSERT_EQ(engine.GenerateSilence(300.0f, nullptr), S_OK) << engine.GetErrMsg();
    ASSERT_EQ(engine.GenerateDTMFs(u"159#", nullptr), S_OK) << engine.GetErrMsg();
    ASSERT_EQ(engine.GenerateTones(u"350|440@1000"), S_OK) << engine.GetErrMsg();
    ASSERT_EQ(engine.GenerateEnd(), S_OK) << engine.GetErrMsg();

    std::string output;
    EXPECT_EQ(DecodeDtmf(path, output), "159#") << output;
}

}  // namespace
