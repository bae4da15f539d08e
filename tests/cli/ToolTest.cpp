// The built `varnel` tool, run end to end: its files and streams against the same requests
// through the component, its refusals, its usage errors and its built-in scenario.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
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

    // Runs the tool with the arguments; env is a prefix such as "SDL_AUDIODRIVER=disk".
    Result Run(const std::vector<std::string>& args, const std::string& env = "") const {
        std::string command = env + " " + Quote(VARNEL_CLI_PATH);
        for (const std::string& arg : args) command += " " + Quote(arg);
        command += " >" + Quote(Path("stdout")) + " 2>" + Quote(Path("stderr")) + " </dev/null";
        const int status = std::system(command.c_str());
        Result r;
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        const Bytes out = ReadFileBytes(Path("stdout"));
        const Bytes err = ReadFileBytes(Path("stderr"));
        r.out.assign(out.begin(), out.end());
        r.err.assign(err.begin(), err.end());
        return r;
    }

    // The WAV file the component writes with the tool's base settings (kSettings), then setup,
    // for the requests.
    Bytes ThroughComponent(const std::function<void(Varnel&)>& setup,
                           const std::function<void(Varnel&)>& requests) const {
        const std::string path = Path("component.wav");
        Varnel v;
        v.SampleRate(8000);
        v.Amplitude(-10.0f);
        v.DTMF_ToneTime(60);
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
    EXPECT_TRUE(raw.err.empty()) << raw.err;
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
        EXPECT_NE(later.err.find("varnel: 'set:encoding=alaw' comes after the first signal request"), std::string::npos)
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

// The options of the settings catalog are the tool's: each is in --help and in the README.
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
    for (const char* line : {"varnel: request 2: vmwi, ", "varnel: request 3: mf, 0.644 s: mf:K123S",
                             "varnel: request 4: r2f, 0.450 s: r2f:1B", "varnel: request 6: cid, 0.840 s: cid:0123"}) {
        EXPECT_NE(r.err.find(line), std::string::npos) << line << "\n" << r.err;
    }
    const Result refused = Run({"-o", Path("refused.wav"), "--cid-standard", "dtmf", "cid:555-1234"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("DTMF Caller-ID numbers are digits only."), std::string::npos) << refused.err;
}

TEST_F(ToolTest, EverySettingOptionIsInTheHelpAndTheReadme) {
    const Result help = Run({"--help"});
    ASSERT_EQ(help.status, 0);
    const Bytes readmeBytes = ReadFileBytes(VARNEL_README_PATH);
    const std::string readme(readmeBytes.begin(), readmeBytes.end());
    const std::size_t begin = readme.find("varnel [OPTIONS]");
    const std::size_t end = readme.find("REQUEST, queued in order:", begin);
    ASSERT_NE(begin, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    const std::string optionList = readme.substr(begin, end - begin);
    for (const SettingSpec* setting : SettingsCatalog::All()) {
        const std::string option = "--" + std::string(setting->option);
        EXPECT_NE(help.out.find(option), std::string::npos) << option << " is not in --help";
        EXPECT_NE(optionList.find(option), std::string::npos) << option << " is not in the README's option list";
    }
    EXPECT_NE(help.out.find("-e, --encoding pcm|ulaw|alaw"), std::string::npos) << help.out;
}

TEST_F(ToolTest, RefusedRequestExitsOneWithTheReasonAndLeavesNoFile) {
    const Result r = Run({"-o", Path("tool.wav"), "dtmf:123", "tone:100,0,-5", "silence:10"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Frequency parameter can't be negative."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("tone:100,0,-5"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(Path("tool.wav")));

    const Result empty = Run({"-o", Path("tool.wav"), "tty:"});
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err, "varnel: request 'tty:' refused: Text parameter is empty!\n");
    EXPECT_FALSE(std::filesystem::exists(Path("tool.wav")));

    const Result raw = Run({"--raw", "silence:100", "dtmf:1", "set:dtmf-tone=-1", "dtmf:2"});
    EXPECT_EQ(raw.status, 1);
    EXPECT_TRUE(raw.out.empty());  // refused before anything was written
    EXPECT_EQ(raw.err, "varnel: request 'dtmf:2' refused: Invaild parameters.\n");

    for (const char* hz : {"0", "16777217", "2147483647"}) {
        const Result rate = Run({"-o", Path("tool.wav"), "-r", hz, "dtmf:1"});
        EXPECT_EQ(rate.status, 1);
        EXPECT_EQ(rate.err, "varnel: option --rate=" + std::string(hz) +
                                " refused: Sample rate out of range: it must be from 1 to 16777216 Hz.\n");
        EXPECT_FALSE(std::filesystem::exists(Path("tool.wav")));
    }
}

TEST_F(ToolTest, UnwritableOutputExitsOneAndLeavesDevicesAlone) {
    const Result missing = Run({"-o", Path("no/such/dir.wav"), "dtmf:1"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Unable to create or write this wave file."), std::string::npos) << missing.err;
    if (std::filesystem::exists("/dev/full")) {
        const Result full = Run({"-o", "/dev/full", "dtmf:1"});
        EXPECT_EQ(full.status, 1);
        EXPECT_EQ(full.err, "varnel: /dev/full: Unable to create or write this wave file.\n");
        EXPECT_TRUE(std::filesystem::exists("/dev/full"));
    }
}

TEST_F(ToolTest, UsageErrorsExitTwoWithTheMessageAndTheUsageLine) {
    const std::string usage = "Usage: varnel [OPTIONS] (-o FILE | --raw | --play) [REQUEST...]";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--raw", "--loud"}, "varnel: unknown option '--loud'"},
        {{"--raw", "-o", Path("x.wav")}, "varnel: choose one output: -o FILE, --raw or --play"},
        {{"-o", Path("x.wav"), "--bits", "12"}, "varnel: --bits: '12' is not 8 or 16"},
        {{"-o", Path("x.wav"), "--rate"}, "varnel: option '--rate' needs a value"},
        {{"dtmf:1"}, "varnel: no output: give -o FILE, --raw or --play"},
        {{"-o", Path("x.wav"), "tones:1|2|3|4@100"}, "has more than 3 frequencies"},
        {{"-o", Path("x.wav"), "beep:1"}, "varnel: 'beep:1': unknown request kind 'beep'"},
        {{"-o", Path("x.wav"), "set:bits=12"}, "varnel: 'set:bits=12': bits: '12' is not 8 or 16"},
        {{"-o", Path("x.wav"), "-e", "mulaw"}, "varnel: --encoding: 'mulaw' is not one of pcm|ulaw|alaw"},
        {{"--play", "-e", "alaw"}, "varnel: --play plays PCM only: write G.711 with -o FILE or --raw"},
    };
    for (const auto& [args, message] : cases) {
        const Result r = Run(args);
        EXPECT_EQ(r.status, 2) << message;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(usage), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_FALSE(std::filesystem::exists(Path("x.wav")));

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
