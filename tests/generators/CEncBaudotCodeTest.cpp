#include "varnel/generators/CEncBaudotCode.h"
#include "varnel/generators/CMultiTone.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "varnel/engine/Enumerations.h"

using namespace Quorvex::VarnelNet;

namespace {

using Words = std::vector<std::uint16_t>;

constexpr std::uint16_t kLeadIn = 0xFF00;
constexpr std::uint16_t kEnd = 0xFFFF;
constexpr std::uint16_t LTRS = 0x7F80;
constexpr std::uint16_t FIGS = 0x6F80;

// The Baudot word of a code, built from its frame: start bit at bit 15, the code least
// significant bit first, two stop bits, then the sentinel.
constexpr std::uint16_t B(int code) {
    int word = 0x0380;
    for (int k = 0; k < 5; ++k) word |= ((code >> k) & 1) << (14 - k);
    return static_cast<std::uint16_t>(word);
}

// Codes by character, letters and (mode 0) figures.
constexpr std::uint16_t A = B(3), Bc = B(25), C = B(14), D = B(9), E = B(1), H = B(20), L = B(18),
                        N = B(12), O = B(24), W = B(19), SP = B(4), LF = B(2);
constexpr std::uint16_t F1 = B(23), F2 = B(19), F3 = B(1), F4 = B(10), F5 = B(16);

struct Encoded {
    Words words;
    std::int32_t state;
};

Encoded Encode(const char* text, std::int32_t mode = Baudot_Mode, std::int32_t state = -1,
               bool figsAfterSpace = false) {
    CEncBaudotCode enc;
    enc.SetShiftState(state);
    enc.Init(1, 8000.0f, 1.0f);
    enc.SetFigsAfterSpace(figsAfterSpace);
    EXPECT_EQ(enc.SetText(text, mode), 0);
    EXPECT_EQ(enc.Mode(), mode);
    return {enc.CodeWords(), enc.ShiftState()};
}

// The Baudot words between lead-in and trailer.
Words Body(const Words& w) {
    EXPECT_GE(w.size(), 3u);
    EXPECT_EQ(w.front(), kLeadIn);
    EXPECT_EQ(w[w.size() - 2], kLeadIn);
    EXPECT_EQ(w.back(), kEnd);
    return Words(w.begin() + 1, w.end() - 2);
}

struct WordCase {
    const char* name;
    const char* text;
    std::int32_t mode;
    std::int32_t state;
    bool figsAfterSpace;
    Words body;
    std::int32_t stateAfter;
};

class BaudotWords : public ::testing::TestWithParam<WordCase> {};

TEST_P(BaudotWords, EncodesTheExpectedFrames) {
    const WordCase& c = GetParam();
    const Encoded e = Encode(c.text, c.mode, c.state, c.figsAfterSpace);
    EXPECT_EQ(Body(e.words), c.body);
    EXPECT_EQ(e.state, c.stateAfter);
}

const WordCase kWordCases[] = {
    {"LowerCaseFromUnset", "hello", 0, -1, false, {LTRS, H, E, L, L, O}, 1},
    {"FiguresThenLetters", "12 AB", 0, -1, false, {FIGS, F1, F2, SP, LTRS, A, Bc}, 1},
    {"EmptyFromUnsetSendsFigs", "", 0, -1, false, {FIGS}, 0},
    {"NullIsEmpty", nullptr, 0, 1, false, {}, 1},
    {"LettersStateNoShift", "CD", 0, 1, false, {C, D}, 1},
    {"FigureAfterLettersState", "1A", 0, 1, false, {FIGS, F1, LTRS, A}, 1},
    {"SpaceAndLineFeedKeepShift", "1 \n2", 0, 0, false, {F1, SP, LF, F2}, 0},
    {"Escape27KeepsState", "A\\27B", 0, 1, false, {A, FIGS, Bc}, 1},
    {"Escape00", "\\00A", 0, 1, false, {B(0), A}, 1},
    {"Escape40Nothing", "A\\40B", 0, 1, false, {A, Bc}, 1},
    {"EscapeNeedsTwoDigits", "A\\1X", 0, 1, false, {A, FIGS, F1, LTRS, B(29)}, 1},
    {"BackslashSecondLast", "AB\\1", 0, 1, false, {A, Bc, FIGS, F1}, 0},
    {"BackslashLast", "AB\\", 0, 1, false, {A, Bc}, 1},
    {"EscapeEndingText", "A\\12", 0, 1, false, {A, N}, 1},
    {"CarriageReturnNeedsFigs", "A\rB", 0, 1, false, {A, FIGS, B(8), LTRS, Bc}, 1},
    {"ShiftBytesAsCodes", "A\x1b\x1f", 0, 1, false, {A, FIGS, FIGS, LTRS}, 0},
    {"UnknownBytesDropped", "A@%*_\xA3\xFF", 0, 1, false, {A}, 1},
    {"Mode0DropsBackspace", "A\bB", 0, 1, false, {A, Bc}, 1},
    {"Mode3DropsBackspace", "A\bB", 3, 1, false, {A, Bc}, 1},
    {"Mode4BackspaceIsCode0", "A\bB", 4, 1, false, {A, B(0), Bc}, 1},
    {"Mode0Pound", "#\"&'", 0, 0, false, {B(20), B(17), B(26), B(11)}, 0},
    {"Mode3Variants", "\xA3+='\x05\x07", 3, 0, false, {B(20), B(17), B(30), B(5), B(9), B(11)}, 0},
    {"Mode4Variants", "=+;'$\"", 4, 0, false, {B(20), B(26), B(30), B(5), B(9), B(17)}, 0},
    {"Mode0Bell", "\x07", 0, 0, false, {B(5)}, 0},
    {"FigsAfterSpaceOff", "CALL 555 1234 NOW", 0, -1, false,
     {LTRS, C, A, L, L, SP, FIGS, F5, F5, F5, SP, F1, F2, F3, F4, SP, LTRS, N, O, W}, 1},
    {"FigsAfterSpaceOn", "CALL 555 1234 NOW", 0, -1, true,
     {LTRS, C, A, L, L, SP, FIGS, F5, F5, F5, SP, FIGS, F1, F2, F3, F4, SP, LTRS, N, O, W}, 1},
    // With figs-after-space a text whose shift is already known starts by sending it again.
    {"FigsAfterSpaceLettersUnchanged", "A B", 0, 1, true, {LTRS, A, SP, Bc}, 1},
    {"FigsAfterSpaceOnlyFirstFigure", "1 2-3", 0, 0, true, {FIGS, F1, SP, FIGS, F2, B(3), F3}, 0},
};

INSTANTIATE_TEST_SUITE_P(Tty, BaudotWords, ::testing::ValuesIn(kWordCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TtyWords, HelloHasLeadInShiftAndTrailer) {
    EXPECT_EQ(Encode("hello").words, (Words{kLeadIn, LTRS, H, E, L, L, O, kLeadIn, kEnd}));
}

TEST(TtyWords, ShiftCarriesFromOneTextToTheNext) {
    const Encoded first = Encode("AB");
    EXPECT_EQ(Body(first.words), (Words{LTRS, A, Bc}));
    const Encoded second = Encode("CD", Baudot_Mode, first.state);
    EXPECT_EQ(second.words, (Words{kLeadIn, C, D, kLeadIn, kEnd}));
    const Encoded third = Encode("12", Baudot_Mode, second.state);
    EXPECT_EQ(third.words, (Words{kLeadIn, FIGS, F1, F2, kLeadIn, kEnd}));
    EXPECT_EQ(third.state, 0);
}

TEST(TtyWords, AsciiLayoutAndStateUntouched) {
    for (const bool eight : {false, true}) {
        const std::uint16_t f = eight ? 0x0E00 : 0x0700;
        const Encoded e = Encode("Hi\xC1", eight ? ASCII8_Mode : ASCII7_Mode, 1);
        const auto w = [f](int v) { return static_cast<std::uint16_t>((v * 2) | f); };
        EXPECT_EQ(e.words, (Words{0x1FFF, f, f, w(0x48), w(0x69), w(0xC1), f, f, kEnd}));
        EXPECT_EQ(e.state, 1);
    }
    EXPECT_EQ(Encode("\xC1", ASCII7_Mode).words, Encode("A", ASCII7_Mode).words);
    EXPECT_EQ(Encode("", ASCII7_Mode, -1).state, -1);
}

TEST(TtyWords, ModeOutOfRangeIsRefused) {
    CEncBaudotCode enc;
    enc.Init(0, 8000.0f, 1.0f);
    EXPECT_EQ(enc.SetText("AB", 5), -1);
    EXPECT_EQ(enc.SetText("AB", -1), -1);
    EXPECT_TRUE(enc.CodeWords().empty());
    EXPECT_EQ(enc.Mode(), 0);
    EXPECT_EQ(enc.ShiftState(), -1);
    std::vector<std::uint8_t> buf(200, 0x11);
    EXPECT_EQ(enc.Read(buf.data(), 200), 0);
    EXPECT_EQ(buf[199], 0x80);
}

// --- rates --------------------------------------------------------------------------------

TEST(TtyRates, SamplesPerBit) {
    const std::int32_t at8000[6] = {176, 160, 141, 108, 80, 75};
    const std::int32_t at11025[6] = {243, 221, 194, 149, 110, 103};
    for (std::int32_t i = 0; i < 6; ++i) {
        EXPECT_EQ(CEncBaudotCode::SamplesPerBit(8000.0f, i), at8000[i]);
        EXPECT_EQ(CEncBaudotCode::SamplesPerBit(11025.0f, i), at11025[i]);
        CEncBaudotCode enc;
        enc.Init(0, 11025.0f, 1.0f);
        EXPECT_EQ(enc.SetBaudRate(i), S_OK);
        EXPECT_EQ(enc.BytesPerBit(), at11025[i]);
        EXPECT_EQ(enc.RateIndex(), i);
    }
    EXPECT_EQ(CEncBaudotCode::SamplesPerBit(8000.0f, 6), 0);
    EXPECT_EQ(CEncBaudotCode::SamplesPerBit(20.0f, 0), 0);  // a bit shorter than half a sample
}

TEST(TtyRates, BadIndexKeepsTheInitRate) {
    for (const std::int32_t bad : {6, -1}) {
        CEncBaudotCode enc;
        enc.Init(1, 8000.0f, 1.0f);
        EXPECT_EQ(enc.SetBaudRate(bad), E_INVALIDARG);
        EXPECT_EQ(enc.RateIndex(), 0);
        EXPECT_EQ(enc.BytesPerBit(), 352);
    }
}

// --- rendering ----------------------------------------------------------------------------

struct Line {
    bool is16 = true;
    float rate = 8000.0f;
    std::int32_t rateIndex = BR_45_45_Baud;
    std::int32_t mode = Baudot_Mode;
    std::int32_t state = -1;
};

// Pulls the whole transmission, asking for the sizes in turn. A call offered less than a
// sample may answer 0 without the text being over.
std::vector<std::uint8_t> Render(const char* text, const Line& s, std::vector<int> sizes = {1 << 20}) {
    CEncBaudotCode enc;
    enc.SetShiftState(s.state);
    enc.Init(s.is16 ? 1 : 0, s.rate, 0.8f);
    EXPECT_EQ(enc.SetBaudRate(s.rateIndex), S_OK);
    enc.SetText(text, s.mode);
    const int bytesPerSample = s.is16 ? 2 : 1;
    std::vector<std::uint8_t> out, buf((1 << 20) + 1);
    for (std::size_t i = 0;; ++i) {
        const int ask = sizes[i % sizes.size()];
        const int n = enc.Read(buf.data(), ask);
        EXPECT_LE(n, ask);
        EXPECT_EQ(n % bytesPerSample, 0);
        if (n == 0 && ask >= bytesPerSample) break;
        out.insert(out.end(), buf.begin(), buf.begin() + n);
    }
    return out;
}

// What the line should carry for the bits: two bit times of silence, then each bit from a
// 1400 Hz (1) or 1800 Hz (0) tone, each tone resuming where it last stopped.
std::vector<std::uint8_t> Expected(const std::string& bits, const Line& s) {
    const int bytesPerBit = CEncBaudotCode::SamplesPerBit(s.rate, s.rateIndex) * (s.is16 ? 2 : 1);
    CMultiTone mark, space;
    mark.Init(s.is16 ? 1 : 0, s.rate, 0.8f);
    space.Init(s.is16 ? 1 : 0, s.rate, 0.8f);
    const ToneNode m{1400.0f, nullptr, 0.0f}, sp{1800.0f, nullptr, 0.0f};
    mark.AddTones(&m);
    space.AddTones(&sp);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(2 * bytesPerBit), s.is16 ? 0x00 : 0x80);
    for (const char bit : bits) {
        const std::size_t at = out.size();
        out.resize(at + static_cast<std::size_t>(bytesPerBit));
        (bit == '1' ? mark : space).Read(out.data() + at, bytesPerBit);
    }
    return out;
}

struct BitCase {
    const char* name;
    const char* text;
    std::int32_t mode;
    std::int32_t state;
    std::string bits;
};

const std::string kMarks7 = "1111111", kMarks12 = "111111111111";
const std::string kNul7 = "0000000011", kNul8 = "00000000011";

const BitCase kBitCases[] = {
    {"BaudotA", "A", 0, 1, kMarks7 + "01100011" + kMarks7},
    {"BaudotAFromUnset", "A", 0, -1, kMarks7 + "01111111" + "01100011" + kMarks7},
    {"Ascii7A", "A", 1, -1, kMarks12 + kNul7 + kNul7 + "0100000111" + kNul7 + kNul7},
    {"Ascii7HighBitDropped", "\xC1", 1, -1, kMarks12 + kNul7 + kNul7 + "0100000111" + kNul7 + kNul7},
    {"Ascii8A", "A", 2, -1, kMarks12 + kNul8 + kNul8 + "01000001011" + kNul8 + kNul8},
    {"Ascii8HighBitSent", "\xC1", 2, -1, kMarks12 + kNul8 + kNul8 + "01000001111" + kNul8 + kNul8},
};

class TtyBits : public ::testing::TestWithParam<BitCase> {};

TEST_P(TtyBits, RendersTheFrameBits) {
    const BitCase& c = GetParam();
    for (const bool is16 : {false, true}) {
        for (const std::int32_t rate : {BR_45_45_Baud, BR_110_Baud}) {
            const Line s{is16, 8000.0f, rate, c.mode, c.state};
            EXPECT_EQ(Render(c.text, s), Expected(c.bits, s)) << "16-bit " << is16 << " rate " << rate;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Tty, TtyBits, ::testing::ValuesIn(kBitCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Mark and space told apart by zero crossings, without the reference synthesizer: 176
// samples hold about 62 crossings of 1400 Hz and 79 of 1800 Hz.
TEST(TtyRender, TonesAreMarkAndSpace) {
    const std::vector<std::uint8_t> pcm = Render("A", Line{false, 8000.0f, BR_45_45_Baud, 0, 1});
    ASSERT_EQ(pcm.size(), 24u * 176u);
    std::string bits;
    for (std::size_t bit = 2; bit < 24; ++bit) {
        int crossings = 0;
        for (std::size_t i = bit * 176 + 1; i < (bit + 1) * 176; ++i) {
            crossings += (pcm[i - 1] < 128) != (pcm[i] < 128);
        }
        bits += crossings < 70 ? '1' : '0';
    }
    EXPECT_EQ(bits, kMarks7 + "01100011" + kMarks7);
}

TEST(TtyRender, LengthsAt8000Hz16Bit) {
    CEncBaudotCode enc;
    enc.Init(1, 8000.0f, 1.0f);
    EXPECT_EQ(enc.BytesPerBit(), 352);
    const std::vector<std::uint8_t> pcm = Render("A", Line{});
    ASSERT_EQ(pcm.size(), 11264u);  // 2 silent + 7 + 8 + 8 + 7 bits
    for (std::size_t i = 0; i < 704; ++i) ASSERT_EQ(pcm[i], 0) << i;
    EXPECT_NE(pcm[706] | pcm[707], 0);  // the lead-in starts at phase 0, its 2nd sample has risen

    enc.SetBaudRate(BR_110_Baud);
    EXPECT_EQ(enc.BytesPerBit(), 150);
    EXPECT_EQ(Render("A", Line{false, 8000.0f, BR_110_Baud}).size(), 32u * 75u);
}

TEST(TtyRender, SplitReadsEqualOneRead) {
    const std::vector<int> sizes = {1, 3, 101, 102, 333, 8192};
    for (const bool is16 : {false, true}) {
        for (const std::int32_t mode : {0, 1, 2}) {
            const Line s{is16, 11025.0f, BR_74_20_Baud, mode, -1};
            const std::vector<std::uint8_t> whole = Render("Split 12, ok", s);
            EXPECT_EQ(Render("Split 12, ok", s, sizes), whole);
            for (const int size : sizes) {
                if (size < (is16 ? 2 : 1)) continue;
                EXPECT_EQ(Render("Split 12, ok", s, {size}), whole) << size << " bytes, 16-bit " << is16;
            }
        }
    }
}

TEST(TtyRender, OddByteCountsIn16Bit) {
    CEncBaudotCode enc;
    enc.Init(1, 8000.0f, 1.0f);
    enc.SetText("A", Baudot_Mode);
    std::vector<std::uint8_t> buf(2000, 0xAB);
    EXPECT_EQ(enc.Read(buf.data(), 1), 0);
    EXPECT_EQ(buf[0], 0xAB);
    EXPECT_EQ(enc.Read(buf.data(), 1001), 1000);  // 704 silent bytes, then tone
    EXPECT_EQ(buf[1000], 0xAB);
    int total = 1000;
    for (int n; (n = enc.Read(buf.data(), 1001)) > 0;) {
        EXPECT_EQ(n % 2, 0);
        total += n;
    }
    EXPECT_EQ(total, 11264);
}

TEST(TtyRender, ReadAfterTheEndGivesSilence) {
    for (const bool is16 : {false, true}) {
        CEncBaudotCode enc;
        enc.Init(is16 ? 1 : 0, 8000.0f, 1.0f);
        enc.SetText("A", Baudot_Mode);
        const int total = is16 ? 11264 : 5632;
        std::vector<std::uint8_t> buf(8000, 0x55);
        EXPECT_EQ(enc.Read(buf.data(), 8000), is16 ? 8000 : total);
        if (is16) {
            std::fill(buf.begin(), buf.end(), 0x55);
            EXPECT_EQ(enc.Read(buf.data(), 8000), total - 8000);  // the rest of the frame
        }
        const std::uint8_t silence = is16 ? 0x00 : 0x80;
        for (std::size_t i = static_cast<std::size_t>(total % 8000); i < buf.size(); ++i) {
            ASSERT_EQ(buf[i], silence) << i;
        }
        std::fill(buf.begin(), buf.end(), 0x55);
        EXPECT_EQ(enc.Read(buf.data(), 8000), 0);
        for (const std::uint8_t b : buf) ASSERT_EQ(b, silence);
    }
}

}  // namespace
