#include <gtest/gtest.h>

#include <string>

#include "varnel/platform/TextConversion.h"

namespace {

using namespace Quorvex::VarnelNet;

struct NarrowCase {
    const char* name;
    std::u16string text;
    std::string ansi;
};

class NarrowToAnsiTest : public ::testing::TestWithParam<NarrowCase> {};

TEST_P(NarrowToAnsiTest, ConvertsToWindows1252) {
    EXPECT_EQ(NarrowToAnsi(GetParam().text), GetParam().ansi);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NarrowToAnsiTest,
    ::testing::Values(
        NarrowCase{"Ascii", u"0123 ABC*#,", "0123 ABC*#,"},
        NarrowCase{"Empty", u"", ""},
        NarrowCase{"Latin1", u"caf\u00E9 \u00A0\u00FF", "caf\xE9 \xA0\xFF"},
        NarrowCase{"EuroSign", u"\u20AC5", "\x80" "5"},
        NarrowCase{"OtherHighRow", u"\u2122\u0178\u201A", "\x99\x9F\x82"},
        NarrowCase{"OutsideCodePage", u"a\u0101\u65E5b", "a??b"},
        NarrowCase{"SurrogatePairIsOneCharacter", u"x\U0001F600y", "x?y"},
        NarrowCase{"UnpairedHighSurrogate", std::u16string{u'a', char16_t(0xD83D), u'b'}, "a?b"},
        NarrowCase{"UnpairedLowSurrogate", std::u16string{char16_t(0xDE00), u'b'}, "?b"},
        NarrowCase{"HighSurrogateAtEnd", std::u16string{u'a', char16_t(0xD800)}, "a?"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WidenFromAnsiTest, MapsTheHighRowOfWindows1252) {
    char16_t out[8];
    ASSERT_EQ(WidenFromAnsi("\x80\x99\xE9", out, 8), 3u);
    EXPECT_EQ(std::u16string(out), u"\u20AC\u2122\u00E9");
}

TEST(WidenFromAnsiTest, EveryByteComesBackThroughNarrowing) {
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    char16_t out[256];
    ASSERT_EQ(WidenFromAnsi(all, out, 256), all.size());
    EXPECT_EQ(NarrowToAnsi(std::u16string_view(out, all.size())), all);
}

TEST(WidenFromAnsiTest, CutsAtCapacityAndTerminates) {
    char16_t out[6] = {u'#', u'#', u'#', u'#', u'#', u'#'};
    EXPECT_EQ(WidenFromAnsi("abcdef", out, 4), 3u);
    EXPECT_EQ(std::u16string(out), u"abc");
    EXPECT_EQ(out[4], u'#');

    EXPECT_EQ(WidenFromAnsi("abc", out, 1), 0u);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], u'b');
}

TEST(Utf16ToUtf8Test, EncodesEveryLength) {
    EXPECT_EQ(Utf16ToUtf8(u"abc"), "abc");
    EXPECT_EQ(Utf16ToUtf8(u"\u00E9"), "\xC3\xA9");
    EXPECT_EQ(Utf16ToUtf8(u"\u20AC"), "\xE2\x82\xAC");
    EXPECT_EQ(Utf16ToUtf8(u"\uFFFF"), "\xEF\xBF\xBF");
    EXPECT_EQ(Utf16ToUtf8(u"\U00010000"), "\xF0\x90\x80\x80");
    EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{char16_t(0xDC00), u'z'}), "\xEF\xBF\xBDz");
    EXPECT_EQ(Utf16ToUtf8(u""), "");
}

struct Utf8Case {
    const char* name;
    std::string utf8;
    std::u16string utf16;
};

class Utf8ToUtf16Test : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8ToUtf16Test, DecodesAndReplacesIllFormed) {
    EXPECT_EQ(Utf8ToUtf16(GetParam().utf8), GetParam().utf16);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8ToUtf16Test,
    ::testing::Values(
        Utf8Case{"Empty", "", u""},
        Utf8Case{"Ascii", "0123 *#", u"0123 *#"},
        Utf8Case{"EmbeddedZero", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
        Utf8Case{"EveryLength", "\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBF\xF0\x9F\x98\x80",
                 u"\u00E9\u20AC\uFFFF\U0001F600"},
        Utf8Case{"Boundaries", "\xC2\x80\xDF\xBF\xE0\xA0\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF",
                 u"\u0080\u07FF\u0800\U00010000\U0010FFFF"},
        Utf8Case{"StrayContinuation", "a\x80\xBF" "b", u"a\uFFFD\uFFFDb"},
        Utf8Case{"TruncatedAtEnd", "a\xE2\x82", u"a\uFFFD"},
        Utf8Case{"TruncatedBeforeAscii", "\xF0\x9F\x98z", u"\uFFFDz"},
        Utf8Case{"OverlongTwoBytes", "\xC0\xAF\xC1\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        Utf8Case{"OverlongThreeBytes", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
        Utf8Case{"OverlongFourBytes", "\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        Utf8Case{"EncodedSurrogate", "\xED\xA0\x80x", u"\uFFFD\uFFFD\uFFFDx"},
        Utf8Case{"AboveMaximum", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        Utf8Case{"InvalidLeadBytes", "\xF5\xFE\xFF", u"\uFFFD\uFFFD\uFFFD"},
        Utf8Case{"Latin1ByMistake", "caf\xE9!", u"caf\uFFFD!"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Utf8ToUtf16RoundTripTest, ThroughUtf16ToUtf8) {
    const std::u16string text = u"A\u00E9\u20AC\U0001F600\U0010FFFFz";
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
}

}  // namespace
