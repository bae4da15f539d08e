#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "varnel/generators/CGenDTMF.h"

using namespace Quorvex::VarnelNet;

namespace {

struct Format {
    bool is16 = true;
    float rate = 8000.0f;
    float level = 1.0f;
};

struct Times {
    int toneMs = 80;
    int breakMs = 150;
    int pauseMs = 400;
};

// Reads the whole request as the engine pulls it, asking for the sizes in turn.
std::vector<std::uint8_t> Render(std::string_view keys, Format f = {}, Times t = {},
                                 std::vector<int> sizes = {8192}) {
    CGenDTMF gen;
    gen.Init(f.is16 ? 1 : 0, f.rate, f.level);
    EXPECT_EQ(gen.SetTimes(t.toneMs, t.breakMs, t.pauseMs), 0);
    gen.SetDigits(keys);
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> buf(1 << 16);
    for (std::size_t i = 0;; ++i) {
        const int ask = sizes[i % sizes.size()];
        const int n = gen.Read(buf.data(), ask);
        if (n == 0) break;
        EXPECT_EQ(n % (f.is16 ? 2 : 1), 0);
        EXPECT_LE(n, ask);
        out.insert(out.end(), buf.begin(), buf.begin() + n);
    }
    return out;
}

int DurationBytes(int ms, const Format& f) {
    const float samples = static_cast<float>(ms) * f.rate / 1000.0f;
    return static_cast<int>(std::trunc(samples)) * (f.is16 ? 2 : 1);
}

// The unfaded pair: the column tone first, then the row tone, averaged, as sample values.
std::vector<int> Unfaded(double column, double row, const Format& f, int samples) {
    double c2[2], y1[2], y2[2];
    const double hz[2] = {column, row};
    for (int k = 0; k < 2; ++k) {
        const double w = hz[k] * 6.283185307179586 / static_cast<double>(f.rate);
        c2[k] = std::cos(w) * 2.0;
        y1[k] = std::sin(-w);
        y2[k] = std::sin(-2.0 * w);
    }
    std::vector<int> out;
    for (int i = 0; i < samples; ++i) {
        double sum = 0.0;
        for (int k = 0; k < 2; ++k) {
            const double y = c2[k] * y1[k] - y2[k];
            y2[k] = y1[k];
            y1[k] = y;
            sum = sum + 1.0 * y;
        }
        const double v = static_cast<double>(f.level) * (sum / 2.0);
        out.push_back(f.is16 ? static_cast<int>(std::trunc(v * 32767.0))
                             : static_cast<int>(std::trunc(v * 127.0 + 128.0)));
    }
    return out;
}

int Scaled(int value, float factor, bool is16) {
    if (is16) return static_cast<int>(static_cast<float>(value) * factor);
    return static_cast<int>(static_cast<float>(value - 128) * factor + 128.0f);
}

std::vector<int> Samples(const std::vector<std::uint8_t>& bytes, bool is16, std::size_t from = 0,
                         std::size_t to = SIZE_MAX) {
    std::vector<int> out;
    to = std::min(to, bytes.size());
    for (std::size_t i = from; i + (is16 ? 1 : 0) < to; i += is16 ? 2 : 1) {
        out.push_back(is16 ? static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8)) : bytes[i]);
    }
    return out;
}

// Expected samples of one key's tone: the pair with a linear ramp of 5.5 % of the tone (in
// bytes, rounded up to even) at each end; the ramp factors are taken in 32-bit float.
std::vector<int> ExpectedTone(double column, double row, const Format& f, int toneMs) {
    const int bps = f.is16 ? 2 : 1;
    const int toneBytes = DurationBytes(toneMs, f);
    const int r = static_cast<int>(std::trunc(toneBytes * 0.055));
    const int ramp = r + r % 2;
    std::vector<int> s = Unfaded(column, row, f, toneBytes / bps);
    const int n = static_cast<int>(s.size());
    for (int i = 0; ramp > 0 && i < ramp / bps; ++i) {
        s[i] = Scaled(s[i], static_cast<float>(i * bps) / static_cast<float>(ramp), f.is16);
        const int j = n - ramp / bps + i;
        s[j] = Scaled(s[j], static_cast<float>(ramp - i * bps) / static_cast<float>(ramp), f.is16);
    }
    return s;
}

constexpr std::string_view kKeys = "123A456B789C*0#D";
constexpr double kRow[4] = {697, 770, 852, 941};
constexpr double kColumn[4] = {1209, 1336, 1477, 1633};

}  // namespace

TEST(CGenDTMF, KeyOneKnownAnswer) {
    const Format f;
    const std::vector<std::uint8_t> out = Render("1");
    ASSERT_EQ(out.size(), 3680u);
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin() + 1280, out.end()), std::vector<std::uint8_t>(2400, 0));

    const std::vector<int> tone = Samples(out, true, 0, 1280);
    const std::vector<int> plain = Unfaded(1209, 697, f, 640);
    EXPECT_EQ(tone[0], 0);
    EXPECT_EQ(tone[639], static_cast<int>(static_cast<float>(plain[639]) * (2.0f / 70.0f)));
    EXPECT_NE(tone[639], 0);
    // The ramps cover 35 samples at each end; the fade-out starts at the full factor.
    for (const int i : {35, 100, 320, 605}) EXPECT_EQ(tone[i], plain[i]) << i;
    EXPECT_NE(tone[34], plain[34]);
    EXPECT_NE(tone[606], plain[606]);
    EXPECT_EQ(tone, ExpectedTone(1209, 697, f, 80));
    // A tone under 19 bytes has no ramp at all.
    EXPECT_EQ(Samples(Render("1", f, {1, 0, 0}), true), Unfaded(1209, 697, f, 8));
}

TEST(CGenDTMF, EveryKeyPlaysItsPairFromPhaseZero) {
    for (const bool is16 : {true, false}) {
        const Format f{is16, 8000.0f, 0.7f};
        const Times t{45, 30, 100};  // ramps of 39 and 19 bytes, rounded up to 40 and 20
        const std::vector<std::uint8_t> out = Render(kKeys, f, t);
        const std::size_t tone = static_cast<std::size_t>(DurationBytes(45, f));
        const std::size_t per = tone + static_cast<std::size_t>(DurationBytes(30, f));
        ASSERT_EQ(out.size(), per * kKeys.size());
        for (std::size_t p = 0; p < kKeys.size(); ++p) {
            SCOPED_TRACE(std::string(1, kKeys[p]) + (is16 ? " 16-bit" : " 8-bit"));
            // Every tone starts at the centre value and fades towards it at the end.
            EXPECT_EQ(out[p * per], is16 ? 0x00 : 0x80);
            EXPECT_EQ(Samples(out, is16, p * per, p * per + tone),
                      ExpectedTone(kColumn[p % 4], kRow[p / 4], f, 45));
            EXPECT_TRUE(std::all_of(out.begin() + static_cast<long>(p * per + tone),
                                    out.begin() + static_cast<long>((p + 1) * per),
                                    [&](std::uint8_t b) { return b == (is16 ? 0x00 : 0x80); }));
        }
    }
}

TEST(CGenDTMF, TextsThatPlayAlike) {
    struct Case { const char* text; const char* same; };
    const Case cases[] = {
        {"abcd", "ABCD"}, {"1 2", "12"}, {"1-2\t3", "123"}, {"p1w", "1"}, {"9E", "9"}, {"x", ""},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(Render(c.text), Render(c.same)) << c.text;
    EXPECT_TRUE(Render("x").empty());  // the first Read already answers 0
    EXPECT_NE(Render("A"), Render("1"));
}

TEST(CGenDTMF, CommasArePausesOfSilence) {
    // Silence is expected in [silentFrom, silentTo) of the output.
    struct Case { const char* text; bool is16; std::size_t bytes, silentFrom, silentTo; };
    const Case cases[] = {
        {",", true, 6400, 0, 6400}, {",,", true, 12800, 0, 12800}, {",", false, 3200, 0, 3200},
        {"1,", true, 3680 + 6400, 1280, 3680 + 6400}, {",1", false, 3200 + 1840, 0, 3200},
    };
    for (const Case& c : cases) {
        const std::vector<std::uint8_t> out = Render(c.text, {c.is16, 8000.0f, 1.0f});
        ASSERT_EQ(out.size(), c.bytes) << c.text;
        EXPECT_TRUE(std::all_of(out.begin() + static_cast<long>(c.silentFrom),
                                out.begin() + static_cast<long>(c.silentTo),
                                [&](std::uint8_t b) { return b == (c.is16 ? 0x00 : 0x80); }))
            << c.text;
    }
    // A pause does not disturb the key after it.
    const std::vector<std::uint8_t> key = Render("1", {false});
    const std::vector<std::uint8_t> both = Render(",1", {false});
    EXPECT_TRUE(std::equal(key.begin(), key.end(), both.begin() + 3200));
}

TEST(CGenDTMF, ZeroToneTimeGivesOnlyBreaks) {
    EXPECT_EQ(Render("1", {}, {0, 150, 400}), std::vector<std::uint8_t>(2400, 0x00));
    EXPECT_EQ(Render("12,", {false}, {0, 150, 10}), std::vector<std::uint8_t>(2400 + 80, 0x80));
}

TEST(CGenDTMF, SplitReadsEqualOneRead) {
    // Odd sizes in 16-bit output are answered with whole samples only.
    for (const bool is16 : {true, false}) {
        const Format f{is16, 8000.0f, 0.9f};
        const Times t{45, 20, 30};
        EXPECT_EQ(Render("0123456789ABCD*#,5", f, t, {101, 102, 7, 333}),
                  Render("0123456789ABCD*#,5", f, t, {1 << 16}))
            << (is16 ? "16-bit" : "8-bit");
    }
}

TEST(CGenDTMF, SetTimesRefusesNegativeAndOversizedTimes) {
    constexpr int kMax = std::numeric_limits<std::int32_t>::max();
    const Times bad[] = {{-1, 150, 400}, {80, -1, 400}, {80, 150, -1}, {kMax, 150, 400},
                         {80, kMax, 400}, {80, 150, kMax}, {200000000, 0, 0}};
    for (const Times& t : bad) {
        CGenDTMF gen;
        gen.Init(1, 8000.0f, 1.0f);
        ASSERT_EQ(gen.SetTimes(80, 150, 400), 0);
        EXPECT_EQ(gen.SetTimes(t.toneMs, t.breakMs, t.pauseMs), -1)
            << t.toneMs << " " << t.breakMs << " " << t.pauseMs;
        // The times set before stay in force.
        gen.SetDigits("1,");
        std::vector<std::uint8_t> buf(20000);
        EXPECT_EQ(gen.Read(buf.data(), 20000), 3680 + 6400);
    }
    CGenDTMF gen;
    gen.Init(1, 8000.0f, 1.0f);
    EXPECT_EQ(gen.SetTimes(100000000, 0, 0), 0);
}

TEST(CGenDTMF, LongKeyStringsPlayEveryKey) {
    std::string keys;
    for (int i = 0; i < 500; ++i) keys += "0123456789";
    const Format f{false, 8000.0f, 1.0f};
    const std::vector<std::uint8_t> out = Render(keys, f, {40, 40, 0});
    ASSERT_EQ(out.size(), 5000u * 640u);
    // The 5000th key plays exactly as the same key did at the start.
    EXPECT_TRUE(std::equal(out.end() - 640, out.end(), out.begin() + 9 * 640));
    EXPECT_TRUE(std::any_of(out.end() - 640, out.end() - 320, [](std::uint8_t b) { return b != 0x80; }));
}
