// The request language: scripts parsed into typed requests, printed back, and what each request
// knows without rendering.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "varnel/Varnel.h"
#include "varnel/engine/CVarnel.h"
#include "varnel/platform/PrintableText.h"
#include "varnel/script/Facts.h"
#include "varnel/script/Parser.h"
#include "varnel/script/Printer.h"
#include "varnel/script/Rendering.h"
#include "varnel/script/RequestError.h"

namespace {

using namespace Quorvex::VarnelNet;
using namespace Quorvex::VarnelNet::Script;

// The reason a request is refused, or "" when it parses.
std::string ErrorOf(const std::string& text) {
    try {
        ParseRequest(text);
    } catch (const RequestError& e) {
        return e.Reason();
    }
    return "";
}

// Every kind, written loosely, its canonical text, and that text parsed again gives the same
// request.
TEST(LanguageTest, EveryKindPrintsCanonicallyAndParsesBack) {
    const std::pair<const char*, const char*> cases[] = {
        {"DTMF:555-0123#", "dtmf:555-0123#"},
        {"tone: 1e3 , 0 , 350 , 440.5", "tone:1000,0,350,440.5"},
        {"tone:100,0,-5,0,0", "tone:100,0,-5"},
        {"silence:12.5", "silence:12.5"},
        {"tones:350|440@1000,0@250,,440,0|0@10,@20", "tones:350|440@1000,0@250,0@500,0@10,0@20"},
        {"cid:5551234|JOHN DOE|12/25 10:30", "cid:5551234|JOHN DOE|12/25 10:30"},
        {"cid:-P|-O| 01/02 03:04 ", "cid:-P|-O|01/02 03:04"},
        {"cid:5551234||02/29 23:59", "cid:5551234||02/29 23:59"},
        {"vmwi:ON", "vmwi:on"},
        {"mf:K123S", "mf:K123S"},
        {"r2f: 1B ", "r2f:1B"},
        {"r2b:0", "r2b:0"},
        {"tty:A:B c", "tty:A:B c"},
        {"ttyhex:48454c4C4f", "ttyhex:48454c4c4f"},
        {"ttyfile:-", "ttyfile:-"},
        {"set:TTY_Rate=74.2", "set:tty-rate=74.20"},
        {"set:encoding=ULAW", "set:encoding=ulaw"},
        {"set:amplitude=-6.5", "set:amplitude=-6.5"},
        {"plan:GB:Dial", "plan:uk:dial:4000"},
        {"plan: uk : busy : 3e3", "plan:uk:busy:3000"},
        {"pattern:400 /100, 0/ 100", "pattern:400/100,0/100:4000"},
        {"pattern:!950/330,4e2*2.5e1/400,1776.7+0.5:6000", "pattern:!950/330,400*25/400,1776.7+0.5:6000"},
        {"SIT:NC", "sit:nc"},
        {"modem:ANS", "modem:ans:3300"},
        {"modem:cng", "modem:cng:7000"},
        {"modem:ansam-pr:500", "modem:ansam-pr:500"},
    };
    for (const auto& [text, canonical] : cases) {
        SCOPED_TRACE(text);
        const Request request = ParseRequest(text);
        EXPECT_EQ(Print(request), canonical);
        EXPECT_TRUE(ParseRequest(Print(request)) == request);
    }
    EXPECT_EQ(std::get<Tone>(ParseRequest("tone:1000,250,350,440.5")).hz[1], 440.5f);
    EXPECT_EQ(std::get<CallerId>(ParseRequest("cid:-P|-O")).numberAbsence, CallerIdAbsence::Private);
    EXPECT_EQ(std::get<TtyHex>(ParseRequest("ttyhex:48454c4C4f")).bytes, (std::vector<std::uint8_t>{'H', 'E', 'L', 'L', 'O'}));
}

TEST(LanguageTest, RefusalsSayWhatIsWrong) {
    const std::pair<const char*, const char*> cases[] = {
        {"dtmf123", "'dtmf123' is not a request (KIND:ARGUMENTS, e.g. dtmf:123 or tone:1000,0,440)"},
        {"dtmf:", "no DTMF key in '': the keys are 0-9, A-D, * and #, and ',' pauses"},
        {"tone:100", "expected tone:ON_MS,OFF_MS,F1[,F2[,F3]]"},
        {"tone:a,0,440", "on time (ms): 'a' is not an integer from -2147483648 to 2147483647"},
        {"tone:100,0,99999999999999999999",
         "frequency (Hz): '99999999999999999999' is not a number from -16777216 to 16777216"},
        {"tone:1.5,0,440", "on time (ms): '1.5' is not an integer from -2147483648 to 2147483647"},
        {"tone:100,0,inf", "frequency (Hz): 'inf' is not a number from -16777216 to 16777216"},
        {"tones:1|2|3|4@100", "step '1|2|3|4@100' has more than 3 frequencies"},
        {"cid:", "the Caller-ID needs a number (or -O / -P)"},
        {"cid:-p", "the number '-p' starts with '-': only -O (unavailable) and -P (private) stand for an absent number"},
        {"cid:555|-X", "the name '-X' starts with '-': only -O (unavailable) and -P (private) stand for an absent name"},
        {"cid:555||02/30 10:00", "the date and time '02/30 10:00': the day 30 is not 01 to 29 in month 02"},
        {"cid:555||ab/cd ef:gh", "the date and time 'ab/cd ef:gh' is not MM/DD HH:MM, e.g. 12/25 10:30"},
        {"cid:555||13/01 10:00", "the date and time '13/01 10:00': the month 13 is not 01 to 12"},
        {"cid:555||04/31 10:00", "the date and time '04/31 10:00': the day 31 is not 01 to 30 in month 04"},
        {"cid:555||12/25 24:00", "the date and time '12/25 24:00': the hour 24 is not 00 to 23"},
        {"vmwi:yes", "expected vmwi:on or vmwi:off"},
        {"mf:", "no signal: expected R1 signals (0-9, KP as * or K, ST as # or S, A, B, C)"},
        {"r2f:1A", "'A' is not an R2 signal (1-9, 0 (10), B-F (11-15))"},
        {"ttyhex:4", "expected an even number of hexadecimal digits, e.g. ttyhex:48454c4c4f"},
        {"ttyhex:4800", "byte 2 is 00: the bytes are sent up to the first zero"},
        {"ttyfile:", "expected ttyfile:PATH, or ttyfile:- for standard input"},
        {"set:volume=1", "unknown setting 'volume' (rate, bits, encoding, amplitude, dtmf-tone, dtmf-break, "
                         "dtmf-pause, tty-mode, tty-rate, cid-format, cid-timing, tty-figs-after-space, cid-standard, "
                         "cid-alert, dtmf-twist, tone-modulation-depth, level-per-tone)"},
        {"set:encoding=g711", "encoding: 'g711' is not one of pcm|ulaw|alaw"},
        {"set:rate=0", "rate: '0' is not an integer from 1 to 16777216"},
        {"set:dtmf-tone=-5", "dtmf-tone: '-5' is not an integer from 0 to 2147483647"},
        {"set:dtmf-twist=21", "dtmf-twist: '21' is not a number from -20 to 20"},
        {"set:tone-modulation-depth=101", "tone-modulation-depth: '101' is not an integer from 0 to 100"},
        {"set:amplitude=1e-3", "amplitude: '1e-3' is above 0 dB, the full scale: the level must be 0 or below"},
        {"plan:uk", "expected plan:COUNTRY:TONE[:MS], e.g. plan:uk:busy:3000"},
        {"plan:uk:busy:0", "duration (ms): '0' is not an integer from 1 to 2147483647"},
        {"plan:uk:bzzy", "country 'uk' has no tone 'bzzy': its tones are dial, busy, congestion, ringback, callwaiting, "
                         "info"},
        {"pattern:425/0", "Tone pattern element 1 \"425/0\": the duration \"0\" is not a whole number of milliseconds "
                          "from 1 to 2147483647."},
        {"sit:xx", "'xx' is not a special information tone (nc, ic, vc, ro, itu)"},
        {"modem:fax", "'fax' is not a modem tone (cng|ans|ans-pr|ansam|ansam-pr)"},
    };
    for (const auto& [text, reason] : cases) EXPECT_EQ(ErrorOf(text), reason) << text;
    EXPECT_EQ(ErrorOf(std::string("tty:A\0B", 7)), "it holds a NUL character (at byte 6)");
    EXPECT_EQ(ErrorOf("beep\x1b[1m:1").rfind("unknown request kind 'beep\\x1b[1m' (dtmf, ", 0), 0u);
}

// Scripts: words split as a shell would, '#' comments, numbered requests, lines named.
TEST(LanguageTest, ScriptsAreWordsQuotedAsInAShell) {
    const Requests requests = ParseScript("dtmf:1#2 # a comment\n  \"cid:5551234|JOHN DOE\"\t'tty:HI  THERE'\n"
                                          "tty:A\\ B \"tty:\\\"Q\\\"\" \\\n silence:10");
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_EQ(std::get<Dtmf>(requests[0].request).keys, "1#2");
    EXPECT_EQ(std::get<CallerId>(requests[1].request).name, "JOHN DOE");
    EXPECT_EQ(std::get<Tty>(requests[2].request).text, "HI  THERE");
    EXPECT_EQ(std::get<Tty>(requests[3].request).text, "A B");
    EXPECT_EQ(std::get<Tty>(requests[4].request).text, "\"Q\"");
    EXPECT_EQ(requests[5].index, 6u);
    EXPECT_EQ(requests[5].line, 4u);
    for (const Entry& e : requests) EXPECT_EQ(ParseScript(Quote(Print(e.request)))[0].request == e.request, true) << e.text;

    const std::pair<const char*, const char*> bad[] = {
        {"dtmf:1 foo:2", "request 2 'foo:2': unknown request kind 'foo' (dtmf, tone, silence, tones, cid, vmwi, mf, "
                         "r2f, r2b, tty, ttyfile, ttyhex, plan, pattern, sit, modem, set)"},
        {"dtmf:1\n\n  dtmf:", "request 2 (line 3) 'dtmf:': no DTMF key in '': the keys are 0-9, A-D, * and #, and ',' "
                              "pauses"},
        {"dtmf:1\n'tty:open\n", "request 2 (line 2) 'tty:open\\n': the quote opened on line 2 is not closed"},
    };
    for (const auto& [script, message] : bad) {
        try {
            ParseScript(script);
            ADD_FAILURE() << script;
        } catch (const RequestError& e) {
            EXPECT_STREQ(e.what(), message);
        }
    }
}

TEST(LanguageTest, SkippedDtmfKeysAreNamedOnce) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"dtmf:555-0123", {"skips '-' (not a DTMF key)"}},
        {"dtmf:(555) 012-3#", {"skips '(' ')' ' ' '-' (not DTMF keys)"}},
        {"dtmf:1\xc3\xa9\x01" "2", {"skips '\xc3\xa9' '\\x01' (not DTMF keys)"}},
        {"dtmf:0123456789ABCDabcd*#,", {}},
    };
    for (const auto& [text, warnings] : cases) {
        std::vector<std::string> noticed;
        const Request r = ParseRequest(text, &noticed);
        EXPECT_EQ(noticed, warnings) << text;
        EXPECT_EQ(std::get<Dtmf>(r).keys, text.substr(5));  // the generator skips them itself
    }
}

TEST(LanguageTest, ControlCharactersAreEscapedForMessages) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain text", "plain text"},       {"a\nb\tc\rd", "a\\nb\\tc\\rd"},   {"\x1b[31m", "\\x1b[31m"},
        {"\x7f", "\\x7f"},                  {"caf\xc3\xa9", "caf\xc3\xa9"},     {"\xc2\x9b" "2J", "\\u009b2J"},
        {"\xff\xfe", "\\xff\\xfe"},         {"\xc3", "\\xc3"},                  {"\xed\xa0\x80", "\\xed\\xa0\\x80"},
        {"\xf0\x9f\x93\x9e", "\xf0\x9f\x93\x9e"}, {std::string("a\0b", 3), "a\\x00b"},
    };
    for (const auto& [text, printable] : cases) EXPECT_EQ(Printable(text), printable);
    EXPECT_EQ(ParseEach(std::vector<std::string>{"tty:A\nB"})[0].text, "tty:A\\nB");
}

// The frequencies every kind sounds, and the aliasing warnings they give: each frequency at or
// above half the sample rate is named once.
TEST(LanguageTest, EveryKindKnowsItsFrequencies) {
    const SettingValues defaults;
    SettingValues etsiAlert = defaults;
    etsiAlert.Apply(std::get<Set>(ParseRequest("set:cid-standard=etsi")));
    etsiAlert.Apply(std::get<Set>(ParseRequest("set:cid-alert=dtas")));
    const struct {
        const char* text;
        const SettingValues& settings;
        std::vector<double> hz;
        std::vector<int> tones;
    } cases[] = {
        {"dtmf:1-2", defaults, {697, 1209, 1336}, {2}},
        {"tone:10,0,3999.5,4000,9000", defaults, {3999.5, 4000, 9000}, {3}},
        {"tones:440|6000@10,0@10,6000@10", defaults, {440, 6000}, {2, 0, 1}},
        {"pattern:400*25/400,0/200,5000+6000/100", defaults, {400, 5000, 6000}, {1, 0, 2}},
        {"cid:123", defaults, {1200, 2200}, {1}},
        {"cid:123", etsiAlert, {2130, 2750, 1300, 2100}, {2, 0, 1}},
        {"vmwi:on", etsiAlert, {2130, 2750, 1300, 2100}, {2, 0, 1}},
        {"mf:K1", defaults, {1100, 1700, 700, 900}, {2}},
        {"r2b:1", defaults, {1140, 1020}, {2}},
        {"tty:HI", defaults, {1400, 1800}, {1}},
        {"sit:nc", defaults, {985.2, 1428.5, 1776.7}, {1, 1, 1}},
        {"modem:ansam", defaults, {2100}, {1}},
        {"silence:10", defaults, {}, {0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Request request = ParseRequest(c.text);
        EXPECT_EQ(Frequencies(request, c.settings), c.hz);
        EXPECT_EQ(ToneCounts(request, c.settings), c.tones);
    }
    const auto warning = [](const char* hz, const char* half, int rate) {
        return std::string(hz) + " Hz is at or above half the sample rate (" + half + " Hz at " + std::to_string(rate) +
               " Hz): it aliases";
    };
    SettingValues slow;
    slow.Apply(std::get<Set>(ParseRequest("set:rate=4000")));
    const Requests script = ParseScript("dtmf:1-2 cid:123");
    EXPECT_EQ(Warnings(script[0], slow), (std::vector<std::string>{"skips '-' (not a DTMF key)"}));
    EXPECT_EQ(Warnings(script[1], slow), (std::vector<std::string>{warning("2200", "2000", 4000)}));
}

// Durations in samples, without rendering, with the settings in effect.
TEST(LanguageTest, DurationsAreKnownWithoutRendering) {
    SettingValues settings;
    settings.Apply(std::get<Set>(ParseRequest("set:rate=8000")));
    const std::pair<const char*, std::int64_t> cases[] = {
        {"dtmf:12", 2 * (640 + 1200)}, {"silence:12.5", 100}, {"plan:uk:busy:3000", 24000},
        {"tones:350@100,0@50", 1200},  {"set:rate=16000", 0},   {"modem:cng", 56000},
    };
    for (const auto& [text, samples] : cases) EXPECT_EQ(DurationSamples(ParseRequest(text), settings), samples) << text;
}

// The component has no GenerateTones; a tones: request queues one tone or silence per step
// instead, and renders the same bytes as the engine's GenerateTones.
TEST(LanguageTest, TonesRequestRendersWhatTheEngineGenerateTonesRenders) {
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
        EXPECT_EQ(v.GenerateScript("tones:350|440@1000,0@500,440@250,480|620|100@333,@20,0|0@7,90"),
                  (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 6}));
        std::vector<std::uint8_t> rendered;
        for (std::int32_t n; (n = v.FetchWaveStream(block)) > 0;) rendered.insert(rendered.end(), block.begin(), block.begin() + n);
        EXPECT_EQ(rendered, expected) << bits << "-bit";
    }
}

// A script with a refused request queues nothing.
TEST(LanguageTest, GenerateScriptQueuesAllOrNothing) {
    Varnel v;
    v.GenerateBegin();
    try {
        v.GenerateScript("dtmf:1 set:cid-standard=ntt vmwi:on");
        ADD_FAILURE();
    } catch (const ArgumentException& e) {
        EXPECT_STREQ(e.what(), "request 3 'vmwi:on': Message waiting is not defined for NTT Caller-ID.");
    }
    EXPECT_EQ(v.QueuedBytes(), 0);
    EXPECT_EQ(v.CID_Standard(), CS_Bell202);
    EXPECT_EQ(v.GenerateScript("dtmf:1 set:cid-standard=etsi vmwi:on"), (std::vector<std::int32_t>{0, 1}));
    EXPECT_EQ(v.CID_Standard(), CS_ETSI);
}

}  // namespace
