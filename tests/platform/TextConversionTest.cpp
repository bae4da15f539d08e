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

}  // namespace
