#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "varnel/generators/CMultiTone.h"

using namespace Quorvex::VarnelNet;

namespace {

struct RefTone {
    double frequency;
    double amplitude;  // the level the tone is expected to play at
};

// Independent model of the synthesis: one second-order recursion per tone, seeded so that the
// first output is sin(0), the tones averaged in list order, then scaled and truncated.
std::vector<int> Reference(const std::vector<RefTone>& tones, float rate, float level,
                           bool is16, int samples) {
    struct Osc { double c2, y1, y2, a; };
    std::vector<Osc> osc;
    for (const RefTone& t : tones) {
        const double w = static_cast<double>(static_cast<float>(t.frequency)) * 6.283185307179586 /
                         static_cast<double>(rate);
        osc.push_back({std::cos(w) * 2.0, std::sin(-w), std::sin(-2.0 * w), t.amplitude});
    }
    std::vector<int> out;
    for (int i = 0; i < samples; ++i) {
        double sum = 0.0;
        for (Osc& o : osc) {
            const double y = o.c2 * o.y1 - o.y2;
            o.y2 = o.y1;
            o.y1 = y;
            sum = sum + o.a * y;
        }
        const double v = static_cast<double>(level) * (osc.empty() ? 0.0 : sum / static_cast<double>(osc.size()));
        out.push_back(is16 ? static_cast<int>(std::trunc(v * 32767.0))
                           : static_cast<int>(std::trunc(v * 127.0 + 128.0)));
    }
    return out;
}

std::vector<int> Decode(const std::vector<std::uint8_t>& bytes, bool is16) {
    if (!is16) return {bytes.begin(), bytes.end()};
    std::vector<int> out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        out.push_back(static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return out;
}

// A synthesizer holding the given frequencies, chained in order with the given entry levels.
struct Synth {
    Synth(bool is16, float rate, float level, const std::vector<ToneNode>& entries) : nodes(entries) {
        tone.Init(is16 ? 1 : 0, rate, level);
        for (std::size_t i = 0; i + 1 < nodes.size(); ++i) nodes[i].next = &nodes[i + 1];
        count = tone.AddTones(nodes.empty() ? nullptr : nodes.data());
    }
    std::vector<std::uint8_t> Read(int bytes) {
        std::vector<std::uint8_t> buf(static_cast<std::size_t>(bytes));
        tone.Read(buf.data(), bytes);
        return buf;
    }
    std::vector<ToneNode> nodes;
    CMultiTone tone;
    int count = 0;
};

}  // namespace

TEST(CMultiTone, QuarterRateToneKnownAnswer) {
    const int nominal16[8] = {0, 23169, 32767, 23169, 0, -23169, -32767, -23169};
    const int nominal8[8] = {128, 217, 255, 217, 128, 38, 1, 38};
    for (const bool is16 : {true, false}) {
        SCOPED_TRACE(is16 ? "16-bit" : "8-bit");
        const int samples = 8000;
        Synth s(is16, 8000.0f, 1.0f, {{1000.0f, nullptr, 0.0f}});
        const std::vector<int> got = Decode(s.Read(samples * (is16 ? 2 : 1)), is16);
        ASSERT_EQ(got.size(), static_cast<std::size_t>(samples));
        // The first period is exact; later the recursion may move a value by its last bit,
        // and truncation shows that, but never by more than one step.
        const int* nominal = is16 ? nominal16 : nominal8;
        for (int i = 0; i < 8; ++i) EXPECT_EQ(got[i], nominal[i]) << i;
        for (int i = 0; i < samples; ++i) ASSERT_NEAR(got[i], nominal[i % 8], 1) << i;
        EXPECT_EQ(got, Reference({{1000.0, 1.0}}, 8000.0f, 1.0f, is16, samples));
    }
}

TEST(CMultiTone, AddTonesSkipsZeroFrequencyAndCounts) {
    Synth s(true, 8000.0f, 1.0f, {{697.0f, nullptr, 0.0f}, {0.0f, nullptr, 0.0f}, {1209.0f, nullptr, 0.0f}});
    EXPECT_EQ(s.count, 2);
    EXPECT_EQ(s.tone.AddTones(nullptr), 2);
    EXPECT_EQ(Decode(s.Read(1600), true), Reference({{697.0, 1.0}, {1209.0, 1.0}}, 8000.0f, 1.0f, true, 800));

    ToneNode zero{0.0f, nullptr, 0.0f};
    EXPECT_EQ(s.tone.AddTones(&zero), 2);
    ToneNode third{941.0f, nullptr, 0.0f};
    EXPECT_EQ(s.tone.AddTones(&third), 3);
    s.tone.Clear();
    EXPECT_EQ(s.tone.AddTones(nullptr), 0);
}

TEST(CMultiTone, EntryAmplitudeOutsideUnitRangeIsFullLevel) {
    struct Case { float entry; double effective; };
    const Case cases[] = {{0.0f, 1.0}, {1.5f, 1.0}, {-0.5f, 1.0}, {1.0f, 1.0}, {0.5f, 0.5}, {0.25f, 0.25}};
    for (const Case& c : cases) {
        // Further tones at full level make the entry's share visible in the mean.
        Synth s(true, 11025.0f, 0.7f, {{1000.0f, nullptr, c.entry}, {1336.0f, nullptr, 0.0f},
                                       {350.0f, nullptr, 1.0f}});
        EXPECT_EQ(Decode(s.Read(2000), true),
                  Reference({{1000.0, c.effective}, {1336.0, 1.0}, {350.0, 1.0}}, 11025.0f, 0.7f, true, 1000))
            << "entry amplitude " << c.entry;
    }
}

TEST(CMultiTone, EmptyListRendersSilence) {
    Synth s16(true, 8000.0f, 1.0f, {});
    EXPECT_EQ(s16.count, 0);
    EXPECT_EQ(s16.Read(202), std::vector<std::uint8_t>(202, 0x00));
    Synth s8(false, 8000.0f, 1.0f, {});
    EXPECT_EQ(s8.Read(101), std::vector<std::uint8_t>(101, 0x80));
}

TEST(CMultiTone, TwoFullLevelTonesStayInRange) {
    // The tones are averaged, so two full-level tones never leave the sample range. Where both
    // reach a trough together (697 and 1209 Hz do at sample 14000) the recursion may land a
    // hair below -1, and the 8-bit value reads 0 rather than 1; it must never wrap around.
    const float pairs[][2] = {{697.0f, 1209.0f}, {941.0f, 1633.0f}, {350.0f, 440.0f}, {1000.0f, 1000.0f}};
    for (const auto& p : pairs) {
        for (const bool is16 : {true, false}) {
            SCOPED_TRACE(std::to_string(p[0]) + "+" + std::to_string(p[1]) + (is16 ? " 16-bit" : " 8-bit"));
            Synth s(is16, 8000.0f, 1.0f, {{p[0], nullptr, 1.0f}, {p[1], nullptr, 1.0f}});
            const std::vector<int> got = Decode(s.Read(16000 * (is16 ? 2 : 1)), is16);
            for (std::size_t n = 0; n < got.size(); ++n) {
                const double t = 6.283185307179586 * static_cast<double>(n) / 8000.0;
                const double ideal = (std::sin(p[0] * t) + std::sin(p[1] * t)) / 2.0;
                const int v = got[n];
                ASSERT_LE(std::abs(v - static_cast<int>(std::trunc(is16 ? ideal * 32767.0 : ideal * 127.0 + 128.0))), 1) << n;
                if (is16) {
                    ASSERT_LE(std::abs(v), 32767) << n;
                } else {
                    ASSERT_GE(v, ideal < -1.0 + 1e-9 ? 0 : 1) << n;
                    ASSERT_LE(v, 255) << n;
                }
            }
        }
    }
}

TEST(CMultiTone, SmallReadsEqualOneRead) {
    const std::vector<ToneNode> entries = {{697.0f, nullptr, 0.0f}, {1477.0f, nullptr, 0.5f},
                                           {440.0f, nullptr, 0.0f}, {2000.0f, nullptr, 0.0f}};
    for (const bool is16 : {true, false}) {
        const int total = 6000;
        Synth whole(is16, 8000.0f, 0.8f, entries);
        const std::vector<std::uint8_t> expected = whole.Read(total);
        EXPECT_EQ(Decode(expected, is16), Reference({{697.0, 1.0}, {1477.0, 0.5}, {440.0, 1.0}, {2000.0, 1.0}},
                                                    8000.0f, 0.8f, is16, total / (is16 ? 2 : 1)));

        Synth pieces(is16, 8000.0f, 0.8f, entries);
        std::vector<std::uint8_t> got;
        const int sizes[] = {2, 6, 102, 4, 334, 8};
        for (int i = 0; static_cast<int>(got.size()) < total; ++i) {
            const int n = std::min(sizes[i % 6], total - static_cast<int>(got.size()));
            const std::vector<std::uint8_t> part = pieces.Read(n);
            got.insert(got.end(), part.begin(), part.end());
        }
        EXPECT_EQ(got, expected) << (is16 ? "16-bit" : "8-bit");
    }
}

TEST(CMultiTone, OddCountIn16BitWritesWholeSamplesOnly) {
    Synth s(true, 8000.0f, 1.0f, {{1000.0f, nullptr, 0.0f}});
    std::vector<std::uint8_t> buf(8, 0xA5);
    EXPECT_EQ(s.tone.Read(buf.data(), 7), 6);
    EXPECT_EQ(buf[6], 0xA5);
    EXPECT_EQ(buf[7], 0xA5);
    // The skipped byte is not a lost sample: the tone goes on with sample 3.
    buf.assign(8, 0xA5);
    EXPECT_EQ(s.tone.Read(buf.data(), 1), 0);
    EXPECT_EQ(buf[0], 0xA5);
    EXPECT_EQ(s.tone.Read(buf.data(), 2), 2);
    EXPECT_EQ(Decode({buf[0], buf[1]}, true)[0], 23169);
}
