// The tool's tone-library requests (plan:, pattern:, sit:, modem:), --list-plans and --dbm0:
// rendered as the component renders them, and their levels measured.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Options.h"
#include "cli/RefusalText.h"
#include "varnel/script/Rendering.h"
#include "varnel/script/RequestError.h"
#include "cli/UsageError.h"
#include "support/Shell.h"
#include "support/WaveFiles.h"
#include "tones/Measure.h"
#include "varnel/Varnel.h"
#include "varnel/signal/ToneTables.h"

namespace {

using namespace Quorvex::VarnelNet;
using namespace Quorvex::VarnelNet::Cli;
using namespace varnel_test;
using Bytes = std::vector<std::uint8_t>;

// What rendering the command line refuses, or "" when every request is taken.
std::string RefusalOf(std::vector<std::string> args) {
    try {
        const Options options = ParseArguments(args);
        Script::Rendering rendering(options.render, options.requests);
    } catch (const Script::RequestError& e) {
        return e.Spelled(ToolName);
    } catch (const UsageError& e) {
        return e.what();
    }
    return "";
}

TEST(ToneRequests, Dbm0IsRefusedWhereTheTonesWouldPassFullScale) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const Case cases[] = {
        {{"--raw", "--dbm0", "3.14", "tone:10,0,400", "modem:ans", "sit:nc", "cid:555"}, ""},
        {{"--raw", "--dbm0", "3.15", "tone:10,0,400"},
         "request 1 'tone:10,0,400': --dbm0 3.15 is past full scale for 1 tone at once (at most +3.14 dBm0)"},
        {{"--raw", "--dbm0", "-2.88", "plan:uk:dial"},
         "request 1 'plan:uk:dial': --dbm0 -2.88 is past full scale for 2 tones at once (at most -2.89 dBm0)"},
        {{"--raw", "--dbm0", "-2.89", "plan:uk:dial", "dtmf:1", "tones:350|440@100"}, ""},
        {{"--raw", "--dbm0", "-6.4", "tones:350|440|620@100"},
         "request 1 'tones:350|440|620@100': --dbm0 -6.4 is past full scale for 3 tones at once (at most -6.41 dBm0)"},
        {{"--raw", "--dbm0", "-6", "pattern:350+440+480/10,0/10"},
         "request 1 'pattern:350+440+480/10,0/10': --dbm0 -6 is past full scale for 3 tones at once (at most -6.41 "
         "dBm0)"},
        {{"--raw", "--dbm0", "0", "cid:555", "set:cid-standard=dtmf", "cid:555"},
         "request 3 'cid:555': --dbm0 0 is past full scale for 2 tones at once (at most -2.89 dBm0)"},
        {{"--raw", "--dbm0", "0", "vmwi:on", "set:cid-alert=offhook", "vmwi:off"},
         "request 3 'vmwi:off': --dbm0 0 is past full scale for 2 tones at once (at most -2.89 dBm0)"},
        {{"--raw", "--dbm0", "-3.9", "--dtmf-twist", "2", "dtmf:1"},
         "request 1 'dtmf:1': --dbm0 -3.9 with --dtmf-twist 2 puts the DTMF pair past full scale: with this twist the "
         "level may be at most -3.94 dBm0"},
        {{"--raw", "--dbm0", "-6", "-a", "-6", "dtmf:1"}, "--dbm0 and --amplitude both set the level: give one"},
        {{"--raw", "--dbm0", "-6", "dtmf:1", "set:amplitude=-3"},
         "request 2 'set:amplitude=-3': --dbm0 sets the level of every request"},
    };
    for (const Case& c : cases) EXPECT_EQ(RefusalOf(c.args), c.error) << c.args[2];
}

class ToneTool : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return (m_dir.path() / name).string(); }

    // The tool's standard output for the arguments; status 0 expected.
    std::string Run(const std::vector<std::string>& args) const {
        std::string command = Quote(VARNEL_CLI_PATH);
        for (const std::string& arg : args) command.append(" ").append(Quote(arg));
        command += " 2>" + Quote(Path("stderr")) + " >" + Quote(Path("stdout"));
        std::string ignored;
        const int status = RunShell(command, ignored);
        const Bytes err = ReadFileBytes(Path("stderr"));
        EXPECT_EQ(status, 0) << std::string(err.begin(), err.end());
        const Bytes out = ReadFileBytes(Path("stdout"));
        return std::string(out.begin(), out.end());
    }

    ScratchDir m_dir;
};

TEST_F(ToneTool, RequestsWriteWhatTheComponentWrites) {
    const std::vector<std::string> requests = {"plan:gb:ringback:2500", "pattern:400*25/400,0/200:1000", "sit:ro",
                                               "modem:ans-pr:1000", "modem:cng", "set:tone-modulation-depth=30",
                                               "set:dtmf-twist=3", "plan:in:dial:300", "dtmf:19"};
    std::vector<std::string> args = {"-r", "8000", "-o", Path("tool.wav")};
    args.insert(args.end(), requests.begin(), requests.end());
    Run(args);

    Varnel v;
    v.SampleRate(8000);
    v.GenerateBegin(Path("component.wav"));
    v.GenerateTonePlan("uk", "ringback", 2500);
    v.GeneratePattern("400*25/400,0/200", 1000);
    v.GenerateSIT("ro");
    v.GenerateModemTone(MT_ANS_PR, 1000);
    v.GenerateModemTone(MT_CNG, 7000);
    v.TONE_ModulationDepth(30);
    v.DTMF_Twist(3.0f);
    v.GenerateTonePlan("in", "dial", 300);
    v.GenerateDTMFs("19");
    v.GenerateEnd();
    EXPECT_EQ(ReadFileBytes(Path("tool.wav")), ReadFileBytes(Path("component.wav")));
}

// Each tone at the level asked for, measured: a full-scale sine is +3.14 dBm0.
TEST_F(ToneTool, Dbm0PutsEachToneAtTheLevel) {
    struct Case {
        std::string request;
        std::vector<double> hz;  // the tones that sound together, measured in the middle
        double from, to;         // seconds of the signal measured
        double twist;            // dB of the high group (the last tone) above the level
    };
    const Case cases[] = {
        {"tone:1000,0,1004", {1004.0}, 0.2, 0.8, 0.0},
        {"tone:1000,0,350,440", {350.0, 440.0}, 0.2, 0.8, 0.0},
        {"tone:1000,0,913.8,1370.6,1776.7", {913.8, 1370.6, 1776.7}, 0.2, 0.8, 0.0},
        {"plan:uk:dial:1000", {350.0, 440.0}, 0.2, 0.8, 0.0},
        {"pattern:400*25/400,0/200:1000", {400.0}, 0.0, 0.4, 0.0},  // the carrier at 1 / (1 + 0.9) of the peak
        {"sit:itu", {1400.0}, 0.35, 0.65, 0.0},
        {"modem:ans:1000", {2100.0}, 0.2, 0.8, 0.0},
        {"dtmf:5", {770.0, 1336.0}, 0.01, 0.07, 0.0},
        {"set:dtmf-twist=2.5", {770.0, 1336.0}, 0.01, 0.07, 2.5},  // dtmf:5 follows
        // Parts with fewer tones than the most a request sounds are at the level too.
        {"pattern:400+450/100,400/100:200", {400.0}, 0.11, 0.19, 0.0},
        {"set:cid-alert=offhook cid:555", {440.0}, 0.05, 0.25, 0.0},  // Bell's subscriber alerting tone
        {"set:cid-standard=etsi set:cid-alert=dtas cid:555", {1300.0}, 0.47, 0.58, 0.0},  // marks after the alert
    };
    for (const double level : {-30.0, -13.0, -7.0}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.request + " at " + std::to_string(level) + " dBm0");
            char text[16];
            std::snprintf(text, sizeof text, "%g", level);
            std::vector<std::string> args = {"-r", "8000", "--raw", "--dbm0", text};
            std::istringstream words(c.request);
            for (std::string word; words >> word;) args.push_back(word);
            if (c.twist != 0.0) args.push_back("dtmf:5");
            const std::string out = Run(args);
            const std::vector<double> x = tone_test::FromS16(Bytes(out.begin(), out.end()));
            const auto begin = static_cast<std::size_t>(c.from * 8000.0);
            const auto end = static_cast<std::size_t>(c.to * 8000.0);
            ASSERT_LE(end, x.size());
            for (std::size_t k = 0; k < c.hz.size(); ++k) {
                double amplitude = tone_test::Amplitude(x, begin, end, c.hz[k], 8000.0);
                if (c.request.find('*') != std::string::npos) amplitude *= 1.9;  // a modulated tone: its peak
                const double expected = level + (k + 1 == c.hz.size() ? c.twist : 0.0);
                EXPECT_NEAR(tone_test::Dbm0(amplitude), expected, 0.1) << c.hz[k] << " Hz";
            }
        }
    }
}

TEST_F(ToneTool, ListPlansAndTheTonesPageShowEveryRow) {
    const std::string list = Run({"--list-plans"});
    const Bytes pageBytes = ReadFileBytes(std::string(VARNEL_DOCS_DIR) + "/tones.md");
    const std::string page(pageBytes.begin(), pageBytes.end());
    EXPECT_EQ(list.substr(0, list.find('\n')).substr(0, 9), "country  ");
    std::size_t lines = 0;
    for (const char c : list) lines += c == '\n' ? 1 : 0;
    EXPECT_EQ(lines, TonePlanRows().size() + 1);
    for (const TonePlanRow& row : TonePlanRows()) {
        SCOPED_TRACE(std::string(row.country) + " " + std::string(row.tone));
        // --list-plans: one line "country  name  tone  pattern".
        const std::string prefix = std::string(row.country) + " ";
        bool listed = false;
        for (std::size_t at = 0; at < list.size();) {
            const std::size_t end = list.find('\n', at);
            const std::string line = list.substr(at, end - at);
            at = end + 1;
            const auto has = [&](std::string_view word) {
                return line.find(std::string(1, ' ').append(word).append(1, ' ')) != std::string::npos;
            };
            if (line.rfind(prefix, 0) == 0 && has(row.description) && has(row.tone) &&
                line.size() >= row.pattern.size() && line.substr(line.size() - row.pattern.size()) == row.pattern) {
                listed = true;
            }
        }
        EXPECT_TRUE(listed);
        // The tones page: the country's table line has the pattern in the tone's column.
        const std::string start = "| " + std::string(row.country) + " | " + std::string(row.description) + " |";
        const std::size_t at = page.find(start);
        ASSERT_NE(at, std::string::npos);
        const std::string line = page.substr(at, page.find('\n', at) - at);
        const char* columns[] = {"dial", "busy", "ringback", "congestion", "callwaiting", "info"};
        std::size_t cell = at + start.size();
        for (const char* column : columns) {
            const std::size_t next = page.find(" |", cell + 1);
            if (row.tone == column) {
                EXPECT_EQ(page.substr(cell, next - cell), " `" + std::string(row.pattern) + "`") << line;
            }
            cell = next + 2;
        }
    }
}

}  // namespace
