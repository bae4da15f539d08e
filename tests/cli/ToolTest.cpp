// The built `varnel` tool, run end to end: its files and streams against the same requests
// through the component, its refusals, its usage errors and its built-in scenario.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "support/Shell.h"
#include "support/WaveFiles.h"
#include "varnel/Varnel.h"

namespace {

using namespace varnel_test;
using Bytes = std::vector<std::uint8_t>;

struct Result {
    int status = -1;
    std::string out;  // standard output, byte for byte
    std::string err;
};

class ToolTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return (m_dir.path() / name).string(); }

    // Runs the tool with the arguments; env is a prefix such as "SDL_AUDIODRIVER=disk"; input is
    // what it reads on standard input.
    Result Run(const std::vector<std::string>& args, const std::string& env = "", const std::string& input = "") const {
        std::string command = env + " " + Quote(VARNEL_CLI_PATH);
        for (const std::string& arg : args) command.append(" ").append(Quote(arg));
        std::ofstream(Path("stdin"), std::ios::binary) << input;
        command += " >" + Quote(Path("stdout")) + " 2>" + Quote(Path("stderr")) + " <" + Quote(Path("stdin"));
        const int status = std::system(command.c_str());
        Result r;
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        const Bytes out = ReadFileBytes(Path("stdout"));
        const Bytes err = ReadFileBytes(Path("stderr"));
        r.out.assign(out.begin(), out.end());
        r.err.assign(err.begin(), err.end());
        return r;
    }

    // The WAV file the component writes with the tool's base settings (kSettings, and the tool's
    // defaults where they differ from the component's), then setup, for the requests.
    Bytes ThroughComponent(const std::function<void(Varnel&)>& setup,
                           const std::function<void(Varnel&)>& requests) const {
        const std::string path = Path("component.wav");
        Varnel v;
        v.SampleRate(8000);
        v.Amplitude(-10.0f);
        v.DTMF_ToneTime(60);
        v.CID_BitTiming(CBT_Exact);
        v.TTY_FigsAfterSpace(1);
        setup(v);
        v.GenerateBegin(path);
        requests(v);
        v.GenerateEnd();
        return ReadFileBytes(path);
    }

    ScratchDir m_dir;
};

Bytes DataOf(const std::string& stdoutBytes) { return Bytes(stdoutBytes.begin(), stdoutBytes.end()); }

const std::vector<std::string> kSettings = {"-r", "8000", "-a", "-10", "--dtmf-tone", "60"};

TEST_F(ToolTest, EveryRequestKindWritesWhatTheComponentWrites) {
    const std::vector<std::string> requests = {"dtmf:555-0123#", "tone:300,100,440,480", "silence:120",
                                               "tones:350|440@200,0@100,620@50", "cid:5551234|JOHN DOE|12/25 10:30",
                                               "tty:HELLO 123", "ttyhex:48454c4c4f"};
    std::vector<std::string> args = kSettings;
    args.insert(args.end(), {"-o", Path("tool.wav")});
    args.insert(args.end(), requests.begin(), requests.end());
    const Result r = Run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.empty());

    const Bytes expected = ThroughComponent([](Varnel&) {}, [](Varnel& v) {
        v.GenerateDTMFs("555-0123#");
        v.GenerateTone(300, 100, 440.0f, 480.0f, 0.0f);
        v.GenerateSilence(120.0f);
        v.GenerateTone(200, 0, 350.0f, 440.0f, 0.0f);  // tones: one request per step
        v.GenerateSilence(100.0f);
        v.GenerateTone(50, 0, 620.0f, 0.0f, 0.0f);
        v.GenerateCallerID("5551234", "JOHN DOE", "12/25 10:30");
        v.GenerateTTY("HELLO 123");
        const std::uint8_t hello[] = {'H', 'E', 'L', 'L', 'O'};
        v.GenerateTTYEx(hello);
    });
    EXPECT_EQ(ReadFileBytes(Path("tool.wav")), expected);

    // One summary line per request, with its request IDs, kind and duration.
    for (const char* line : {"varnel: request 0: dtmf, ", "varnel: request 1: tone, 0.400 s: tone:300,100,440,480",
                             "varnel: request 2: silence, 0.120 s: silence:120",
                             "varnel: requests 3-5: tones, 0.350 s: tones:350|440@200,0@100,620@50",
                             "varnel: request 6: cid, ", "varnel: request 7: tty, ", "varnel: request 8: ttyhex, ",
                             "varnel: wrote "}) {
        EXPECT_NE(r.err.find(line), std::string::npos) << line << "\n" << r.err;
    }

    // --raw: the same audio, nothing but the data chunk on standard output.
    args = kSettings;
    args.push_back("--raw");
    args.insert(args.end(), requests.begin(), requests.end());
    const Result raw = Run(args);
    ASSERT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(raw.err, "varnel: warning: 'dtmf:555-0123#': skips '-' (not a DTMF key)\n");
    const auto wave = ReadWave(Path("tool.wav"));
    ASSERT_TRUE(wave);
    EXPECT_EQ(DataOf(raw.out), wave->data);
}

TEST_F(ToolTest, OptionsSetTheComponentAndSetRequestsChangeItBetweenRequests) {
    std::vector<std::string> args = kSettings;
    args.insert(args.end(), {"-o", Path("tool.wav"), "-b", "8", "--dtmf-break", "90", "--dtmf-pause", "200",
                             "--tty-mode", "ascii7", "--tty-rate", "110", "--cid-format", "sdmf", "--cid-timing",
                             "exact", "--tty-figs-after-space", "set:amplitude=-3", "dtmf:1,2", "tty:A 1 2",
                             "cid:5551234||01/02 03:04", "set:tty-mode=baudot", "set:tty-rate=50",
                             "set:tty-figs-after-space=0", "set:dtmf-tone=40", "set:cid-format=raw",
                             "set:cid-timing=whole", "set:amplitude=-20", "tty:A 1 2", "dtmf:3", "cid:HELLO"});
    const Result r = Run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes expected = ThroughComponent(
        [](Varnel& v) {
            v.BitsPerSample(8);
            v.DTMF_BreakTime(90);
            v.DTMF_PauseTime(200);
            v.TTY_Mode(ASCII7_Mode);
            v.TTY_Rate(BR_110_Baud);
            v.CID_Format(CID_SDMF);
            v.CID_BitTiming(CBT_Exact);
            v.TTY_FigsAfterSpace(1);
            v.Amplitude(-3.0f);  // a set: before the first signal request counts from the start
        },
        [](Varnel& v) {
            v.GenerateDTMFs("1,2");
            v.GenerateTTY("A 1 2");
            v.GenerateCallerID("5551234", "", "01/02 03:04");
            v.TTY_Mode(Baudot_Mode);
            v.TTY_Rate(BR_50_Baud);
            v.TTY_FigsAfterSpace(0);
            v.DTMF_ToneTime(40);
            v.CID_Format(CID_RAW);
            v.CID_BitTiming(CBT_WholeSamples);
            v.Amplitude(-20.0f);
            v.GenerateTTY("A 1 2");
            v.GenerateDTMFs("3");
            v.GenerateCallerID("HELLO", "", "");
        });
    EXPECT_EQ(ReadFileBytes(Path("tool.wav")), expected);
    const auto wave = ReadWave(Path("tool.wav"));
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->format.wBitsPerSample, 8);
    EXPECT_EQ(wave->format.nSamplesPerSec, 8000u);
}

TEST_F(ToolTest, LeadingSetRequestsShapeTheFormatAndLaterOnesAreUsageErrors) {
    const Result r = Run({"-o", Path("tool.wav"), "set:rate=16000", "set:bits=8", "silence:100", "set:amplitude=-3",
                          "silence:100"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto wave = ReadWave(Path("tool.wav"));
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->format.nSamplesPerSec, 16000u);
    EXPECT_EQ(wave->format.wBitsPerSample, 8);
    EXPECT_EQ(wave->data.size(), 1600u + 1600u);
    EXPECT_NE(r.err.find("request 1: silence, 0.100 s"), std::string::npos) << r.err;
    std::filesystem::remove(Path("tool.wav"));

    // Refused before anything is written, to a file, to standard output or to the device.
    for (const std::vector<std::string>& output :
         {std::vector<std::string>{"-o", Path("tool.wav")}, {"--raw"}, {"--play"}}) {
        std::vector<std::string> args = output;
        args.insert(args.end(), {"silence:100", "set:encoding=alaw", "silence:100"});
        const Result later = Run(args, "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=" + Quote(Path("played.raw")));
        EXPECT_EQ(later.status, 2) << output[0];
        EXPECT_NE(later.err.find("varnel: request 2 'set:encoding=alaw': it comes after the first signal request"),
                  std::string::npos)
            << later.err;
        EXPECT_TRUE(later.out.empty());
        EXPECT_FALSE(std::filesystem::exists(Path("tool.wav")));
        EXPECT_FALSE(std::filesystem::exists(Path("played.raw")));
    }
}

// -e writes G.711: the component's bytes behind a header sox reads, and the summary says so.
TEST_F(ToolTest, EncodingWritesG711FilesAndStreams) {
    const std::vector<std::string> requests = {"dtmf:159", "silence:50", "cid:5551234|A|01/02 03:04"};
    for (const auto& [word, encoding, tag, name] :
         {std::tuple{"ulaw", ENC_MuLaw, 7, "G.711 mu-law"}, std::tuple{"alaw", ENC_ALaw, 6, "G.711 A-law"}}) {
        SCOPED_TRACE(word);
        std::vector<std::string> args = kSettings;
        args.insert(args.end(), {"-e", word, "-o", Path("tool.wav")});
        args.insert(args.end(), requests.begin(), requests.end());
        const Result r = Run(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("varnel: wrote " + Path("tool.wav") + ": 8000 Hz, " + name + " mono, "), std::string::npos)
            << r.err;
        const Bytes expected = ThroughComponent([encoding = encoding](Varnel& v) { v.Encoding(encoding); },
                                                [](Varnel& v) {
                                                    v.GenerateDTMFs("159");
                                                    v.GenerateSilence(50.0f);
                                                    v.GenerateCallerID("5551234", "A", "01/02 03:04");
                                                });
        EXPECT_EQ(ReadFileBytes(Path("tool.wav")), expected);
        const auto wave = ReadWave(Path("tool.wav"));
        ASSERT_TRUE(wave);
        EXPECT_EQ(wave->format.wFormatTag, tag);
        EXPECT_EQ(wave->format.wBitsPerSample, 8);
        EXPECT_EQ(wave->factSamples, wave->data.size());

        args = kSettings;
        args.insert(args.end(), {"set:encoding=" + std::string(word), "--raw"});
        args.insert(args.end(), requests.begin(), requests.end());
        const Result raw = Run(args);
        ASSERT_EQ(raw.status, 0) << raw.err;
        EXPECT_EQ(DataOf(raw.out), wave->data);
    }
}

TEST_F(ToolTest, SoxAcceptsTheG711Files) {
    VARNEL_REQUIRE_TOOL("sox");
    for (const auto& [word, encoding] : {std::pair{"ulaw", "u-law"}, std::pair{"alaw", "A-law"}}) {
        const Result r = Run({"-o", Path("g711.wav"), "-r", "8000", "-e", word, "dtmf:1", "silence:20"});
        ASSERT_EQ(r.status, 0) << r.err;
        std::string output;
        EXPECT_EQ(RunShell("sox --i -e " + Quote(Path("g711.wav")), output), 0) << output;
        EXPECT_EQ(output, std::string(encoding) + "\n");
        EXPECT_EQ(RunShell("sox --i -r " + Quote(Path("g711.wav")), output), 0) << output;
        EXPECT_EQ(output, "8000\n");
    }
}

TEST_F(ToolTest, SignallingRequestsWriteWhatTheComponentWrites) {
    const Result r = Run({"-r", "8000", "--cid-standard", "etsi", "--cid-alert", "dtas", "-o", Path("signal.wav"),
                          "cid:0123456789|ANNA|12/25 10:30", "cid:-O|-P|12/25 10:30", "vmwi:on", "mf:K123S", "r2f:1B",
                          "r2b:2C", "set:cid-standard=dtmf", "set:cid-alert=none", "cid:0123"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes expected = ThroughComponent(
        [](Varnel& v) {
            v.Amplitude(-6.0f);
            v.DTMF_ToneTime(80);
            v.CID_Standard(CS_ETSI);
            v.CID_Alert(CA_DTAS);
        },
        [](Varnel& v) {
            v.GenerateCallerID("0123456789", "ANNA", "12/25 10:30");
            v.GenerateCallerID("", "", "12/25 10:30", CallerIdAbsence::Unavailable, CallerIdAbsence::Private);
            v.GenerateVMWI(true);
            v.GenerateMF("K123S");
            v.GenerateR2MF("1B", false);
            v.GenerateR2MF("2C", true);
            v.CID_Standard(CS_DTMF);
            v.CID_Alert(CA_None);
            v.GenerateCallerID("0123", "", "");
        });
    EXPECT_EQ(ReadFileBytes(Path("signal.wav")), expected);
    for (const char* line : {"varnel: request 2: vmwi, ", "varnel: request 3: mf, 0.712 s: mf:K123S",
                             "varnel: request 4: r2f, 0.600 s: r2f:1B", "varnel: request 6: cid, 0.840 s: cid:0123"}) {
        EXPECT_NE(r.err.find(line), std::string::npos) << line << "\n" << r.err;
    }
    const Result refused = Run({"-o", Path("refused.wav"), "--cid-standard", "dtmf", "cid:555-1234"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("DTMF Caller-ID numbers are digits only."), std::string::npos) << refused.err;
}

// The options of the settings catalog are the tool's: each is in --help and in the tool page's
// summary of the options.
TEST_F(ToolTest, EverySettingOptionIsInTheHelpAndTheToolPage) {
    const Result help = Run({"--help"});
    ASSERT_EQ(help.status, 0);
    const Bytes pageBytes = ReadFileBytes(std::string(VARNEL_DOCS_DIR) + "/tool.md");
    const std::string page(pageBytes.begin(), pageBytes.end());
    const std::size_t begin = page.find("varnel [OPTIONS]");
    const std::size_t end = page.find("REQUEST, queued in order:", begin);
    ASSERT_NE(begin, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    const std::string optionList = page.substr(begin, end - begin);
    for (const SettingSpec* setting : SettingsCatalog::All()) {
        const std::string option = "--" + std::string(setting->option);
        EXPECT_NE(help.out.find(option), std::string::npos) << option << " is not in --help";
        EXPECT_NE(optionList.find(option), std::string::npos) << option << " is not in the tool page's option list";
    }
    EXPECT_NE(help.out.find("-e, --encoding pcm|ulaw|alaw"), std::string::npos) << help.out;
}

TEST_F(ToolTest, UnwritableOutputExitsOneAndLeavesDevicesAlone) {
    const Result missing = Run({"-o", Path("no/such/dir.wav"), "dtmf:1"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "varnel: " + Path("no/such/dir.wav") +
                               ": Unable to create or write this wave file. (No such file or directory)\n");
    const Result labels = Run({"-o", Path("kept.wav"), "--labels", Path("no/such/labels.txt"), "dtmf:1"});
    EXPECT_EQ(labels.status, 1);
    EXPECT_EQ(labels.err, "varnel: " + Path("no/such/labels.txt") +
                              ": Unable to create or write this label file. (No such file or directory)\n");
    EXPECT_FALSE(std::filesystem::exists(Path("kept.wav")));
    if (std::filesystem::exists("/dev/full")) {
        const Result full = Run({"-o", "/dev/full", "dtmf:1"});
        EXPECT_EQ(full.status, 1);
        EXPECT_EQ(full.err, "varnel: /dev/full: Unable to create or write this wave file. (No space left on device)\n");
        EXPECT_TRUE(std::filesystem::exists("/dev/full"));
    }
}

// Everything refused before rendering exits 2 with the reason (and, for a command line that does
// not parse, the usage line) and writes nothing, to a file or to standard output.
TEST_F(ToolTest, RefusalsExitTwoWithTheReasonAndWriteNothing) {
    const std::string usage = "Usage: varnel [OPTIONS] (-o FILE | --raw | --play | --pcap FILE | --rtp HOST:PORT | --sdp FILE) [-f SCRIPT] "
                              "[REQUEST...]";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--loud"}, "varnel: unknown option '--loud'\n" + usage},
        {{"--play"}, "varnel: choose one output: -o FILE, --raw, --play, --pcap FILE or --rtp HOST:PORT\n" + usage},
        {{"--rate"}, "varnel: option '--rate' needs a value\n" + usage},
        {{"-r", "0"}, "varnel: --rate: '0' is not an integer from 1 to 16777216\n" + usage},
        {{"-r", "1.5"}, "varnel: --rate: '1.5' is not an integer from 1 to 16777216\n" + usage},
        {{"-a", "1"}, "varnel: --amplitude: '1' is above 0 dB, the full scale: the level must be 0 or below"},
        {{"--dtmf-twist", "21"}, "varnel: --dtmf-twist: '21' is not a number from -20 to 20"},
        {{"--tone-modulation-depth", "101"}, "varnel: --tone-modulation-depth: '101' is not an integer from 0 to 100"},
        {{"--dtmf-tone", "-1", "dtmf:2"}, "varnel: --dtmf-tone: '-1' is not an integer from 0 to 2147483647"},
        {{"set:dtmf-tone=-5", "dtmf:2"}, "varnel: request 1 'set:dtmf-tone=-5': dtmf-tone: '-5' is not an integer from 0"},
        {{"set:dtmf-twist=30"}, "varnel: request 1 'set:dtmf-twist=30': dtmf-twist: '30' is not a number from -20 to 20"},
        {{"-e", "mulaw"}, "varnel: --encoding: 'mulaw' is not one of pcm|ulaw|alaw"},
        {{"dtmf:"}, "varnel: request 1 'dtmf:': no DTMF key in ''"},
        {{"mf:"}, "varnel: request 1 'mf:': no signal: expected R1 signals"},
        {{"sit:xx"}, "varnel: request 1 'sit:xx': 'xx' is not a special information tone (nc, ic, vc, ro, itu)"},
        {{"modem:foo"}, "varnel: request 1 'modem:foo': 'foo' is not a modem tone (cng|ans|ans-pr|ansam|ansam-pr)"},
        {{"beep:1"}, "varnel: request 1 'beep:1': unknown request kind 'beep'"},
        {{"dtmf:1", "set:encoding=alaw", "dtmf:2"},
         "varnel: request 2 'set:encoding=alaw': it comes after the first signal request: the output's format (rate, "
         "bits, encoding) can only be set before it"},
        {{"dtmf:123", "tone:100,0,-5"}, "varnel: request 2 'tone:100,0,-5': Frequency parameter can't be negative."},
        {{"tty:"}, "varnel: request 1 'tty:': Text parameter is empty!"},
        {{"--cid-alert", "dtas", "cid:555"},
         "varnel: request 1 'cid:555': --cid-alert dtas is not defined for --cid-standard bell: use --cid-alert none "
         "or --cid-alert offhook"},
        {{"--cid-format", "sdmf", "cid:555|ANNA"},
         "varnel: request 1 'cid:555|ANNA': --cid-format sdmf sends no name: use --cid-format mdmf, or leave the name "
         "out"},
        {{"--cid-format", "raw", "cid:-P"},
         "varnel: request 1 'cid:-P': --cid-format raw sends the number's bytes as the whole message: it has no "
         "absence reason"},
        {{"cid:-p"}, "varnel: request 1 'cid:-p': the number '-p' starts with '-': only -O (unavailable) and -P"},
        {{"--cid-standard", "ntt", "cid:12\xd0\x94"},
         "varnel: request 1 'cid:12\xd0\x94': the number's character 3 '\xd0\x94' cannot be sent: NTT Caller-ID "
         "carries printable 7-bit characters only"},
        {{"--cid-standard", "etsi", "cid:555|\xd0\x98\xd0\xb2\xd0\xb0\xd0\xbd"},
         "the name's character 1 '\xd0\x98' cannot be sent: ETSI Caller-ID carries Windows-1252 characters only"},
        {{"cid:555||02/30 10:00"}, "the date and time '02/30 10:00': the day 30 is not 01 to 29 in month 02"},
        {{"--dbm0", "-2", "--dtmf-twist", "3", "dtmf:1"}, "varnel: request 1 'dtmf:1': --dbm0 -2 with --dtmf-twist 3 "
                                                             "puts the DTMF pair past full scale"},
    };
    for (const auto& [args, message] : cases) {
        for (const char* output : {"-o", "--raw"}) {
            std::vector<std::string> command = {output};
            if (std::string(output) == "-o") command.push_back(Path("x.wav"));
            command.insert(command.end(), args.begin(), args.end());
            const Result r = Run(command);
            EXPECT_EQ(r.status, 2) << message;
            EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
            EXPECT_TRUE(r.out.empty());
            EXPECT_FALSE(std::filesystem::exists(Path("x.wav")));
        }
    }
    for (const char* fine : {"modem:ANS", "vmwi:ON", "SIT:NC", "plan:UK:BUSY", "pattern:400 /100,0/ 100:200", "-e ULAW"}) {
        std::vector<std::string> command = {"--raw"};
        const std::string text = fine;
        if (text.rfind("-e ", 0) == 0) {
            command.insert(command.end(), {"-e", text.substr(3), "dtmf:1"});
        } else {
            command.push_back(text);
        }
        EXPECT_EQ(Run(command).status, 0) << fine;
    }
    const Result help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind(usage, 0), 0u) << help.out;
    const Result version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("varnel ", 0), 0u) << version.out;
}

TEST_F(ToolTest, BuiltInScenarioWritesAValidWaveFileAndSaysWhatItRendered) {
    const Result r = Run({"-o", Path("demo.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("built-in scenario"), std::string::npos) << r.err;
    for (const char* kind : {": tone, ", ": dtmf, ", ": tones, ", ": cid, ", ": tty, "}) {
        EXPECT_NE(r.err.find(kind), std::string::npos) << kind << "\n" << r.err;
    }
    const auto wave = ReadWave(Path("demo.wav"));
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->format.nSamplesPerSec, 11025u);
    EXPECT_EQ(wave->format.wBitsPerSample, 16);
    EXPECT_GT(wave->data.size(), 11025u * 2 * 10);  // over ten seconds
    if (OnPath("sox")) {
        std::string output;
        EXPECT_EQ(RunShell("sox --i " + Quote(Path("demo.wav")), output), 0) << output;
    }
    const Result raw = Run({"--raw"});
    ASSERT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(DataOf(raw.out), wave->data);  // the scenario renders the same bytes every time
    // It sets nothing of its own: the options apply.
    const Result options = Run({"--dry-run", "--cid-timing", "whole", "--no-tty-figs-after-space"});
    ASSERT_EQ(options.status, 0) << options.err;
    EXPECT_NE(options.out.find("cid-timing=whole tty-figs-after-space=0"), std::string::npos) << options.out;
}

// -o FILE and -o - write the bytes the component's own GenerateBegin(FILE) ... GenerateEnd
// writes, in every format, an odd number of one-byte samples (and its pad byte) included.
TEST_F(ToolTest, WaveOutputsAreTheComponentsFileByteForByte) {
    struct Case {
        std::vector<std::string> args;
        std::function<void(Varnel&)> setup;
        bool oneByteSamples;
    };
    const Case cases[] = {{{}, [](Varnel&) {}, false},
                          {{"-b", "8"}, [](Varnel& v) { v.BitsPerSample(8); }, true},
                          {{"-e", "ulaw"}, [](Varnel& v) { v.Encoding(ENC_MuLaw); }, true},
                          {{"-e", "alaw"}, [](Varnel& v) { v.Encoding(ENC_ALaw); }, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "16-bit" : c.args[1]);
        const Bytes expected = ThroughComponent(c.setup, [](Varnel& v) {
            v.GenerateDTMFs("1");
            v.GenerateSilence(0.125f);  // one sample
            v.GenerateTTY("A 1");
        });
        for (const std::string& output : {Path("tool.wav"), std::string("-")}) {
            std::vector<std::string> args = kSettings;
            args.insert(args.end(), c.args.begin(), c.args.end());
            args.insert(args.end(), {"-o", output, "dtmf:1", "silence:0.125", "tty:A 1"});
            const Result r = Run(args);
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(output == "-" ? DataOf(r.out) : ReadFileBytes(output), expected) << output;
        }
        const auto wave = ReadWave(Path("tool.wav"));
        ASSERT_TRUE(wave);
        EXPECT_EQ(wave->data.size() % 2, c.oneByteSamples ? 1u : 0u);
    }
}

// The tool's defaults are those real receivers decode; --cid-timing whole and
// --no-tty-figs-after-space give the component's own.
TEST_F(ToolTest, DefaultsInteroperateAndTheComponentsOwnRemainAvailable) {
    const std::vector<std::string> requests = {"cid:5551234|A|01/02 03:04", "tty:AB 12", "silence:3000", "tty:34 CD"};
    const auto queue = [](Varnel& v) {
        v.GenerateCallerID("5551234", "A", "01/02 03:04");
        v.GenerateTTY("AB 12");
        v.GenerateSilence(3000.0f);
        v.GenerateTTY("34 CD");
    };
    struct Case {
        std::vector<std::string> flags;
        std::function<void(Varnel&)> setup;
        const char* settings;
    };
    const Case cases[] = {
        {{}, [](Varnel&) {}, "cid-timing=exact tty-figs-after-space=1"},
        {{"--cid-timing", "whole", "--no-tty-figs-after-space"},
         [](Varnel& v) {
             v.CID_BitTiming(CBT_WholeSamples);
             v.TTY_FigsAfterSpace(0);
         },
         "cid-timing=whole tty-figs-after-space=0"}};
    for (const Case& c : cases) {
        std::vector<std::string> args = kSettings;
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        args.insert(args.end(), {"-o", Path("tool.wav")});
        args.insert(args.end(), requests.begin(), requests.end());
        const Result r = Run(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(ReadFileBytes(Path("tool.wav")), ThroughComponent(c.setup, queue)) << c.settings;
        args.push_back("--dry-run");
        EXPECT_NE(Run(args).out.find(c.settings), std::string::npos) << c.settings;
    }
}

// With the defaults, minimodem's TTY receiver (which falls back to letters on a space) reads the
// figures as sent.
TEST_F(ToolTest, MinimodemReadsTheDefaultTty) {
    VARNEL_REQUIRE_TOOL("minimodem");
    for (const auto& [flag, expected] : {std::pair{"--tty-rate=45.45", "CALL 555 1234 NOW"},
                                         std::pair{"--no-tty-figs-after-space", "CALL 555 QWER NOW"}}) {
        const Result r = Run({"-o", Path("tty.wav"), "-r", "8000", flag, "silence:700", "tty:CALL 555 1234 NOW",
                              "silence:700"});
        ASSERT_EQ(r.status, 0) << r.err;
        std::string output;
        RunShell("minimodem --rx -q -f " + Quote(Path("tty.wav")) + " tdd", output);
        while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) output.pop_back();
        EXPECT_EQ(output, expected) << flag;
    }
}

// A render the 32-bit size fields of a WAV file cannot describe is refused before a byte is
// written: no file, nothing on standard output, an old file untouched.
TEST_F(ToolTest, AudioBeyondTheWaveSizeLimitIsRefusedBeforeWriting) {
    std::ofstream(Path("old.wav")) << "old";
    for (const std::string& output : {Path("old.wav"), std::string("-")}) {
        const Result r = Run({"-o", output, "-r", "16777216", "silence:60000", "silence:60000", "silence:60000"});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "varnel: " + (output == "-" ? std::string("standard output") : output) +
                             ": refused before writing: the audio takes 6039797760 bytes (0:03:00), more than the "
                             "4294967256 that the size fields of a WAV file can describe; write --raw, or split the "
                             "requests\n");
        EXPECT_TRUE(r.out.empty());
        EXPECT_EQ(ReadFileBytes(Path("old.wav")), (Bytes{'o', 'l', 'd'}));
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.path())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"old.wav", "stderr", "stdin", "stdout"}));
}

// An old file is replaced only by a complete new one, which keeps its permissions.
TEST_F(ToolTest, AnOldFileIsReplacedOnlyByACompleteOne) {
    std::ofstream(Path("old.wav")) << "old";
    std::filesystem::permissions(Path("old.wav"), std::filesystem::perms::owner_read |
                                                      std::filesystem::perms::owner_write |
                                                      std::filesystem::perms::group_read);
    const Result refused = Run({"-o", Path("old.wav"), "dtmf:1", "tone:100,0,-5"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(ReadFileBytes(Path("old.wav")), (Bytes{'o', 'l', 'd'}));
    const Result r = Run({"-o", Path("old.wav"), "dtmf:1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(ReadWave(Path("old.wav")));
    EXPECT_EQ(std::filesystem::status(Path("old.wav")).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.path()), std::filesystem::directory_iterator()),
              4);  // old.wav and the three standard streams
}

TEST_F(ToolTest, TtyFileSendsAFilesTextOrStandardInput) {
    const std::string text = "HELLO 123\nGA\n";
    std::ofstream(Path("text.txt"), std::ios::binary) << text;
    const Bytes expected = ThroughComponent([](Varnel&) {}, [&](Varnel& v) { v.GenerateTTY(text); });
    std::vector<std::string> args = kSettings;
    args.insert(args.end(), {"-o", Path("tool.wav"), "ttyfile:" + Path("text.txt")});
    Result r = Run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFileBytes(Path("tool.wav")), expected);
    EXPECT_NE(r.err.find("request 0: ttyfile, "), std::string::npos) << r.err;

    args = kSettings;
    args.insert(args.end(), {"-o", Path("tool.wav"), "ttyfile:-"});
    r = Run(args, "", text);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFileBytes(Path("tool.wav")), expected);

    r = Run({"-o", Path("tool.wav"), "ttyfile:" + Path("missing.txt")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "varnel: request 1 'ttyfile:" + Path("missing.txt") + "': cannot read '" + Path("missing.txt") +
                         "': No such file or directory\n");
}

TEST_F(ToolTest, DryRunPrintsTheSettingsAndEachRequestAndWritesNothing) {
    const Result r = Run({"--dry-run", "-o", Path("x.wav"), "-r", "8000", "dtmf:1", "set:amplitude=-3", "silence:250"});
    ASSERT_EQ(r.status, 0) << r.err;
    // Every setting of the catalog, then every request in order.
    const std::size_t settings = r.out.find("settings: ");
    const std::size_t requests = r.out.find("\nrequest 0: ");
    ASSERT_NE(settings, std::string::npos) << r.out;
    ASSERT_NE(requests, std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(0, settings), "output: the WAV file " + Path("x.wav") + " (8000 Hz, 16-bit mono)\n");
    const std::string line = r.out.substr(settings, requests - settings) + " ";
    EXPECT_EQ(line.rfind("settings: rate=8000 bits=16 encoding=pcm amplitude=-6 dtmf-tone=80 dtmf-break=150 "
                         "dtmf-pause=400 tty-mode=baudot tty-rate=45.45 cid-format=mdmf cid-timing=exact "
                         "tty-figs-after-space=1 ",
                         0),
              0u)
        << line;
    for (const SettingSpec* spec : SettingsCatalog::All()) {
        std::string key(" ");
        key.append(spec->option).append("=");
        EXPECT_NE(line.find(key), std::string::npos) << key;
    }
    EXPECT_EQ(r.out.substr(requests + 1),
              "request 0: dtmf, 0.230 s: dtmf:1\n"
              "set:amplitude=-3\n"
              "request 1: silence, 0.250 s: silence:250\n"
              "total: 0.480 s, 7680 bytes of audio, a WAV file of 7726 bytes\n"
              "nothing written (dry run)\n");
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(std::filesystem::exists(Path("x.wav")));
    const Result alone = Run({"--dry-run", "-e", "alaw", "tone:10,0,440"});
    ASSERT_EQ(alone.status, 0) << alone.err;
    EXPECT_EQ(alone.out.rfind("output: none (11025 Hz, G.711 A-law mono)\n", 0), 0u) << alone.out;
}

// Warnings and refusals name the request as written, with its control characters escaped.
TEST_F(ToolTest, RequestsAreWarnedAboutAndEchoedSafely) {
    const Result r = Run({"--raw", "-r", "8000", "tone:10,0,440,4000", "tones:5000@10", "dtmf:1\x1b[2J"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err,
              "varnel: warning: 'tone:10,0,440,4000': 4000 Hz is at or above half the sample rate (4000 Hz at 8000 "
              "Hz): it aliases\n"
              "varnel: warning: 'tones:5000@10': 5000 Hz is at or above half the sample rate (4000 Hz at 8000 Hz): it "
              "aliases\n"
              "varnel: warning: 'dtmf:1\\x1b[2J': skips '\\x1b' '[' 'J' (not DTMF keys)\n");
    const Result bad = Run({"--raw", "dtmf:\x1b]x\x07"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err.find('\x1b'), std::string::npos) << bad.err;
    EXPECT_NE(bad.err.find("varnel: request 1 'dtmf:\\x1b]x\\x07': no DTMF key in '\\x1b]x\\x07'"), std::string::npos)
        << bad.err;
    // Every kind that sounds a frequency the rate cannot carry says so.
    const Result slow = Run({"--raw", "-r", "3000", "cid:123", "modem:ans", "dtmf:D", "tty:A", "r2f:1"});
    ASSERT_EQ(slow.status, 0) << slow.err;
    for (const char* hz : {"'cid:123': 2200 Hz", "'modem:ans': 2100 Hz", "'dtmf:D': 1633 Hz", "'tty:A': 1800 Hz",
                           "'r2f:1': 1500 Hz"}) {
        EXPECT_NE(slow.err.find(hz), std::string::npos) << hz << "\n" << slow.err;
    }
}

TEST_F(ToolTest, PlayGoesThroughTheSondixDestination) {
#if VARNEL_HAVE_SONDIX
    // SDL's disk driver writes what it plays to a file, much faster than real time.
    const std::string env = "SDL_AUDIODRIVER=disk SDL_DISKAUDIODELAY=1 SDL_DISKAUDIOFILE=" + Quote(Path("played.raw"));
    const Result r = Run({"--play", "-r", "8000", "dtmf:123", "cid:5551234|A|01/02 03:04"}, env);
    ASSERT_EQ(r.status, 0) << r.err;
    const Result raw = Run({"--raw", "-r", "8000", "dtmf:123", "cid:5551234|A|01/02 03:04"});
    ASSERT_EQ(raw.status, 0) << raw.err;
    const Bytes played = ReadFileBytes(Path("played.raw"));
    const std::string playedText(played.begin(), played.end());
    EXPECT_NE(playedText.find(raw.out), std::string::npos) << "the rendered audio is not among the played bytes";
#else
    const Result r = Run({"--play", "dtmf:1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "varnel: playback is not available in this build\n");
#endif
}

}  // namespace
