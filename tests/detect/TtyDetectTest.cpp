// The TTY receiver: the tool's TTY in every mode and at several rates heard as sent (and as its
// labels frame it), split input equal to whole input; minimodem's TDD transmitter heard; the tty
// suite scored with minimodem's receiver; character error rates of known texts; TTY and
// Caller-ID corpora, and the recipes they refuse.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "support/Shell.h"
#include "testkit/Corpus.h"
#include "testkit/Runs.h"
#include "testkit/TextScore.h"
#include "varnel/detect/PcmReader.h"
#include "varnel/detect/TtyDetector.h"
#include "varnel/script/Rendering.h"

namespace {

using namespace Quorvex::VarnelNet;
using varnel_test::Quote;
using varnel_test::RunShell;

struct Heard {
    std::string coding, rate, text;
    std::uint64_t first = 0, last = 0, frames = 0;
    bool operator==(const Heard&) const = default;
};

std::vector<Heard> Detected(const std::string& path, std::size_t block) {
    std::ifstream in(path, std::ios::binary);
    Detect::PcmReader reader = Detect::PcmReader::Wav(in);
    std::vector<Heard> heard;
    Detect::TtyDetector detector(reader.Format().rate, [&heard](const Detect::TtyMessage& m) {
        heard.push_back({std::string(Detect::TtyCodingWord(m.coding)), std::string(m.rate), std::string(m.text), m.first, m.last,
                         m.characters.size()});
    });
    std::vector<double> samples(block);
    while (const std::size_t n = reader.Read(samples)) detector.Feed(std::span<const double>(samples.data(), n));
    detector.Finish();
    return heard;
}

struct Trip {
    const char* args;
    const char* coding;
    const char* rate;
};
constexpr Trip kTrips[] = {
    {"-r 8000 --tty-rate 45.45", "baudot", "45.45"},          {"-r 16000 --tty-rate 50", "baudot", "50"},
    {"-r 48000 --tty-rate 45.45 --dbm0 -45", "baudot", "45.45"}, {"-r 11025 --tty-rate 100", "baudot", "100"},
    {"-r 8000 --tty-mode ascii7 --tty-rate 110", "ascii7", "110"}, {"-r 44100 --tty-mode ascii8 --tty-rate 110", "ascii8", "110"},
    {"-r 8000 --tty-mode ascii8 --tty-rate 50 --snr 15 --seed 3", "ascii8", "50"},
    {"-r 8000 --tty-rate 50 --freq-offset 2 --fsk-twist 6", "baudot", "50"},
};
constexpr const char* kText = "CALL 911 NOW: FIRE AT 42 ELM ST. (2ND FLOOR) GA";

TEST(TtyDetect, HearsWhatTheToolSendsInEveryModeSplitOrWhole) {
    varnel_test::ScratchDir dir;
    const std::string wav = (dir.path() / "a.wav").string();
    for (const Trip& trip : kTrips) {
        SCOPED_TRACE(trip.args);
        std::string out;
        ASSERT_EQ(RunShell(Quote(VARNEL_CLI_PATH) + " -o " + wav + " " + trip.args + " 'silence:300' 'tty:" + kText + "'", out), 0) << out;
        const std::vector<Heard> whole = Detected(wav, 1 << 20);
        ASSERT_EQ(whole.size(), 1u);
        EXPECT_EQ(whole[0].text, kText);
        EXPECT_EQ(whole[0].coding, trip.coding);
        EXPECT_EQ(whole[0].rate, trip.rate);
        EXPECT_EQ(Detected(wav, 37), whole);
    }
}

TEST(TtyDetect, HearsMinimodemsTddTransmitter) {
    VARNEL_REQUIRE_TOOL("minimodem");
    varnel_test::ScratchDir dir;
    const std::string wav = (dir.path() / "tdd.wav").string();
    std::string out;
    ASSERT_EQ(RunShell("printf 'HELLO 123 WORLD' | minimodem --tx tdd -R 8000 -f " + wav, out), 0) << out;
    const std::vector<Heard> heard = Detected(wav, 1000);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].text, "HELLO 123 WORLD");
    EXPECT_EQ(heard[0].coding + " " + heard[0].rate, "baudot 45.45");
}

// minimodem's receiver on the level family: every file from 0 to -50 dBm0 within 1 % of
// characters, as the report says.
TEST(TtyDetect, MinimodemMeetsTheSuitesLevels) {
    VARNEL_REQUIRE_TOOL("minimodem");
    varnel_test::ScratchDir dir;
    Kit::SuiteRun suite{Kit::FindSuite("tty"), dir.path().string(), 1, {}, Kit::SuiteEncoding::Pcm, {"level"}};
    Kit::RunControl control{[] {}, {}};
    Kit::WriteSuite(suite, control);
    Kit::ScoreRun score;
    score.folder = dir.path().string();
    score.receiver = {VARNEL_SOURCE_DIR "/scripts/tty-minimodem", "{}"};
    score.jobs = 2;
    const Kit::Report report = Kit::ScoreFolder(score, control).report;
    ASSERT_EQ(report.requirements.size(), 1u);
    EXPECT_EQ(report.requirements[0].id, "tty-level");
    EXPECT_EQ(report.requirements[0].files, 68u);
    EXPECT_TRUE(report.requirements[0].failures.empty()) << Kit::ReportText(report, "minimodem");
}

struct Cer {
    std::string_view sent;
    std::string_view output;
    double rate;
};
constexpr Cer kCers[] = {
    {"HELLO WORLD", "HELLO WORLD\r\n", 0.0},
    {"HELLO WORLD", "HELO  WORLD", 1.0 / 11},
    {"HELLO WORLD", "TTY 0.1 2.0 baudot 45.45 \"HELL\" -9 dBm0\nTTY 2.0 3.0 baudot 45.45 \"O W\\x00ORLD\" -9 dBm0\n", 0.0},
    {"ABCD", "XBCDE", 0.5},
    {"AB", "", 1.0},
    {"AB", std::string_view("\0\0AB\0", 5), 0.0},
};

TEST(TtyDetect, CharacterErrorRates) {
    for (const Cer& c : kCers) {
        SCOPED_TRACE(std::string(c.output));
        EXPECT_DOUBLE_EQ(Kit::CharacterErrorRate(c.sent, Kit::ReceivedText(c.output, std::nullopt)), c.rate);
    }
    EXPECT_DOUBLE_EQ(Kit::CharacterErrorRate("A", std::string(1000, 'B')), 1000.0);
}

// A TTY corpus's clips heard as their manifest says, in every mode; a Caller-ID corpus renders
// a clip of every standard.
TEST(TtyDetect, CorpusClipsOfEverySignal) {
    const Kit::CorpusRecipe tty = Kit::ReadCorpusRecipe(
        R"({"signal": "tty", "clips": 8, "characters": [5, 30], "level_dbm0": [-40, -6], "twist_db": [-6, 6], "snr_db": [20, 40]})");
    const Kit::CorpusRecipe cid = Kit::ReadCorpusRecipe(R"({"signal": "cid", "clips": 24, "bit_rate_offset_percent": [-1, 1]})");
    std::set<std::string> modes, standards;
    for (std::size_t i = 0; i < 24; ++i) {
        standards.insert(std::string(Kit::ClipAt(cid, i).row.Parameter("standard")));
        if (i >= tty.clips) continue;
        const Kit::Clip clip = Kit::ClipAt(tty, i);
        Script::Rendering rendering(clip.job.options, clip.job.requests);
        std::string text;
        Detect::TtyDetector detector(8000, [&text](const Detect::TtyMessage& m) { text += m.text; });
        std::uint8_t block[4096];
        for (std::size_t n; (n = rendering.Pull(block)) > 0;) {
            detector.Feed(std::span(reinterpret_cast<const std::int16_t*>(block), n / 2));
        }
        detector.Finish();
        EXPECT_EQ(text, clip.row.sent) << clip.name;
        modes.insert(std::string(clip.row.Parameter("tty_mode")));
    }
    EXPECT_EQ(modes.size(), 4u);
    EXPECT_EQ(standards.size(), 8u);
}

struct Refused {
    const char* recipe;
    const char* why;
};
constexpr Refused kRefused[] = {
    {R"({"clips": 1, "signal": "fax"})", R"("signal" must be "dtmf", "cid" or "tty")"},
    {R"({"clips": 1, "signal": "tty", "keys": "1"})", R"("keys" is of DTMF clips, not of "tty")"},
    {R"({"clips": 1, "standards": ["bt"]})", R"("standards" is not a member of "dtmf" clips)"},
    {R"({"clips": 1, "signal": "tty", "modes": ["baudot75"]})", "'baudot75' is none of baudot45, baudot50, ascii7, ascii8"},
    {R"({"clips": 1, "signal": "cid", "level_dbm0": 0, "twist_db": 6})", R"("level_dbm0" and "twist_db" reach past full scale: the space tone must stay within it)"},
};

TEST(TtyDetect, CorpusRecipesRefused) {
    for (const Refused& r : kRefused) {
        try {
            Kit::ReadCorpusRecipe(r.recipe);
            ADD_FAILURE() << r.recipe;
        } catch (const Kit::CorpusError& e) {
            EXPECT_STREQ(e.what(), r.why);
        }
    }
}

}  // namespace
