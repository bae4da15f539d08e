// The talkoff suite's sources: espeak-ng and fluidsynth give the same bytes twice for a few
// seconds of speech and music, the score counts keys per hour of such files, and without the
// programs the tool says which package to install.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/Shell.h"
#include "testkit/Score.h"
#include "testkit/TalkOff.h"
#include "testkit/TalkOffRate.h"

namespace {

using namespace Quorvex::VarnelNet::Kit;
using namespace varnel_test;
namespace fs = std::filesystem;

const RunControl kControl{[] {}, {}};

TEST(TalkOffTest, SourcesAreMadeTheSameTwice) {
    VARNEL_REQUIRE_TOOL("espeak-ng");
    VARNEL_REQUIRE_TOOL("fluidsynth");
    ScratchDir dir;
    const TalkOffTools tools = FindTalkOffTools(kControl);
    const TalkOffSpeech speech{"de", "de+m3", 170, 40, 12, -10.0};
    const TalkOffMusic music{"flute", {73, 24, 67, false, 120, 2}, -12.0};
    const auto sources = [&](const char* base) {
        return std::pair{MakeSpeech(speech, 3, tools, dir.path() / base, kControl), MakeMusic(music, 3, tools, dir.path() / base, kControl)};
    };
    const auto [speech1, music1] = sources("a");
    const auto [speech2, music2] = sources("b");
    for (const auto& [first, again] : {std::pair{&speech1, &speech2}, std::pair{&music1, &music2}}) {
        EXPECT_EQ(first->sha256.size(), 64u);
        EXPECT_EQ(first->sha256, again->sha256);
        EXPECT_EQ(first->samples, again->samples);
        EXPECT_GT(first->samples.size(), 8000u);  // over a second at 8000 Hz
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));  // the scratch files are gone
}

TEST(TalkOffTest, FalseDetectionsAreCountedPerHour) {
    std::vector<ManifestRow> rows(3);
    rows[0].verdict = rows[1].verdict = Verdict::Reject;
    rows[0].parameters = {{"seconds", "1800"}};
    rows[1].parameters = {{"seconds", "5400"}};
    rows[2].verdict = Verdict::Reject;  // no length: not counted
    const Report report = Score(rows, {"12", "", "999"});
    const std::optional<TalkOffRate> rate = FalseDetectionsPerHour(report);
    ASSERT_TRUE(rate);
    EXPECT_EQ(rate->keys, 2u);
    EXPECT_DOUBLE_EQ(rate->hours, 2.0);
    EXPECT_NE(ReportText(report, "r").find("false detections per hour: 1 (2 keys in 2 h without keys)"), std::string::npos);
    EXPECT_FALSE(FalseDetectionsPerHour(Score({rows[2]}, {"1"})));
}

TEST(TalkOffTest, MissingProgramsAreNamedWithTheirPackage) {
    ScratchDir dir;
    std::string output;
    const int status = RunShell("PATH=/nonexistent " + Quote(VARNEL_CLI_PATH) + " suite talkoff -o " + Quote(dir.path().string()) + " 2>&1", output);
    EXPECT_EQ(status, 1);
    EXPECT_NE(output.find("the talkoff suite needs espeak-ng (Debian package espeak-ng): cannot run it"), std::string::npos) << output;
}

}  // namespace
