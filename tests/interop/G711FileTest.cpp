// G.711 WAV files against sox: sox reads them, its decoding of our codes is the G.711 table's,
// its conversion of our 16-bit file to G.711 gives exactly our codes, and multimon-ng hears
// the DTMF keys in them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Shell.h"
#include "support/WaveFiles.h"
#include "varnel/signal/G711.h"

namespace {

using namespace varnel_test;

// Writes the same requests at the rate in 16-bit PCM or the encoding.
std::string Render(const std::string& path, std::int32_t rate, std::int32_t encoding) {
    CVarnel engine;
    EXPECT_EQ(engine.set_SampleRate(rate), S_OK);
    EXPECT_EQ(engine.set_BitsPerSample(16), S_OK);
    EXPECT_EQ(engine.set_Encoding(encoding), S_OK);
    const std::u16string wide(path.begin(), path.end());  // temp paths here are ASCII
    EXPECT_EQ(engine.GenerateBegin(wide.c_str()), S_OK) << engine.GetErrMsg();
    EXPECT_EQ(engine.GenerateSilence(300.0f, nullptr), S_OK);
    EXPECT_EQ(engine.GenerateDTMFs(u"0123456789*#ABCD", nullptr), S_OK);
    EXPECT_EQ(engine.GenerateCallerID(u"5551234", u"JOHN DOE", u"12/25 10:30", nullptr), S_OK);
    EXPECT_EQ(engine.GenerateTone(500, 300, 350.0f, 440.0f, 0.0f, nullptr), S_OK);
    EXPECT_EQ(engine.GenerateEnd(), S_OK) << engine.GetErrMsg();
    return path;
}

TEST(G711Files, SoxAndMultimonAgreeWithOurCodes) {
    VARNEL_REQUIRE_TOOL("sox");
    VARNEL_REQUIRE_TOOL("multimon-ng");
    ScratchDir dir;
    ASSERT_FALSE(dir.path().empty());
    struct Law {
        std::int32_t encoding;
        const char* sox;
        std::int16_t (*decode)(std::uint8_t);
    };
    for (const Law law : {Law{ENC_MuLaw, "mu-law", LinearFromMuLaw}, Law{ENC_ALaw, "a-law", LinearFromALaw}}) {
        for (const std::int32_t rate : {8000, 44100}) {
            SCOPED_TRACE(std::string(law.sox) + " at " + std::to_string(rate));
            const std::string pcm = Render((dir.path() / "pcm.wav").string(), rate, ENC_PCM);
            const std::string g711 = Render((dir.path() / "g711.wav").string(), rate, law.encoding);
            const auto ours = ReadWave(g711);
            ASSERT_TRUE(ours);

            std::string output;
            ASSERT_EQ(RunShell("sox -D " + Quote(pcm) + " -t raw -e " + law.sox + " -b 8 " +
                                   Quote((dir.path() / "sox.raw").string()), output), 0) << output;
            EXPECT_EQ(ReadFileBytes((dir.path() / "sox.raw").string()), ours->data);

            ASSERT_EQ(RunShell("sox " + Quote(g711) + " -t raw -e signed -b 16 " +
                                   Quote((dir.path() / "decoded.raw").string()), output), 0) << output;
            const std::vector<std::uint8_t> decoded = ReadFileBytes((dir.path() / "decoded.raw").string());
            ASSERT_EQ(decoded.size(), 2 * ours->data.size());
            std::size_t differing = 0;
            for (std::size_t i = 0; i < ours->data.size(); ++i) {
                const auto value = static_cast<std::int16_t>(decoded[2 * i] | (decoded[2 * i + 1] << 8));
                differing += value != law.decode(ours->data[i]) ? 1 : 0;
            }
            EXPECT_EQ(differing, 0u);

            RunShell("sox " + Quote(g711) + " -t raw -r 22050 -e signed -b 16 -c 1 - | multimon-ng -q -a DTMF -t raw -",
                     output);
            std::string keys;
            for (std::size_t at = output.find("DTMF: "); at != std::string::npos; at = output.find("DTMF: ", at + 1)) {
                keys += output[at + 6];
            }
            EXPECT_EQ(keys, "0123456789*#ABCD");
        }
    }
}

}  // namespace
