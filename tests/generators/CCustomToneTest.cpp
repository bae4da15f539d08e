#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "varnel/generators/CCustomTone.h"
#include "varnel/generators/CGenSilence.h"

using namespace Quorvex::VarnelNet;

namespace {

// Pulls a generator until it answers 0, asking for the sizes in turn.
std::vector<std::uint8_t> Drain(CGenBase& gen, std::vector<int> sizes = {8192}) {
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> buf(9000, 0xA5);
    for (std::size_t i = 0;; ++i) {
        const int ask = sizes[i % sizes.size()];
        const int n = gen.Read(buf.data(), ask);
        if (n == 0) break;
        EXPECT_GT(n, 0);
        EXPECT_LE(n, ask);
        out.insert(out.end(), buf.begin(), buf.begin() + n);
        if (out.size() > 10'000'000u) break;
    }
    return out;
}

std::vector<std::uint8_t> Burst(bool is16, float rate, int toneMs, int pauseMs, float f1, float f2,
                                float f3, std::vector<int> sizes = {8192}) {
    CCustomTone gen;
    gen.Init(is16 ? 1 : 0, rate, 1.0f);
    EXPECT_EQ(gen.SetTone(toneMs, pauseMs, f1, f2, f3), 0);
    return Drain(gen, std::move(sizes));
}

// The averaged sine tones as 16-bit little-endian bytes, by the oscillator recursion.
std::vector<std::uint8_t> Tones16(const std::vector<double>& hz, float rate, int samples) {
    std::vector<double> c2, y1, y2;
    for (const double f : hz) {
        const double w = f * 6.283185307179586 / static_cast<double>(rate);
        c2.push_back(std::cos(w) * 2.0);
        y1.push_back(std::sin(-w));
        y2.push_back(std::sin(-2.0 * w));
    }
    std::vector<std::uint8_t> out;
    for (int i = 0; i < samples; ++i) {
        double sum = 0.0;
        for (std::size_t k = 0; k < hz.size(); ++k) {
            const double y = c2[k] * y1[k] - y2[k];
            y2[k] = y1[k];
            y1[k] = y;
            sum = sum + y;
        }
        const int s = static_cast<int>(std::trunc(sum / static_cast<double>(hz.size()) * 32767.0));
        out.push_back(static_cast<std::uint8_t>(s));
        out.push_back(static_cast<std::uint8_t>(s >> 8));
    }
    return out;
}

bool AllAre(const std::vector<std::uint8_t>& v, std::size_t from, std::size_t to, std::uint8_t b) {
    return std::all_of(v.begin() + static_cast<long>(from), v.begin() + static_cast<long>(to),
                       [b](std::uint8_t x) { return x == b; });
}

}  // namespace

TEST(CGenSilence, DurationsInBytes) {
    struct Case { bool is16; float rate; float ms; std::size_t bytes; };
    const Case cases[] = {
        {false, 8000.0f, 10.0f, 80}, {true, 8000.0f, 10.0f, 160}, {false, 8000.0f, 0.1f, 0},
        {true, 8000.0f, 0.1f, 0},    {true, 11025.0f, 20.0f, 440}, {false, 11025.0f, 20.0f, 220},
        {true, 44100.0f, 1000.0f, 88200},
    };
    for (const Case& c : cases) {
        CGenSilence gen;
        gen.Init(c.is16 ? 1 : 0, c.rate, 1.0f);
        ASSERT_EQ(gen.SetDuration(c.ms), 0);
        const std::vector<std::uint8_t> out = Drain(gen);
        EXPECT_EQ(out, std::vector<std::uint8_t>(c.bytes, c.is16 ? 0x00 : 0x80)) << c.ms << " ms " << c.rate;
        std::uint8_t buf[16];
        EXPECT_EQ(gen.Read(buf, 16), 0);
    }
}

TEST(CGenSilence, RefusesDurationsWithoutAByteLength) {
    for (const float ms : {1e9f, -10.0f, std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::quiet_NaN()}) {
        CGenSilence gen;
        gen.Init(1, 8000.0f, 0.0f);
        ASSERT_EQ(gen.SetDuration(10.0f), 0);
        EXPECT_EQ(gen.SetDuration(ms), -1) << ms;
        EXPECT_EQ(Drain(gen).size(), 160u) << ms;  // the earlier duration stands
    }
}

TEST(CGenSilence, OddCountIn16BitWritesWholeSamples) {
    CGenSilence gen;
    gen.Init(1, 8000.0f, 0.0f);
    gen.SetDuration(1.0f);  // 16 bytes
    std::vector<std::uint8_t> buf(16, 0xA5);
    EXPECT_EQ(gen.Read(buf.data(), 7), 6);
    EXPECT_EQ(buf[6], 0xA5);
    EXPECT_EQ(gen.Read(buf.data(), 101), 10);
}

TEST(CCustomTone, BurstLengths) {
    // Each length is the byte count rounded up to whole samples, not whole samples times two.
    struct Case { bool is16; float rate; int toneMs, pauseMs; std::size_t tone, pause; };
    const Case cases[] = {
        {true, 8000.0f, 100, 50, 1600, 800}, {true, 11025.0f, 20, 20, 442, 442},
        {false, 11025.0f, 20, 20, 220, 220}, {true, 11025.0f, 10, 30, 220, 662},
        {true, 8000.0f, 0, 25, 0, 400},      {false, 8000.0f, 25, 0, 200, 0},
        {true, 8000.0f, 0, 0, 0, 0},  // ends at the first Read
    };
    for (const Case& c : cases) {
        const std::vector<std::uint8_t> out = Burst(c.is16, c.rate, c.toneMs, c.pauseMs, 440.0f, 0.0f, 0.0f);
        ASSERT_EQ(out.size(), c.tone + c.pause) << c.rate << " " << c.toneMs << "+" << c.pauseMs;
        EXPECT_TRUE(AllAre(out, c.tone, out.size(), c.is16 ? 0x00 : 0x80));
        if (c.tone > 0) {
            EXPECT_FALSE(AllAre(out, 0, c.tone, c.is16 ? 0x00 : 0x80));
        }
    }
}

TEST(CCustomTone, SineBurstKnownAnswer) {
    const std::vector<std::uint8_t> out = Burst(true, 8000.0f, 100, 50, 440.0f, 0.0f, 0.0f);
    ASSERT_EQ(out.size(), 2400u);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 1600), Tones16({440.0}, 8000.0f, 800));
    EXPECT_TRUE(AllAre(out, 1600, 2400, 0x00));
}

TEST(CCustomTone, ZeroFrequenciesAddNoTone) {
    const std::vector<std::uint8_t> out = Burst(true, 8000.0f, 50, 0, 350.0f, 440.0f, 0.0f);
    EXPECT_EQ(out, Tones16({350.0, 440.0}, 8000.0f, 400));
    EXPECT_EQ(Burst(true, 8000.0f, 50, 0, 0.0f, 350.0f, 440.0f), out);
    // With no tone at all the tone phase is silence too.
    EXPECT_EQ(Burst(true, 8000.0f, 100, 50, 0.0f, 0.0f, 0.0f), std::vector<std::uint8_t>(2400, 0x00));
    EXPECT_EQ(Burst(false, 8000.0f, 100, 50, 0.0f, 0.0f, 0.0f), std::vector<std::uint8_t>(1200, 0x80));
}

TEST(CCustomTone, SplitReadsEqualOneRead) {
    for (const bool is16 : {true, false}) {
        const std::vector<std::uint8_t> whole = Burst(is16, 8000.0f, 100, 50, 350.0f, 440.0f, 620.0f);
        EXPECT_EQ(Burst(is16, 8000.0f, 100, 50, 350.0f, 440.0f, 620.0f, {is16 ? 102 : 101}), whole);
    }
}

TEST(CCustomTone, OddCountsIn16BitReportOnlyWrittenBytes) {
    const std::vector<std::uint8_t> whole = Burst(true, 8000.0f, 20, 10, 440.0f, 0.0f, 0.0f);
    CCustomTone gen;
    gen.Init(1, 8000.0f, 1.0f);
    gen.SetTone(20, 10, 440.0f, 0.0f, 0.0f);
    std::vector<std::uint8_t> got;
    for (const int ask : {101, 1, 3, 255, 101, 101}) {
        std::vector<std::uint8_t> buf(static_cast<std::size_t>(ask) + 1, 0xA5);
        const int n = gen.Read(buf.data(), ask);
        ASSERT_EQ(n % 2, 0) << ask;
        ASSERT_LE(n, ask);
        EXPECT_EQ(buf[static_cast<std::size_t>(n)], 0xA5) << "byte " << n << " of " << ask;
        got.insert(got.end(), buf.begin(), buf.begin() + n);
    }
    EXPECT_EQ(got, whole);
}

TEST(CCustomTone, SetTimesRefusesNegativeAndOversizedTimes) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    const std::int64_t bad[][2] = {{-1, 50}, {100, -1}, {kMax, 0}, {0, kMax},
                                   {200000000, 0}, {0, std::int64_t{1} << 40}};
    for (const auto& t : bad) {
        CCustomTone gen;
        gen.Init(1, 8000.0f, 1.0f);
        ASSERT_EQ(gen.SetTone(100, 50, 440.0f, 0.0f, 0.0f), 0);
        EXPECT_EQ(gen.SetTimes(t[0], t[1]), -1) << t[0] << " " << t[1];
        EXPECT_EQ(Drain(gen).size(), 2400u);  // the burst set before stays
    }
}
