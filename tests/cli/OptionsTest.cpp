// The tool's command-line parsing, called directly.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/Options.h"
#include "cli/Settings.h"
#include "cli/UsageError.h"

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

TEST(OptionsTest, OptionsAndRequestsAreTakenInOrder) {
    const Options o = Parse({"-o", "out.wav", "-r8e3", "--bits=8", "-a", "-12.5", "--tty-figs-after-space", "-v",
                             "-e", "ULAW", "--tty-mode", "ascii8", "--tty-rate", "45.45", "--no-tty-figs-after-space",
                             "dtmf:123", "set:tty-rate=74.2", "tty:HI"});
    EXPECT_EQ(o.mode, OutputMode::File);
    EXPECT_EQ(o.outputPath, "out.wav");
    EXPECT_TRUE(o.verbose);
    const std::vector<std::pair<const SettingSpec*, std::int32_t>> expected = {
        {&SettingsCatalog::kSampleRate, 8000}, {&SettingsCatalog::kBitsPerSample, 8}, {&SettingsCatalog::kAmplitude, 0},
        {&SettingsCatalog::kTtyFigsAfterSpace, 1}, {&SettingsCatalog::kEncoding, ENC_MuLaw},
        {&SettingsCatalog::kTtyMode, ASCII8_Mode}, {&SettingsCatalog::kTtyRate, BR_45_45_Baud},
        {&SettingsCatalog::kTtyFigsAfterSpace, 0}};
    ASSERT_EQ(o.render.settings.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(o.render.settings[i].spec, expected[i].first) << i;
        EXPECT_EQ(o.render.settings[i].value.integer, expected[i].second) << i;
    }
    EXPECT_EQ(o.render.settings[2].value.number, -12.5f);
    ASSERT_EQ(o.requests.size(), 3u);
    EXPECT_EQ(o.requests[2].index, 3u);
    EXPECT_TRUE(Parse({"-h"}).help);
    EXPECT_TRUE(Parse({"--version"}).version);
    EXPECT_TRUE(Parse({"--list-plans", "--bogus"}).listPlans);  // ends the parsing, like --help
    EXPECT_TRUE(Parse({"--print-requests", "dtmf:1"}).printRequests);
    EXPECT_EQ(Parse({"--dry-run", "--dbm0", "-13"}).render.dbm0, -13.0f);
}

TEST(OptionsTest, UsageErrorsSayWhatIsWrong) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--raw", "--bogus"}, "unknown option '--bogus'"},
        {{"-x", "--raw"}, "unknown option '-x'"},
        {{"-o", "a.wav", "--raw"}, "choose one output: -o FILE, --raw, --play, --pcap FILE or --rtp HOST:PORT"},
        {{"-o", "a.wav", "-o", "b.wav"}, "-o/--output given twice"},
        {{"dtmf:1"}, "no output: give -o FILE, --raw, --play, --pcap FILE or --rtp HOST:PORT"},
        {{"--raw", "-o"}, "option '-o' needs a value"},
        {{"--raw", "--bits", "12"}, "--bits: '12' is not 8 or 16"},
        {{"--raw", "--rate", "fast"}, "--rate: 'fast' is not an integer from 1 to 16777216"},
        {{"--raw", "--rate", "0"}, "--rate: '0' is not an integer from 1 to 16777216"},
        {{"--raw", "--rate", "8\t000"}, "--rate: '8\\t000' is not an integer from 1 to 16777216"},
        {{"--raw", "--tty-rate", "60"}, "--tty-rate: '60' is not one of 45.45|50|56.92|74.20|100|110"},
        {{"--raw", "--verbose=1"}, "option '--verbose' takes no value"},
        {{"--raw", "-a", "nan"}, "--amplitude: 'nan' is not a number from -16777216 to 16777216"},
        {{"--raw", "-a", "3"}, "--amplitude: '3' is above 0 dB, the full scale: the level must be 0 or below"},
        {{"--raw", "--dtmf-tone", "-1"}, "--dtmf-tone: '-1' is not an integer from 0 to 2147483647"},
        {{"--raw", "--dtmf-twist", "21"}, "--dtmf-twist: '21' is not a number from -20 to 20"},
        {{"--raw", "--tone-modulation-depth", "101"}, "--tone-modulation-depth: '101' is not an integer from 0 to 100"},
        {{"--raw", "--no-verbose"}, "unknown option '--no-verbose'"},
        {{"--raw", "--dbm0", "loud"}, "--dbm0: 'loud' is not a number from -200 to 200"},
        {{"--raw", "set:encoding=g711"}, "request 1 'set:encoding=g711': encoding: 'g711' is not one of pcm|ulaw|alaw"},
        {{"--raw", "-f", "/no/such/script"}, "cannot read the script '/no/such/script': No such file or directory"},
        {{"--raw", "-f", "-", "ttyfile:-"}, "-f - and ttyfile:- both read standard input: give one of them a file"},
        {{"--play", "-e", "ulaw", "dtmf:1"}, "--play plays PCM only: write G.711 with -o FILE or --raw"},
        {{"--play", "set:encoding=alaw", "dtmf:1"}, "--play plays PCM only: write G.711 with -o FILE or --raw"},
        {{"--play", "-e", "ulaw", "set:encoding=pcm", "dtmf:1"}, ""},
        {{"--raw", "--seed", "18446744073709551616"}, "--seed: '18446744073709551616' is not a whole number from 0 to 18446744073709551615"},
        {{"--pcap", "p", "--seed", "99999999999999999999"}, "--seed: '99999999999999999999' is not a whole number from 0 to 18446744073709551615"},
        {{"--pcap", "p", "--ptime", "61"}, "--ptime: '61' is not a whole number of milliseconds from 10 to 60"},
        {{"--pcap", "p", "--event-pt", "0"}, "--event-pt: '0' is the audio's payload type (PCMU): give a dynamic type from 96 to 127"},
        {{"--pcap", "p", "--t140-pt", "1000"}, "--t140-pt: '1000' is not a dynamic payload type from 96 to 127"},
        {{"--pcap", "p", "--pcap-start", "2024-02-30T00:00:00Z"}, "--pcap-start: '2024-02-30T00:00:00Z' is not a time from 1970 to 2106 as "
                                                                  "YYYY-MM-DDTHH:MM:SS[.ffffff]Z (UTC) or seconds since 1970"},
        {{"--pcap", "p", "--rtp-src", "1.2.3.4"}, "--rtp-src: '1.2.3.4' has no port: give HOST:PORT, or [IPV6]:PORT"},
        {{"--pcap", "p", "--dtmf-mode", "foo"}, "--dtmf-mode: 'foo' is not inband or rfc4733"},
        {{"--raw", "--noise", "5"}, "--noise: '5' is not a level from -100 to +3.14 dBm0"},
        {{"--raw", "--noise-band", "foo"}, "--noise-band: 'foo' is not flat or telephone"},
        {{"--raw", "--codec-tandem", "0"}, "--codec-tandem: '0' is not N[:ulaw|alaw] with N from 1 to 10"},
        {{"--raw", "--codec-tandem", "99999999999999999999999"}, "--codec-tandem: '99999999999999999999999' is not N[:ulaw|alaw] with N from 1 to 10"},
        {{"--raw", "--dropout", "5@4"}, "--dropout: '5@4' is not MS@EVERY with 0 < MS < EVERY <= 3600000 milliseconds"},
        {{"suite", "dtmf", "-o", "d", "--shard", "3/2"}, "--shard I: '3' is not a whole number from 1 to 2"},
        {{"suite", "dtmf", "-o", "d", "--shard", "2/1"}, "--shard I: '2' is not a whole number from 1 to 1"},
        {{"suite", "dtmf", "-o", "d", "--shard", "9/5"}, "--shard I: '9' is not a whole number from 1 to 5"},
        {{"suite", "dtmf", "-o", "d", "--shard", "0/3"}, "--shard I: '0' is not a whole number from 1 to 3"},
        {{"suite", "dtmf", "-o", "d", "--shard", "1/0"}, "--shard N: '0' is not a whole number from 1 to 1000000"},
        {{"corpus", "r.json", "-o", "d", "--shard", "4/3"}, "--shard I: '4' is not a whole number from 1 to 3"},
        {{"suite", "dtmf", "-o", "d", "--seed", "18446744073709551616"}, "--seed: '18446744073709551616' is not a whole number from 0 to 18446744073709551615"},
        {{"suite", "dtmf", "-o", "d", "-e", "mulaw"}, "suite: -e: 'mulaw' is not pcm, ulaw or alaw"},
    };
    for (const auto& [args, message] : cases) EXPECT_EQ(UsageErrorOf(args), message) << args.back();
}

// The tool's own defaults, and the options that give the component's back.
TEST(OptionsTest, ToolDefaultsAreInTheHelp) {
    EXPECT_EQ(ToolDefault(SettingsCatalog::kCidBitTiming).integer, CBT_Exact);
    EXPECT_EQ(ToolDefault(SettingsCatalog::kTtyFigsAfterSpace).integer, 1);
    EXPECT_EQ(ToolDefault(SettingsCatalog::kSampleRate).integer, 11025);
    const std::string help = HelpText();
    EXPECT_NE(help.find("Caller-ID bit timing (exact; the component's default is whole)"), std::string::npos) << help;
    EXPECT_NE(help.find("--no-tty-figs-after-space turns it off, the component's default"), std::string::npos) << help;
}

}  // namespace
