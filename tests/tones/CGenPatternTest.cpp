// CGenPattern keeps the generator contract for patterns and modem tones in every sample format:
// Length() from the set-up, whole samples, any split of the reads equal to one read, and G.711
// output that is the 16-bit output encoded.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "varnel/generators/CGenPattern.h"
#include "varnel/signal/ModemTones.h"
#include "varnel/signal/OutputStage.h"

namespace {

using namespace Quorvex::VarnelNet;
using Bytes = std::vector<std::uint8_t>;

struct Signal {
    std::string name;
    std::string pattern;    // a pattern, or empty for the modem tone
    int modemTone = -1;     // kModemTones index
    std::int64_t ms;
};

const Signal kSignals[] = {
    {"busy", "400/375,0/375", -1, 2000},
    {"ringback", "400*25/400,0/200,400*25/400,0/2000", -1, 3500},
    {"sit", "!913.8/274,!1370.6/274,!1776.7/380", -1, 60000},  // ends after one pass
    {"three-tones", "350+440+620/100,!0/7,1000/3", -1, 777},
    {"continuous", "!950/330,0", -1, 1000},
    {"cng", "", 0, 7000},
    {"ans-pr", "", 2, 1000},
    {"ansam-pr", "", 4, 1000},
};

void Prepare(CGenPattern& generator, const Signal& s, SampleFormat format, float rate) {
    ASSERT_EQ(generator.Init(format, rate, 0.5f), 0);
    if (s.modemTone >= 0) {
        const ModemToneSpec& spec = kModemTones[s.modemTone];
        ASSERT_EQ(generator.SetSteps(ModemToneSteps(spec, s.ms), s.ms, spec.depth), 0);
        return;
    }
    TonePattern pattern;
    std::string error;
    ASSERT_TRUE(ParseTonePattern(s.pattern, pattern, error)) << error;
    ASSERT_EQ(generator.SetPattern(pattern, s.ms, 0.9), 0);
}

// Reads with byte counts taken in turn from sizes until Read answers 0.
Bytes ReadAll(CGenPattern& generator, const std::vector<int>& sizes) {
    Bytes out;
    Bytes chunk(1 << 16);
    for (std::size_t k = 0;; ++k) {
        const int size = sizes[k % sizes.size()];
        const std::int64_t before = generator.Length();
        const int n = generator.Read(chunk.data(), size);
        EXPECT_GE(n, 0);
        EXPECT_LE(n, size);
        if (n == 0 && size >= 2) break;
        EXPECT_EQ(generator.Length(), before - n);
        out.insert(out.end(), chunk.begin(), chunk.begin() + n);
    }
    return out;
}

TEST(CGenPattern, KeepsTheGeneratorContractInEveryFormat) {
    for (const Signal& s : kSignals) {
        for (const float rate : {8000.0f, 11025.0f, 44100.0f}) {
            Bytes s16;
            for (const SampleFormat format : {SampleFormat::S16, SampleFormat::U8, SampleFormat::MuLaw, SampleFormat::ALaw}) {
                SCOPED_TRACE(s.name + " at " + std::to_string(rate) + " format " + std::to_string(static_cast<int>(format)));
                CGenPattern whole;
                Prepare(whole, s, format, rate);
                const std::int64_t length = whole.Length();
                const Bytes one = ReadAll(whole, {1 << 16});
                EXPECT_EQ(static_cast<std::int64_t>(one.size()), length);
                EXPECT_EQ(whole.Length(), 0);
                EXPECT_EQ(whole.Read(Bytes(8).data(), 8), 0);

                CGenPattern split;
                Prepare(split, s, format, rate);
                EXPECT_EQ(ReadAll(split, {1, 3, 2, 101, 4096, 7}), one);

                const std::int64_t samples = length / BytesPerSample(format);
                if (s.pattern.empty() || s.name == "continuous") {
                    EXPECT_EQ(samples, ToneSequence::SampleAtMs(s.ms, rate));  // lasts the duration asked for
                }
                if (format == SampleFormat::S16) s16 = one;
                if (format == SampleFormat::MuLaw || format == SampleFormat::ALaw) {
                    Bytes encoded(s16.size() / 2);
                    EncodeFrom16(format, s16.data(), encoded.data(), encoded.size());
                    EXPECT_EQ(one, encoded);
                }
            }
        }
    }
}

TEST(CGenPattern, APatternOfOnceElementsEndsWhenItEnds) {
    CGenPattern generator;
    Prepare(generator, kSignals[2], SampleFormat::S16, 8000.0f);
    EXPECT_EQ(generator.Length(), (274 + 274 + 380) * 8 * 2);
}

TEST(CGenPattern, RefusesWhatItCannotRender) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float rate;
        float amplitude;
        double depth;
    };
    const Case cases[] = {{nan, 0.5f, 0.5}, {0.0f, 0.5f, 0.5},  {-8000.0f, 0.5f, 0.5}, {inf, 0.5f, 0.5},
                          {8000.0f, nan, 0.5}, {8000.0f, 1.5f, 0.5}, {8000.0f, -0.1f, 0.5}, {8000.0f, 0.5f, -0.1},
                          {8000.0f, 0.5f, 1.01}, {8000.0f, 0.5f, std::nan("")}};
    TonePattern pattern;
    std::string error;
    ASSERT_TRUE(ParseTonePattern("425/100,0/100", pattern, error));
    for (const Case& c : cases) {
        CGenPattern generator;
        generator.Init(SampleFormat::S16, c.rate, c.amplitude);
        EXPECT_EQ(generator.SetPattern(pattern, 1000, c.depth), -1) << c.rate << " " << c.amplitude << " " << c.depth;
        EXPECT_EQ(generator.Length(), 0);
        Bytes buffer(64);
        EXPECT_EQ(generator.Read(buffer.data(), 64), 0);
    }
    CGenPattern generator;
    EXPECT_EQ(generator.Init(SampleFormat::S16, 8000.0f, 0.5f), 0);
    ASSERT_EQ(generator.SetPattern(pattern, 1000, 0.9), 0);
    Bytes buffer(64);
    EXPECT_EQ(generator.Read(nullptr, 64), 0);
    EXPECT_EQ(generator.Read(buffer.data(), -2), 0);
    EXPECT_EQ(generator.Read(buffer.data(), 1), 0);  // less than one 16-bit sample
    EXPECT_EQ(generator.Length(), 16000);
    generator.Clear();
    EXPECT_EQ(generator.Length(), 0);
}

}  // namespace
