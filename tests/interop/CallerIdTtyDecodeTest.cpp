// Decodes the engine's Caller-ID and TTY signals with independent receivers: minimodem's
// callerid, tdd, Baudot and ASCII FSK receivers, and multimon-ng's CLIPFSK demodulator (which
// also checks the message checksum).

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "support/EngineHarness.h"
#include "support/Shell.h"

namespace {

using namespace varnel_test;
using namespace std::string_view_literals;

struct Format {
    std::int32_t rate;
    std::int32_t bits;
};

std::string FormatName(const Format& format) {
    return std::to_string(format.rate) + "_" + std::to_string(format.bits);
}

void PrintTo(const Format& format, std::ostream* os) { *os << FormatName(format); }

// The output without leading and trailing white space.
std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") + 1 - first);
}

class SignalDecode : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"sox", "minimodem", "multimon-ng"}) {
            VARNEL_REQUIRE_TOOL(tool);
        }
        m_dir = std::make_unique<ScratchDir>();
        ASSERT_FALSE(m_dir->path().empty());
    }

    // Writes a WAV file of the given format holding what queue adds, between 700 ms of silence
    // on either side. Where the carrier onset falls in the file matters to minimodem: with some
    // lead-ins it frames the opening LTRS of a Baudot text (all mark but the start bit) one bit
    // early and prints V, mostly at 50 baud, and reference signals synthesised independently of
    // the engine do the same. Of lead-ins from 100 to 800 ms in 10 ms steps, every one from 600
    // to 760 ms decodes all the cases below cleanly.
    std::string Render(const Format& format, const std::function<void(CVarnel&)>& queue) {
        const std::string path = (m_dir->path() / ("signal-" + FormatName(format) + ".wav")).string();
        CVarnel engine;
        EXPECT_EQ(engine.set_SampleRate(format.rate), S_OK);
        EXPECT_EQ(engine.set_BitsPerSample(format.bits), S_OK);
        const std::u16string wide(path.begin(), path.end());  // temp paths here are ASCII
        EXPECT_EQ(engine.GenerateBegin(wide.c_str()), S_OK) << engine.GetErrMsg();
        EXPECT_EQ(engine.GenerateSilence(700.0f, nullptr), S_OK) << engine.GetErrMsg();
        queue(engine);
        EXPECT_EQ(engine.GenerateSilence(700.0f, nullptr), S_OK) << engine.GetErrMsg();
        EXPECT_EQ(engine.GenerateEnd(), S_OK) << engine.GetErrMsg();
        return path;
    }

    // minimodem's decoded text for the file, trimmed; -q keeps its carrier reports out.
    static std::string Minimodem(const std::string& path, const std::string& receiver) {
        std::string output;
        RunShell("minimodem --rx -q -f " + Quote(path) + " " + receiver, output);
        return Trim(output);
    }

    std::unique_ptr<ScratchDir> m_dir;
};

// ---- Caller-ID -------------------------------------------------------------------------------

enum class Receiver { Minimodem, Clipfsk };

struct CallerIdCase {
    Receiver receiver;
    CID_FORMAT format;
    CID_BIT_TIMING timing;
    Format wave;
};

std::string CallerIdName(const CallerIdCase& c) {
    return std::string(c.receiver == Receiver::Minimodem ? "Minimodem_" : "Clipfsk_") +
           (c.format == CID_SDMF ? "SDMF_" : "MDMF_") + (c.timing == CBT_Exact ? "Exact_" : "WholeSamples_") +
           FormatName(c.wave);
}

void PrintTo(const CallerIdCase& c, std::ostream* os) { *os << CallerIdName(c); }

class CallerIdDecode : public SignalDecode, public ::testing::WithParamInterface<CallerIdCase> {};

TEST_P(CallerIdDecode, Reads) {
    const CallerIdCase c = GetParam();
    const std::string path = Render(c.wave, [&](CVarnel& engine) {
        ASSERT_EQ(engine.set_CID_Format(c.format), S_OK);
        ASSERT_EQ(engine.set_CID_BitTiming(c.timing), S_OK);
        ASSERT_EQ(engine.GenerateCallerID(u"5551234", u"JOHN DOE", u"12/25 10:30", nullptr), S_OK)
            << engine.GetErrMsg();
    });
    if (HasFatalFailure()) return;

    if (c.receiver == Receiver::Minimodem) {
        std::string expected = "CALLER-ID\nTime:  12/25 10:30\nPhone: 5551234";
        if (c.format == CID_MDMF) expected += "\nName:  JOHN DOE";
        EXPECT_EQ(Minimodem(path, "callerid"), expected);
    } else {
        // multimon-ng prints nothing for a message whose checksum does not add up. sox must not
        // dither (-D): noise in the silence right after the last stop bit makes CLIPFSK drop
        // about half of the messages at 8000 to 16000 Hz.
        std::string output;
        RunShell("sox -D " + Quote(path) +
                     " -t raw -r 22050 -e signed -b 16 -c 1 - | multimon-ng -q -a CLIPFSK -t raw -",
                 output);
        EXPECT_EQ(Trim(output), "CLIPFSK: CS DATE=12251030 CID=5551234 CNT=JOHN DOE");
    }
}

std::vector<CallerIdCase> CallerIdCases() {
    struct Group {
        Receiver receiver;
        CID_FORMAT format;
        CID_BIT_TIMING timing;
        std::vector<std::int32_t> rates;
    };
    const std::vector<std::int32_t> all = {8000, 11025, 16000, 22050, 44100, 48000};
    const Group groups[] = {
        // Exact timing: 1200 bit/s on average at every rate.
        {Receiver::Minimodem, CID_SDMF, CBT_Exact, all},
        {Receiver::Minimodem, CID_MDMF, CBT_Exact, all},
        {Receiver::Clipfsk, CID_MDMF, CBT_Exact, all},
        // Whole samples per bit run 1142.86 bit/s at 8000 Hz, 1225 at 11025 and 22050, 1230.8 at
        // 16000. minimodem keeps step everywhere except in the longer MDMF message at 8000 Hz
        // (it loses the type byte); CLIPFSK only where the rate is within 1 % (44100, 48000).
        {Receiver::Minimodem, CID_SDMF, CBT_WholeSamples, all},
        {Receiver::Minimodem, CID_MDMF, CBT_WholeSamples, {11025, 16000, 22050, 44100, 48000}},
        {Receiver::Clipfsk, CID_MDMF, CBT_WholeSamples, {44100, 48000}},
    };
    std::vector<CallerIdCase> cases;
    for (const Group& group : groups) {
        for (const std::int32_t rate : group.rates) {
            for (const std::int32_t bits : {8, 16}) {
                cases.push_back({group.receiver, group.format, group.timing, {rate, bits}});
            }
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Receivers, CallerIdDecode, ::testing::ValuesIn(CallerIdCases()),
                         [](const ::testing::TestParamInfo<CallerIdCase>& info) { return CallerIdName(info.param); });

// ---- TTY -------------------------------------------------------------------------------------

struct TtyCase {
    const char* name;
    TTY_MODE mode;
    BAUDOT_RATE rate;
    std::int32_t figsAfterSpace;
    const char* text;
    const char* receiver;  // minimodem arguments after the file name
    std::string_view expected;
};

void PrintTo(const TtyCase& c, std::ostream* os) { *os << c.name; }

// The encoder sends 2 stop bits. minimodem's tdd receiver is 45.45 baud with 2 stop bits; at 50
// baud the plain Baudot receiver needs --stopbits 2 as well (with 1.5 it misreads some frames
// of the mixed text). The 110 baud setting sends 9.375 ms bits, i.e. 106.67 baud, and the ASCII
// modes frame the text with two NULs on either side.
const TtyCase kTtyCases[] = {
    {"Tdd_Letters", Baudot_Mode, BR_45_45_Baud, 0, "HELLO WORLD", "tdd", "HELLO WORLD"},
    {"Tdd_Figures", Baudot_Mode, BR_45_45_Baud, 1, "CALL 555 1234 NOW", "tdd", "CALL 555 1234 NOW"},
    // Without FIGS after the space the receiver, which falls back to letters on a space, reads
    // the figures 1234 as the letters QWER: the reason TTY_FigsAfterSpace exists.
    {"Tdd_FiguresUnshiftOnSpace", Baudot_Mode, BR_45_45_Baud, 0, "CALL 555 1234 NOW", "tdd", "CALL 555 QWER NOW"},
    {"Baudot50_Letters", Baudot_Mode, BR_50_Baud, 0, "HELLO WORLD", "--baudot --stopbits 2 -M 1400 -S 1800 50",
     "HELLO WORLD"},
    {"Baudot50_Figures", Baudot_Mode, BR_50_Baud, 1, "CALL 555 1234 NOW", "--baudot --stopbits 2 -M 1400 -S 1800 50",
     "CALL 555 1234 NOW"},
    {"Ascii7", ASCII7_Mode, BR_110_Baud, 0, "Hello, World! 0123456789", "-7 --stopbits 2 -M 1400 -S 1800 106.67",
     "\0\0Hello, World! 0123456789\0\0"sv},
    {"Ascii8", ASCII8_Mode, BR_110_Baud, 0, "Hello, World! 0123456789", "-8 --stopbits 2 -M 1400 -S 1800 106.67",
     "\0\0Hello, World! 0123456789\0\0"sv},
};

using TtyParam = std::tuple<TtyCase, Format>;

std::vector<Format> TtyFormats() {
    std::vector<Format> formats;
    for (const std::int32_t rate : {8000, 11025, 22050, 44100, 48000}) {
        for (const std::int32_t bits : {8, 16}) formats.push_back({rate, bits});
    }
    return formats;
}

class TtyDecode : public SignalDecode, public ::testing::WithParamInterface<TtyParam> {};

TEST_P(TtyDecode, Reads) {
    const auto& [c, wave] = GetParam();
    const std::string path = Render(wave, [&](CVarnel& engine) {
        ASSERT_EQ(engine.set_TTY_Mode(c.mode), S_OK);
        ASSERT_EQ(engine.set_TTY_Rate(c.rate), S_OK);
        ASSERT_EQ(engine.set_TTY_FigsAfterSpace(c.figsAfterSpace), S_OK);
        const std::string text = c.text;
        const std::u16string wide(text.begin(), text.end());  // the texts here are ASCII
        ASSERT_EQ(engine.GenerateTTY(wide.c_str(), nullptr), S_OK) << engine.GetErrMsg();
    });
    if (HasFatalFailure()) return;
    EXPECT_EQ(Minimodem(path, c.receiver), c.expected) << "minimodem --rx -q -f FILE " << c.receiver;
}

INSTANTIATE_TEST_SUITE_P(Receivers, TtyDecode,
                         ::testing::Combine(::testing::ValuesIn(kTtyCases),
                                            ::testing::ValuesIn(TtyFormats())),
                         [](const ::testing::TestParamInfo<TtyParam>& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    FormatName(std::get<1>(info.param));
                         });

// A receiver falls back to letters after a pause: with figs-after-space each request starts by
// sending the shift it continues in, so figures after three seconds of silence stay figures.
TEST_F(SignalDecode, ShiftIsResentAfterAPause) {
    struct Case {
        std::int32_t figsAfterSpace;
        const char* expected;
    };
    for (const Case& c : {Case{1, "AB 1234 CD"}, Case{0, "AB 12ER CD"}}) {
        for (const Format& wave : {Format{8000, 16}, Format{48000, 8}}) {
            const std::string path = Render(wave, [&](CVarnel& engine) {
                ASSERT_EQ(engine.set_TTY_FigsAfterSpace(c.figsAfterSpace), S_OK);
                ASSERT_EQ(engine.GenerateTTY(u"AB 12", nullptr), S_OK);
                ASSERT_EQ(engine.GenerateSilence(3000.0f, nullptr), S_OK);
                ASSERT_EQ(engine.GenerateTTY(u"34 CD", nullptr), S_OK);
            });
            if (HasFatalFailure()) return;
            EXPECT_EQ(Minimodem(path, "tdd"), c.expected) << FormatName(wave);
        }
    }
}

}  // namespace
