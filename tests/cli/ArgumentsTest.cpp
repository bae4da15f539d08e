// The tool's command-line parsing, called directly.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/Numbers.h"
#include "cli/Options.h"
#include "cli/Request.h"
#include "cli/Session.h"
#include "cli/Text.h"
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

// Numbers take an exponent, and a number that does not fit is refused, never rounded into range.
TEST(ArgumentsTest, NumbersTakeExponentsAndRefuseWhatDoesNotFit) {
    struct Case {
        const char* text;
        bool integer;  // ParseInt32, else ParseFloat
        double value;
        const char* error;  // "" when it parses
    };
    const Case cases[] = {
        {"8e3", true, 8000, ""},
        {"1.5E3", true, 1500, ""},
        {"+2147483647", true, 2147483647, ""},
        {"-2147483648", true, -2147483648.0, ""},
        {"2147483648", true, 0, "n: '2147483648' is not an integer from -2147483648 to 2147483647"},
        {"1e10", true, 0, "n: '1e10' is not an integer from -2147483648 to 2147483647"},
        {"1e999", true, 0, "n: '1e999' is not an integer from -2147483648 to 2147483647"},
        {"1.5", true, 0, "n: '1.5' is not an integer"},
        {"0x10", true, 0, "n: '0x10' is not an integer"},
        {"1e3", false, 1000, ""},
        {"-6.5e-1", false, -0.65, ""},
        {"16777216", false, 16777216, ""},
        {"1e-50", false, 0, ""},
        {"16777217", false, 0, "n: '16777217' is not a number from -16777216 to 16777216"},
        {"99999999999999999999", false, 0, "n: '99999999999999999999' is not a number from -16777216 to 16777216"},
        {"-1e39", false, 0, "n: '-1e39' is not a number from -16777216 to 16777216"},
        {"inf", false, 0, "n: 'inf' is not a number"},
        {"nan", false, 0, "n: 'nan' is not a number"},
        {"1e", false, 0, "n: '1e' is not a number"},
        {" 1", false, 0, "n: ' 1' is not a number"},
        {"1\n", false, 0, "n: '1\\n' is not a number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            const double value = c.integer ? static_cast<double>(ParseInt32(c.text, "n"))
                                           : static_cast<double>(ParseFloat(c.text, "n"));
            EXPECT_STREQ("", c.error);
            EXPECT_EQ(value, c.integer ? c.value : static_cast<double>(static_cast<float>(c.value)));
        } catch (const UsageError& e) {
            EXPECT_STREQ(e.what(), c.error);
        }
    }
    EXPECT_EQ(ParseRequest("tone:1e3,0,4.4e2").onTime, 1000);
    EXPECT_EQ(UsageErrorOf({"--raw", "-r", "8e3"}), "");
}

TEST(ArgumentsTest, InputTheToolShouldNotTakeSilentlyIsRefused) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--raw", "dtmf:xyz"}, "'dtmf:xyz': no DTMF key in 'xyz': the keys are 0-9, A-D, * and #, and ',' pauses"},
        {{"--raw", "dtmf:"}, "'dtmf:': no DTMF key in '': the keys are 0-9, A-D, * and #, and ',' pauses"},
        {{"--raw", "-a", "3"}, "--amplitude: '3' is above 0 dB, the full scale: the level must be 0 or below"},
        {{"--raw", "set:amplitude=1e-3"},
         "'set:amplitude=1e-3': amplitude: '1e-3' is above 0 dB, the full scale: the level must be 0 or below"},
        {{"--raw", "tone:100,0,99999999999999999999"},
         "'tone:100,0,99999999999999999999': frequency (Hz): '99999999999999999999' is not a number from -16777216 "
         "to 16777216"},
        {{"--raw", "ttyfile:"}, "'ttyfile:': expected ttyfile:PATH, or ttyfile:- for standard input"},
        {{"--raw", "--rate", "8\t000"}, "--rate: '8\\t000' is not an integer"},
        {{"--raw", "--no-verbose"}, "unknown option '--no-verbose'"},
        {{"--raw", "--no-rate", "1"}, "unknown option '--no-rate'"},
    };
    for (const auto& [args, message] : cases) EXPECT_EQ(UsageErrorOf(args), message) << args.back();
    EXPECT_EQ(UsageErrorOf({"--raw", "beep\x1b[1m:1"}).rfind("'beep\\x1b[1m:1': unknown request kind 'beep\\x1b[1m' (dtmf, ", 0),
              0u);
    for (const char* fine : {"0", "-0", "-1e-3", "-120"}) EXPECT_EQ(UsageErrorOf({"--raw", "-a", fine}), "") << fine;
}

TEST(ArgumentsTest, SkippedDtmfKeysAreNamedOnce) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"dtmf:555-0123", {"skips '-' (not a DTMF key)"}},
        {"dtmf:(555) 012-3#", {"skips '(' ')' ' ' '-' (not DTMF keys)"}},
        {"dtmf:1\xc3\xa9\x01" "2", {"skips '\xc3\xa9' '\\x01' (not DTMF keys)"}},
        {"dtmf:0123456789ABCDabcd*#,", {}},
    };
    for (const auto& [text, warnings] : cases) {
        const Request r = ParseRequest(text);
        EXPECT_EQ(r.warnings, warnings) << text;
        EXPECT_EQ(r.keys, text.substr(5));  // the generator skips them itself
    }
}

TEST(ArgumentsTest, ControlCharactersAreEscapedForMessages) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain text", "plain text"},       {"a\nb\tc\rd", "a\\nb\\tc\\rd"},   {"\x1b[31m", "\\x1b[31m"},
        {"\x7f", "\\x7f"},                  {"caf\xc3\xa9", "caf\xc3\xa9"},     {"\xc2\x9b" "2J", "\\u009b2J"},
        {"\xff\xfe", "\\xff\\xfe"},         {"\xc3", "\\xc3"},                  {"\xed\xa0\x80", "\\xed\\xa0\\x80"},
        {"\xf0\x9f\x93\x9e", "\xf0\x9f\x93\x9e"}, {std::string("a\0b", 3), "a\\x00b"},
    };
    for (const auto& [text, printable] : cases) EXPECT_EQ(Printable(text), printable);
    EXPECT_EQ(ParseRequest("tty:A\nB").text, "tty:A\\nB");
    EXPECT_EQ(ParseRequest("tty:A\nB").keys, "A\nB");
}

// The tool's own defaults, and the options that give the component's back.
TEST(ArgumentsTest, ToolDefaultsAndTheirNegations) {
    EXPECT_EQ(ToolDefault(SettingsCatalog::kCidBitTiming).integer, CBT_Exact);
    EXPECT_EQ(ToolDefault(SettingsCatalog::kTtyFigsAfterSpace).integer, 1);
    EXPECT_EQ(ToolDefault(SettingsCatalog::kSampleRate).integer, 11025);
    const Options o = Parse({"--dry-run", "--no-tty-figs-after-space", "--cid-timing", "whole"});
    EXPECT_TRUE(o.dryRun);
    EXPECT_EQ(o.mode, OutputMode::None);
    ASSERT_EQ(o.settings.size(), 2u);
    EXPECT_EQ(o.settings[0].spec, &SettingsCatalog::kTtyFigsAfterSpace);
    EXPECT_EQ(o.settings[0].value.integer, 0);
    EXPECT_EQ(o.settings[1].value.integer, CBT_WholeSamples);
    Varnel v;
    ApplyLeadingSettings(v, o, {});
    EXPECT_EQ(v.CID_BitTiming(), CBT_WholeSamples);
    EXPECT_EQ(v.TTY_FigsAfterSpace(), 0);
    Varnel defaults;
    ApplyLeadingSettings(defaults, Parse({"--raw"}), {});
    EXPECT_EQ(defaults.CID_BitTiming(), CBT_Exact);
    EXPECT_EQ(defaults.TTY_FigsAfterSpace(), 1);
    EXPECT_EQ(Parse({"-o", "-"}).outputPath, "-");
    const std::string help = HelpText();
    EXPECT_NE(help.find("Caller-ID bit timing (exact; the component's default is whole)"), std::string::npos) << help;
    EXPECT_NE(help.find("--no-tty-figs-after-space turns it off, the component's default"), std::string::npos) << help;
}

// A frequency at or above half the sample rate aliases: every such frequency of a tone or tones
// request is named once.
TEST(ArgumentsTest, AliasingFrequenciesAreWarnedAbout) {
    const auto warning = [](const char* hz, const char* half, int rate) {
        return std::string(hz) + " Hz is at or above half the sample rate (" + half + " Hz at " + std::to_string(rate) +
               " Hz): it aliases";
    };
    EXPECT_EQ(Warnings(ParseRequest("tone:10,0,3999.5,4000,9000"), 8000),
              (std::vector<std::string>{warning("4000", "4000", 8000), warning("9000", "4000", 8000)}));
    EXPECT_EQ(Warnings(ParseRequest("tones:440|6000@10,0@10,6000@10"), 11025),
              (std::vector<std::string>{warning("6000", "5512.5", 11025)}));
    EXPECT_EQ(Warnings(ParseRequest("pattern:400*25/400,0/200,5000+6000/100"), 8000),
              (std::vector<std::string>{warning("5000", "4000", 8000), warning("6000", "4000", 8000)}));
    EXPECT_EQ(Warnings(ParseRequest("plan:uk:busy"), 400), (std::vector<std::string>{warning("400", "200", 400)}));
    EXPECT_TRUE(Warnings(ParseRequest("plan:uk:busy"), 8000).empty());
    EXPECT_TRUE(Warnings(ParseRequest("tone:10,0,9000"), 44100).empty());
    EXPECT_TRUE(Warnings(ParseRequest("silence:10"), 8).empty());
    EXPECT_EQ(Warnings(ParseRequest("dtmf:1-2"), 8000), (std::vector<std::string>{"skips '-' (not a DTMF key)"}));
}

}  // namespace
