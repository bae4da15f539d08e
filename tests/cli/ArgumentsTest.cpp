// The tool's command-line parsing, called directly.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/Options.h"
#include "cli/Request.h"
#include "cli/Session.h"
#include "cli/UsageError.h"
#include "varnel/engine/CVarnel.h"

namespace {

using namespace Quorvex::VarnelNet;
using namespace Quorvex::VarnelNet::Cli;

Options Parse(std::vector<std::string> args) { return ParseArguments(args); }

// The UsageError message of a command line, or "" when it parses.
std::string UsageErrorOf(std::vector<std::string> args) {
    try {
        ParseArguments(args);
    } catch (const UsageError& e) {
        return e.what();
    }
    return "";
}

TEST(ArgumentsTest, OptionsAndRequestsAreTakenInOrder) {
    const Options o = Parse({"-o", "out.wav", "-r8000", "--bits=8", "-a", "-12.5", "--tty-figs-after-space", "-v",
                             "dtmf:123", "set:tty-rate=74.2", "tty:HI"});
    EXPECT_EQ(o.mode, OutputMode::File);
    EXPECT_EQ(o.outputPath, "out.wav");
    EXPECT_TRUE(o.verbose);
    ASSERT_EQ(o.settings.size(), 4u);
    EXPECT_EQ(o.settings[0].spec, &SettingsCatalog::kSampleRate);
    EXPECT_EQ(o.settings[0].value.integer, 8000);
    EXPECT_EQ(o.settings[1].value.integer, 8);
    EXPECT_EQ(o.settings[2].value.number, -12.5f);
    EXPECT_EQ(o.settings[3].spec, &SettingsCatalog::kTtyFigsAfterSpace);
    EXPECT_EQ(o.settings[3].value.integer, 1);
    ASSERT_EQ(o.requests.size(), 3u);
    EXPECT_EQ(o.requests[1].kind, RequestKind::Set);
    EXPECT_EQ(o.requests[1].setting.value.integer, BR_74_20_Baud);
    EXPECT_EQ(o.requests[2].keys, "HI");
}

TEST(ArgumentsTest, EnumeratedSettingsAcceptTheirWords) {
    const Options o = Parse({"--raw", "--tty-mode", "ascii8", "--tty-rate", "45.45", "--cid-format", "sdmf",
                             "--cid-timing", "exact", "--tty-mode=4", "-e", "ulaw", "--encoding=alaw", "-epcm"});
    ASSERT_EQ(o.settings.size(), 8u);
    EXPECT_EQ(o.settings[0].value.integer, ASCII8_Mode);
    EXPECT_EQ(o.settings[1].value.integer, BR_45_45_Baud);
    EXPECT_EQ(o.settings[2].value.integer, CID_SDMF);
    EXPECT_EQ(o.settings[3].value.integer, CBT_Exact);
    EXPECT_EQ(o.settings[4].value.integer, 4);
    EXPECT_EQ(o.settings[5].spec, &SettingsCatalog::kEncoding);
    EXPECT_EQ(o.settings[5].value.integer, ENC_MuLaw);
    EXPECT_EQ(o.settings[6].value.integer, ENC_ALaw);
    EXPECT_EQ(o.settings[7].value.integer, ENC_PCM);
    EXPECT_TRUE(o.requests.empty());  // the built-in scenario
}

TEST(ArgumentsTest, HelpAndVersionNeedNoOutput) {
    EXPECT_TRUE(Parse({"-h"}).help);
    EXPECT_TRUE(Parse({"--help"}).help);
    EXPECT_TRUE(Parse({"--version"}).version);
}

TEST(ArgumentsTest, UsageErrorsSayWhatIsWrong) {
    EXPECT_EQ(UsageErrorOf({"--raw", "--bogus"}), "unknown option '--bogus'");
    EXPECT_EQ(UsageErrorOf({"-x", "--raw"}), "unknown option '-x'");
    EXPECT_EQ(UsageErrorOf({"-o", "a.wav", "--raw"}), "choose one output: -o FILE, --raw or --play");
    EXPECT_EQ(UsageErrorOf({"--play", "--raw"}), "choose one output: -o FILE, --raw or --play");
    EXPECT_EQ(UsageErrorOf({"-o", "a.wav", "-o", "b.wav"}), "-o/--output given twice");
    EXPECT_EQ(UsageErrorOf({"dtmf:1"}), "no output: give -o FILE, --raw or --play");
    EXPECT_EQ(UsageErrorOf({"--raw", "-o"}), "option '-o' needs a value");
    EXPECT_EQ(UsageErrorOf({"--raw", "--bits", "12"}), "--bits: '12' is not 8 or 16");
    EXPECT_EQ(UsageErrorOf({"--raw", "--rate", "fast"}), "--rate: 'fast' is not an integer");
    EXPECT_EQ(UsageErrorOf({"--raw", "--rate", "99999999999"}),
              "--rate: '99999999999' is not an integer from -2147483648 to 2147483647");
    EXPECT_EQ(UsageErrorOf({"--raw", "--tty-rate", "60"}), "--tty-rate: '60' is not one of 45.45|50|56.92|74.20|100|110");
    EXPECT_EQ(UsageErrorOf({"--raw", "--cid-format", "x"}), "--cid-format: 'x' is not one of sdmf|mdmf|raw");
    EXPECT_EQ(UsageErrorOf({"--raw", "--verbose=1"}), "option '--verbose' takes no value");
    EXPECT_EQ(UsageErrorOf({"--raw", "-a", "nan"}), "--amplitude: 'nan' is not a number");
    EXPECT_EQ(UsageErrorOf({"--raw", "-e", "mu"}), "--encoding: 'mu' is not one of pcm|ulaw|alaw");
    EXPECT_EQ(UsageErrorOf({"--raw", "set:encoding=g711"}), "'set:encoding=g711': encoding: 'g711' is not one of pcm|ulaw|alaw");
    EXPECT_EQ(UsageErrorOf({"--raw", "--tty-figs-after-space=1"}), "option '--tty-figs-after-space' takes no value");
}

// The output's format is settled before its first sample, whatever the output.
TEST(ArgumentsTest, FormatSettingsAfterTheFirstSignalRequestAreUsageErrors) {
    const std::string later = "comes after the first signal request: the output's format (rate, bits, encoding) can "
                              "only be set before it";
    for (const std::vector<std::string>& output : {std::vector<std::string>{"-o", "a.wav"}, {"--raw"}, {"--play"}}) {
        for (const char* set : {"set:rate=8000", "set:bits=8", "set:encoding=pcm"}) {
            std::vector<std::string> args = output;
            args.insert(args.end(), {"set:amplitude=-3", "silence:10", "set:tty-mode=1", set, "dtmf:1"});
            EXPECT_EQ(UsageErrorOf(args), "'" + std::string(set) + "' " + later) << output[0];
        }
        std::vector<std::string> leading = output;
        leading.insert(leading.end(), {"set:rate=8000", "set:bits=8", "silence:10", "set:amplitude=-3", "dtmf:1"});
        EXPECT_EQ(UsageErrorOf(leading), "") << output[0];
    }
    EXPECT_EQ(UsageErrorOf({"--play", "-e", "ulaw", "dtmf:1"}), "--play plays PCM only: write G.711 with -o FILE or --raw");
    EXPECT_EQ(UsageErrorOf({"--play", "set:encoding=alaw", "dtmf:1"}), "--play plays PCM only: write G.711 with -o FILE or --raw");
    EXPECT_EQ(UsageErrorOf({"--play", "-e", "ulaw", "set:encoding=pcm", "dtmf:1"}), "");
}

TEST(ArgumentsTest, RequestsParseTheirArguments) {
    const Request tone = ParseRequest("tone:1000,250,350,440.5");
    EXPECT_EQ(tone.kind, RequestKind::Tone);
    EXPECT_EQ(tone.onTime, 1000);
    EXPECT_EQ(tone.offTime, 250);
    EXPECT_EQ(tone.frequencies[1], 440.5f);
    EXPECT_EQ(tone.frequencies[2], 0.0f);
    EXPECT_EQ(ParseRequest("tone:100,0,-5").frequencies[0], -5.0f);  // the component judges it

    const Request cid = ParseRequest("cid:5551234|JOHN DOE|12/25 10:30");
    EXPECT_EQ(cid.keys, "5551234");
    EXPECT_EQ(cid.name, "JOHN DOE");
    EXPECT_EQ(cid.dateTime, "12/25 10:30");
    EXPECT_EQ(ParseRequest("cid:5551234").name, "");

    EXPECT_EQ(ParseRequest("ttyhex:48454c4C4f").bytes, (std::vector<std::uint8_t>{'H', 'E', 'L', 'L', 'O'}));
    EXPECT_EQ(ParseRequest("tty:A:B").keys, "A:B");
    EXPECT_EQ(ParseRequest("silence:12.5").duration, 12.5f);
    const Request set = ParseRequest("set:tty-figs-after-space=0");
    EXPECT_EQ(set.setting.spec, &SettingsCatalog::kTtyFigsAfterSpace);
    EXPECT_EQ(set.setting.value.integer, 0);
    EXPECT_EQ(set.setting.text, "tty-figs-after-space=0");
}

TEST(ArgumentsTest, SignallingRequestsParseTheirArguments) {
    const Request absent = ParseRequest("cid:-P|-O|01/02 03:04");
    EXPECT_EQ(absent.kind, RequestKind::CallerId);
    EXPECT_EQ(absent.numberAbsence, CallerIdAbsence::Private);
    EXPECT_EQ(absent.nameAbsence, CallerIdAbsence::Unavailable);
    EXPECT_EQ(absent.keys, "");
    EXPECT_EQ(absent.dateTime, "01/02 03:04");
    const Request named = ParseRequest("cid:5551234|-O");
    EXPECT_EQ(named.keys, "5551234");
    EXPECT_EQ(named.numberAbsence, CallerIdAbsence::None);
    EXPECT_EQ(named.nameAbsence, CallerIdAbsence::Unavailable);
    EXPECT_TRUE(ParseRequest("vmwi:on").active);
    EXPECT_FALSE(ParseRequest("vmwi:off").active);
    EXPECT_EQ(ParseRequest("mf:K123S").kind, RequestKind::Mf);
    EXPECT_EQ(ParseRequest("mf:K123S").keys, "K123S");
    EXPECT_EQ(ParseRequest("r2f:1B").kind, RequestKind::R2Forward);
    EXPECT_EQ(ParseRequest("r2b:1B").kind, RequestKind::R2Backward);
    EXPECT_EQ(UsageErrorOf({"--raw", "vmwi:yes"}), "'vmwi:yes': expected vmwi:on or vmwi:off");
    EXPECT_EQ(UsageErrorOf({"--raw", "--cid-standard", "jp"}),
              "--cid-standard: 'jp' is not one of bell|etsi|bt|ntt|dtmf");
    const Options o = Parse({"--raw", "--cid-standard", "ntt", "--cid-alert=offhook"});
    ASSERT_EQ(o.settings.size(), 2u);
    EXPECT_EQ(o.settings[0].value.integer, CS_NTT);
    EXPECT_EQ(o.settings[1].value.integer, CA_OffHook);
}

TEST(ArgumentsTest, MalformedRequestsAreUsageErrors) {
    for (const char* bad : {"dtmf123", "beep:1", "tone:100", "tone:100,0,1,2,3,4", "tone:a,0,440", "silence:",
                            "ttyhex:4", "ttyhex:zz", "cid:", "cid:1|2|3|4", "set:bits=12", "set:volume=1",
                            "set:rate", "set:encoding=mulaw", "set:rate=8k", "tones:", "tones:1|2|3|4@100", "tones:440@x"}) {
        EXPECT_THROW(ParseRequest(bad), UsageError) << bad;
    }
}

TEST(ArgumentsTest, ToneNotationGivesOneStepPerComma) {
    const std::vector<ToneStep> steps = ParseToneNotation("350|440@1000,0@250,,440,0|0@10,@20");
    ASSERT_EQ(steps.size(), 5u);  // empty steps are skipped
    EXPECT_EQ(steps[0].frequencies, (std::vector<float>{350.0f, 440.0f}));
    EXPECT_EQ(steps[0].duration, 1000);
    EXPECT_FALSE(steps[0].IsPause());
    EXPECT_TRUE(steps[1].IsPause());
    EXPECT_EQ(steps[1].duration, 250);
    EXPECT_TRUE(steps[2].IsPause());  // no '@': 500 ms of silence
    EXPECT_EQ(steps[2].duration, 500);
    EXPECT_TRUE(steps[3].IsPause());  // all frequencies zero
    EXPECT_TRUE(steps[4].IsPause());  // no frequency at all
    EXPECT_EQ(steps[4].duration, 20);
}

// The component has no GenerateTones; the tool queues one tone or silence per step instead, and
// renders the same bytes as the engine's GenerateTones.
TEST(ArgumentsTest, TonesRequestRendersWhatTheEngineGenerateTonesRenders) {
    const char16_t* notation = u"350|440@1000,0@500,440@250,480|620|100@333,@20,0|0@7,90";
    for (const std::int32_t bits : {8, 16}) {
        CVarnel engine;
        engine.set_BitsPerSample(bits);
        engine.set_SampleRate(8000);
        engine.GenerateBegin(nullptr);
        ASSERT_EQ(engine.GenerateTones(notation), S_OK);
        std::vector<std::uint8_t> expected, block(4096);
        for (std::int32_t n; (n = engine.ExecRequest(block.data(), 4096)) > 0;) {
            expected.insert(expected.end(), block.begin(), block.begin() + n);
        }

        Varnel v;
        v.BitsPerSample(bits);
        v.SampleRate(8000);
        v.GenerateBegin();
        const std::vector<std::int32_t> ids =
            QueueRequest(v, ParseRequest("tones:350|440@1000,0@500,440@250,480|620|100@333,@20,0|0@7,90"));
        EXPECT_EQ(ids, (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 6}));
        std::vector<std::uint8_t> rendered;
        for (std::int32_t n; (n = v.FetchWaveStream(block)) > 0;) rendered.insert(rendered.end(), block.begin(), block.begin() + n);
        EXPECT_EQ(rendered, expected) << bits << "-bit";
    }
}

}  // namespace
