// DTMF twist: the high-group tone at the twist above the low group, the low group at the level
// it had, measured. (That no twist leaves every byte as it was is ByteIdentityTest's.)

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "tones/Measure.h"
#include "varnel/generators/CGenDTMF.h"

namespace {

using namespace Quorvex::VarnelNet;
using Bytes = std::vector<std::uint8_t>;

// keys as DTMF, 200 ms tones; twist: nullptr for a generator that was never given one.
Bytes Keys(SampleFormat format, float rate, const char* keys, const double* twist) {
    CGenDTMF dtmf;
    dtmf.Init(format, rate, 0.5f);
    EXPECT_EQ(dtmf.SetTimes(200, 50, 100), 0);
    if (twist) {
        EXPECT_EQ(dtmf.SetTwist(*twist), 0);
    }
    dtmf.SetDigits(keys);
    Bytes out(static_cast<std::size_t>(dtmf.Length()));
    std::size_t at = 0;
    for (int n; (n = dtmf.Read(out.data() + at, 4096)) > 0;) at += static_cast<std::size_t>(n);
    EXPECT_EQ(at, out.size());
    return out;
}

TEST(DtmfTwist, HighGroupAboveTheLowGroupByTheTwist) {
    struct Key {
        const char* key;
        double row;
        double column;
    };
    const Key keys[] = {{"1", 697.0, 1209.0}, {"0", 941.0, 1336.0}, {"D", 941.0, 1633.0}};
    for (const double rate : {8000.0, 44100.0}) {
        for (const double twist : {-9.0, -8.0, -4.5, -1.0, 0.0, 0.3, 2.5, 4.0, 6.0}) {
            for (const Key& k : keys) {
                const std::vector<double> x = tone_test::FromS16(Keys(SampleFormat::S16, static_cast<float>(rate), k.key, &twist));
                // The tone's middle, clear of the fades (5.5 % of the tone at each end).
                const auto tone = static_cast<std::size_t>(rate * 0.2);
                const std::size_t begin = tone / 10;
                const std::size_t end = tone - tone / 10;
                const double low = tone_test::Amplitude(x, begin, end, k.row, rate);
                const double high = tone_test::Amplitude(x, begin, end, k.column, rate);
                SCOPED_TRACE(std::string(k.key) + " at " + std::to_string(rate) + " Hz, twist " + std::to_string(twist));
                EXPECT_NEAR(20.0 * std::log10(high / low), twist, 0.1);
                EXPECT_NEAR(20.0 * std::log10(low / 0.25), 0.0, 0.1);  // half the level of the pair, as without twist
            }
        }
    }
}

TEST(DtmfTwist, RefusesATwistThatIsNotFinite) {
    CGenDTMF dtmf;
    dtmf.Init(SampleFormat::S16, 8000.0f, 0.5f);
    EXPECT_EQ(dtmf.SetTwist(std::numeric_limits<double>::quiet_NaN()), -1);
    EXPECT_EQ(dtmf.SetTwist(std::numeric_limits<double>::infinity()), -1);
    EXPECT_EQ(dtmf.SetTwist(-std::numeric_limits<double>::infinity()), -1);
    EXPECT_EQ(dtmf.SetTwist(-20.0), 0);
}

}  // namespace
