#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

#include "varnel/engine/Enumerations.h"
#include "varnel/generators/CGenCallerID.h"
#include "varnel/generators/CMultiTone.h"
#include "varnel/platform/LocalTime.h"

using namespace Quorvex::VarnelNet;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr double kPi = 3.141592653589793;
const char* const kDate = "01/02 03:04";

// A fixed clock for the messages that take the local time, restored when the test ends.
struct FixedClock {
    FixedClock() {
        SetLocalTimeSource([] { LocalTime t; t.month = 3; t.day = 7; t.hour = 9; t.minute = 5; return t; });
    }
    ~FixedClock() { SetLocalTimeSource(nullptr); }
};

struct Format {
    bool is16 = true;
    float rate = 8000.0f;
    BitTiming timing = BitTiming::WholeSamples;
    float level = 1.0f;
};

void Start(CGenCallerID& gen, const Format& f) {
    gen.Init(f.is16 ? 1 : 0, f.rate, f.level);
    gen.SetBitTiming(f.timing);
    ASSERT_EQ(gen.BuildSDMF("5551234", kDate), 0);
}

// Pulls the transmission until Read answers 0, asking for the sizes in turn; every result must
// be whole samples within what was offered.
Bytes ReadAll(CGenCallerID& gen, const Format& f, std::vector<int> sizes, std::vector<int>* results = nullptr) {
    Bytes out;
    Bytes buf(1 << 20, 0);
    for (std::size_t i = 0;; ++i) {
        const int ask = sizes[i % sizes.size()];
        const int n = gen.Read(buf.data(), ask);
        if (results) results->push_back(n);
        if (n == 0) break;
        EXPECT_LE(n, ask);
        EXPECT_EQ(n % (f.is16 ? 2 : 1), 0);
        out.insert(out.end(), buf.begin(), buf.begin() + n);
    }
    return out;
}

std::vector<int> Decode(const Bytes& bytes, bool is16) {
    if (!is16) return {bytes.begin(), bytes.end()};
    std::vector<int> out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        out.push_back(static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return out;
}

// The bits on the line: seizure (space first), 181 marks, then every byte framed.
std::vector<int> LineBits(const Bytes& message) {
    std::vector<int> bits;
    for (int k = 0; k < 300; ++k) bits.push_back(k % 2);
    bits.insert(bits.end(), 181, 1);
    for (const std::uint8_t byte : message) {
        bits.push_back(0);
        for (int b = 0; b < 8; ++b) bits.push_back((byte >> b) & 1);
        bits.push_back(1);
    }
    return bits;
}

// Where bit k ends, in samples.
std::int64_t BitEnd(std::int64_t k, const Format& f) {
    const double rate = static_cast<double>(f.rate);
    if (f.timing == BitTiming::Exact) return std::llround(static_cast<double>(k + 1) * rate / 1200.0);
    return (k + 1) * static_cast<std::int64_t>(std::trunc(rate / 1200.0 + 0.5));
}

// Two models of the signal. Ideal: sin of a phase that starts at pi and moves on by the step of
// the bit's tone at each sample; the output stays within one step of it. Recursion: the
// synthesis to the last bit, where each bit restarts x[i] = 2 cos(step) x[i-1] - x[i-2] from
// sin(phase) and sin(phase + step), except the mark signal, which is one run, and the phase
// moves on by the bit's samples times its step.
struct Models {
    std::vector<int> ideal, recursion;
};
Models Model(const std::vector<int>& bits, const Format& f) {
    const auto pcm = [&f](double x) {
        const double v = static_cast<double>(f.level) * x;
        return static_cast<int>(f.is16 ? v * 32767.0 : v * 127.0 + 128.0);
    };
    Models m;
    double ideal = kPi, phase = kPi, x0 = 0.0, x1 = 0.0;
    for (std::int64_t k = 0; k < static_cast<std::int64_t>(bits.size()); ++k) {
        const double hz = bits[static_cast<std::size_t>(k)] ? 1200.0 : 2200.0;
        const double step = 6.283185307179586 * hz / static_cast<double>(f.rate);
        const double cosine = std::cos(step);
        if (k <= 300 || k > 480) {
            x0 = std::sin(phase);
            x1 = std::sin(phase + step);
        }
        const std::int64_t length = BitEnd(k, f) - (k ? BitEnd(k - 1, f) : 0);
        for (std::int64_t i = 0; i < length; ++i, ideal += step) {
            m.ideal.push_back(pcm(std::sin(ideal)));
            m.recursion.push_back(pcm(x0));
            const double next = 2.0 * cosine * x1 - x0;
            x0 = x1;
            x1 = next;
        }
        phase = phase + static_cast<double>(length) * step;
    }
    return m;
}

// Per-bit energy at 1200 and 2200 Hz; 1 where the mark tone is the stronger.
std::vector<int> Demodulate(const std::vector<int>& samples, const Format& f, std::size_t bitCount) {
    std::vector<int> bits;
    std::int64_t start = 0;
    for (std::size_t k = 0; k < bitCount; ++k) {
        const std::int64_t end = BitEnd(static_cast<std::int64_t>(k), f);
        double energy[2] = {0.0, 0.0};
        for (int t = 0; t < 2; ++t) {
            double re = 0.0, im = 0.0;
            for (std::int64_t i = start; i < end; ++i) {
                const double a = 2.0 * kPi * (t ? 1200.0 : 2200.0) * static_cast<double>(i) / f.rate;
                re += samples[static_cast<std::size_t>(i)] * std::cos(a);
                im += samples[static_cast<std::size_t>(i)] * std::sin(a);
            }
            energy[t] = re * re + im * im;
        }
        bits.push_back(energy[1] > energy[0] ? 1 : 0);
        start = end;
    }
    return bits;
}

int Build(CGenCallerID& gen, CID_FORMAT layout, const char* number, const char* name, const char* date) {
    if (layout == CID_SDMF) return gen.BuildSDMF(number, date);
    return layout == CID_MDMF ? gen.BuildMDMF(number, name, date) : gen.BuildRaw(number);
}

int ByteSum(const Bytes& message) {  // the L message bytes, without the zero sent after them
    return std::accumulate(message.begin(), message.end() - 1, 0) % 256;
}

}  // namespace

TEST(CallerIdMessage, WorkedExamplesByteForByte) {
    CGenCallerID gen;
    ASSERT_EQ(gen.BuildSDMF("5551234", kDate), 0);
    EXPECT_EQ(gen.Message(), (Bytes{0x04, 0x0F, 0x30, 0x31, 0x30, 0x32, 0x30, 0x33, 0x30, 0x34, 0x35, 0x35,
                                    0x35, 0x31, 0x32, 0x33, 0x34, 0xFA, 0x00}));
    ASSERT_EQ(gen.BuildMDMF("5551234", "ABC", kDate), 0);
    EXPECT_EQ(gen.Message(), (Bytes{0x80, 0x18, 0x01, 0x08, 0x30, 0x31, 0x30, 0x32, 0x30, 0x33, 0x30, 0x34,
                                    0x02, 0x07, 0x35, 0x35, 0x35, 0x31, 0x32, 0x33, 0x34, 0x07, 0x03, 0x41,
                                    0x42, 0x43, 0x93, 0x00}));
    ASSERT_EQ(gen.BuildRaw("raw"), 0);
    EXPECT_EQ(gen.Message(), (Bytes{'r', 'a', 'w', 0xB6, 0x00}));
    ASSERT_EQ(gen.BuildRaw(nullptr), 0);
    EXPECT_EQ(gen.Message(), (Bytes{0x00, 0x00}));
}

TEST(CallerIdMessage, AbsentItemsAndLocalTime) {
    const FixedClock clock;
    CGenCallerID gen;
    const Bytes now = {'0', '3', '0', '7', '0', '9', '0', '5'};
    ASSERT_EQ(gen.BuildMDMF("5551234", "", ""), 0);  // P = 12 + n
    EXPECT_EQ(gen.Message()[1], 12 + 7);
    EXPECT_EQ(Bytes(gen.Message().begin() + 4, gen.Message().begin() + 12), now);
    EXPECT_EQ(gen.Message().size(), 19u + 4u);  // type, length, checksum, zero
    ASSERT_EQ(gen.BuildMDMF(nullptr, "ABC", nullptr), 0);
    EXPECT_EQ(Bytes(gen.Message().begin(), gen.Message().begin() + 4), (Bytes{0x80, 15, 0x01, 0x08}));
    EXPECT_EQ(gen.Message()[12], 0x07);
    ASSERT_EQ(gen.BuildMDMF(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(gen.Message().size(), 10u + 4u);
    ASSERT_EQ(gen.BuildSDMF("1", nullptr), 0);
    EXPECT_EQ(Bytes(gen.Message().begin() + 2, gen.Message().begin() + 10), now);
}

TEST(CallerIdMessage, EveryLayoutSumsToZero) {
    const FixedClock clock;
    const std::string long255(255, '\xFF');
    struct Case { CID_FORMAT layout; const char* number; const char* name; const char* date; };
    const Case cases[] = {
        {CID_SDMF, "5551234", nullptr, kDate}, {CID_SDMF, "9", nullptr, ""},
        {CID_SDMF, "\xFF\xFE\x80", nullptr, kDate}, {CID_MDMF, "5551234", "ABC", kDate},
        {CID_MDMF, nullptr, nullptr, nullptr}, {CID_MDMF, "", "\xFF\xFF", kDate},
        {CID_RAW, "", nullptr, nullptr}, {CID_RAW, "\x01", nullptr, nullptr}, {CID_RAW, long255.c_str(), nullptr, nullptr}};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        CGenCallerID gen;
        ASSERT_EQ(Build(gen, c.layout, c.number, c.name, c.date), 0) << "case " << i;
        EXPECT_EQ(ByteSum(gen.Message()), 0) << "case " << i;
        EXPECT_EQ(gen.Message().back(), 0x00);
    }
}

TEST(CallerIdMessage, DateTimeForms) {
    struct Case { const char* text; int result; };
    const Case cases[] = {{"1/2 3:04", -1}, {"01/02 03:045", -1}, {"01-02 03:04", -2}, {"01/02-03:04", -2},
                          {"01/02 03.04", -2}, {"ab/cd ef:gh", 0}, {kDate, 0}};
    for (const Case& c : cases) {
        std::uint8_t out[8] = {};
        EXPECT_EQ(CGenCallerID::FormatDateTime(c.text, out), c.result) << c.text;
        CGenCallerID gen;
        EXPECT_EQ(gen.BuildSDMF("555", c.text), c.result) << c.text;
        EXPECT_EQ(gen.BuildMDMF("555", "X", c.text), c.result) << c.text;
        EXPECT_EQ(gen.Message().empty(), c.result != 0);
    }
    CGenCallerID gen;
    ASSERT_EQ(gen.BuildSDMF("5", "ab/cd ef:gh"), 0);  // letters are sent as they are
    EXPECT_EQ(Bytes(gen.Message().begin() + 2, gen.Message().begin() + 10), (Bytes{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}));
    EXPECT_EQ(gen.BuildSDMF("", "01-02 03:04"), -1);  // the number is checked first
}

TEST(CallerIdMessage, LengthLimits) {
    const auto text = [](std::size_t n) { return std::string(n, '7'); };
    struct Case { CID_FORMAT layout; std::string number; std::string name; int result; };
    const Case cases[] = {
        {CID_SDMF, text(40), "", 0},  {CID_SDMF, text(41), "", -1}, {CID_SDMF, "", "", -1},
        {CID_MDMF, "", text(243), 0}, {CID_MDMF, "", text(244), -1},  // 10 + 2 + m parameter bytes
        {CID_MDMF, "", text(255), -1}, {CID_MDMF, "", text(256), -1}, {CID_MDMF, text(256), "", -1},
        {CID_MDMF, text(7), text(234), 0}, {CID_MDMF, text(7), text(235), -1},
        {CID_RAW, text(5000), "", 0}};
    for (const Case& c : cases) {
        CGenCallerID gen;
        const int result = Build(gen, c.layout, c.number.c_str(), c.name.c_str(), kDate);
        EXPECT_EQ(result, c.result) << "layout " << c.layout << ": " << c.number.size() << "/" << c.name.size();
        if (result == 0 && c.layout == CID_MDMF) {
            EXPECT_EQ(gen.Message()[1], gen.Message().size() - 4);
        }
    }
    CGenCallerID gen;
    EXPECT_EQ(gen.BuildSDMF(nullptr, kDate), -1);
}

TEST(CallerIdSignal, SdmfExampleLengthAndWholeBits) {
    const Format f;
    CGenCallerID gen;
    Start(gen, f);
    std::vector<int> results;
    const Bytes all = ReadAll(gen, f, {8192}, &results);
    EXPECT_EQ(all.size(), 9394u);  // 7 x (481 + 190) samples
    EXPECT_EQ(results, (std::vector<int>{8190, 1204, 0}));
    EXPECT_EQ(gen.Read(std::vector<std::uint8_t>(100).data(), 100), 0);
    EXPECT_EQ(Decode(all, true)[0], 0);

    CGenCallerID gen8;
    Start(gen8, {false});
    results.clear();
    const Bytes all8 = ReadAll(gen8, {false}, {1000}, &results);
    EXPECT_EQ(all8.size(), 4697u);
    EXPECT_EQ(all8[0], 128);
    for (std::size_t i = 0; i + 2 < results.size(); ++i) EXPECT_EQ(results[i], 994) << i;
}

TEST(CallerIdSignal, DemodulatesToTheLineBits) {
    for (const Format f : {Format{true, 8000.0f}, Format{true, 48000.0f, BitTiming::Exact}}) {
        CGenCallerID gen;
        Start(gen, f);
        const std::vector<int> expected = LineBits(gen.Message());
        const std::vector<int> bits = Demodulate(Decode(ReadAll(gen, f, {8192}), true), f, expected.size());
        ASSERT_EQ(bits.size(), 481u + 190u);
        EXPECT_EQ(bits[0], 0);    // seizure starts with space
        EXPECT_EQ(bits[299], 1);  // and ends with mark
        EXPECT_EQ(std::vector<int>(bits.begin() + 300, bits.begin() + 481), std::vector<int>(181, 1));
        EXPECT_EQ(std::vector<int>(bits.begin() + 481, bits.begin() + 491),
                  (std::vector<int>{0, 0, 0, 1, 0, 0, 0, 0, 0, 1}));  // 0x04 framed
        EXPECT_EQ(std::vector<int>(bits.end() - 10, bits.end()), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
        EXPECT_EQ(bits, expected);
    }
}

TEST(CallerIdSignal, FollowsTheContinuousPhaseModel) {
    // Within one step of the ideal sine, and exactly the recursion. 1000 and 1500 Hz give bits
    // of one or two samples, where the mark signal's seed reaches past its first bit.
    for (const float rate : {1000.0f, 1500.0f, 8000.0f, 11025.0f, 44100.0f, 96000.0f}) {
        for (const BitTiming timing : {BitTiming::WholeSamples, BitTiming::Exact}) {
            for (const bool is16 : {true, false}) {
                const Format f{is16, rate, timing, 0.7f};
                SCOPED_TRACE(std::to_string(rate) + (timing == BitTiming::Exact ? " exact" : " whole") + (is16 ? " 16" : " 8"));
                CGenCallerID gen;
                Start(gen, f);
                const std::vector<int> got = Decode(ReadAll(gen, f, {8192}), is16);
                const Models model = Model(LineBits(gen.Message()), f);
                EXPECT_EQ(got, model.recursion);
                ASSERT_EQ(static_cast<std::int64_t>(got.size()), BitEnd(481 + 190 - 1, f));
                ASSERT_EQ(got.size(), model.ideal.size());
                for (std::size_t i = 0; i < got.size(); ++i) ASSERT_LE(std::abs(got[i] - model.ideal[i]), 1) << i;
            }
        }
    }
}

TEST(CallerIdSignal, SplitReadsEqualOneRead) {
    for (const float rate : {8000.0f, 11025.0f, 44100.0f, 96000.0f}) {
        for (const BitTiming timing : {BitTiming::WholeSamples, BitTiming::Exact}) {
            for (const bool is16 : {true, false}) {
                const Format f{is16, rate, timing};
                CGenCallerID whole;
                Start(whole, f);
                const Bytes expected = ReadAll(whole, f, {1 << 20});
                for (const int size : {1, 3, 7, 101, 102, 333}) {
                    if (is16 && size == 1) continue;  // holds no sample
                    CGenCallerID pieces;
                    Start(pieces, f);
                    EXPECT_EQ(ReadAll(pieces, f, {size}), expected)
                        << rate << (timing == BitTiming::Exact ? " exact " : " whole ") << (is16 ? "16-bit " : "8-bit ") << size;
                }
                CGenCallerID mixed;
                Start(mixed, f);
                EXPECT_EQ(ReadAll(mixed, f, {101, 7, 333, 3, 102, 8192}), expected);
            }
        }
    }
}

TEST(CallerIdSignal, ExactTimingAveragesTwelveHundredBitsPerSecond) {
    // Offered one whole-timing bit at a time, every call renders exactly one bit.
    const std::vector<int> sizes[2] = {{14, 14, 14, 14, 14, 14}, {14, 12, 14, 14, 12, 14}};
    for (const BitTiming timing : {BitTiming::WholeSamples, BitTiming::Exact}) {
        const Format f{true, 8000.0f, timing};
        CGenCallerID gen;
        Start(gen, f);
        std::vector<int> results;
        const Bytes all = ReadAll(gen, f, {14}, &results);
        EXPECT_EQ(std::vector<int>(results.begin(), results.begin() + 6), sizes[timing == BitTiming::Exact ? 1 : 0]);
        EXPECT_EQ(results.size(), 481u + 190u + 1u);
        if (timing == BitTiming::Exact) {
            EXPECT_EQ(all.size(), 2u * static_cast<std::size_t>(std::llround(671 * 8000.0 / 1200.0)));  // 4473
            for (std::size_t k = 0; k + 3 < results.size(); k += 3) {
                ASSERT_EQ(results[k] + results[k + 1] + results[k + 2], 40) << k;  // 20 samples per 3 bits
            }
        }
    }
    for (const float rate : {11025.0f, 44100.0f, 96000.0f}) {
        const Format f{false, rate, BitTiming::Exact};
        CGenCallerID gen;
        Start(gen, f);
        EXPECT_EQ(static_cast<std::int64_t>(ReadAll(gen, f, {4096}).size()), std::llround(671.0 * rate / 1200.0)) << rate;
    }
}

TEST(CallerIdSignal, SixteenBitOddCountsWriteWholeSamples) {
    const Format f;
    CGenCallerID gen;
    Start(gen, f);
    Bytes buf(64, 0xA5);
    EXPECT_EQ(gen.Read(buf.data(), 1), 0);  // no room for a sample: nothing written
    EXPECT_EQ(buf[0], 0xA5);
    EXPECT_EQ(gen.Read(buf.data(), 15), 14);  // one bit of 7 samples
    EXPECT_EQ(buf[14], 0xA5);
    buf.assign(64, 0xA5);
    EXPECT_EQ(gen.Read(buf.data(), 3), 2);  // part of the next bit
    EXPECT_EQ(buf[2], 0xA5);
    buf.assign(64, 0xA5);
    EXPECT_EQ(gen.Read(buf.data(), 25), 12);  // its rest; the next bit does not fit in what is left
    EXPECT_EQ(buf[12], 0xA5);
}

TEST(CallerIdSignal, SamplesPerBitAndUnusableInput) {
    struct Case { float rate; BitTiming timing; std::int32_t samples; };
    const Case cases[] = {{599.0f, BitTiming::WholeSamples, 0}, {600.0f, BitTiming::WholeSamples, 1}, {8000.0f, BitTiming::WholeSamples, 7},
                          {11025.0f, BitTiming::WholeSamples, 9}, {1199.0f, BitTiming::Exact, 0}, {1200.0f, BitTiming::Exact, 1},
                          {8000.0f, BitTiming::Exact, 6}, {0.0f, BitTiming::WholeSamples, 0}, {-8000.0f, BitTiming::Exact, 0},
                          {NAN, BitTiming::WholeSamples, 0}, {INFINITY, BitTiming::Exact, 0}};
    for (const Case& c : cases) {
        CGenCallerID gen;
        gen.Init(1, c.rate, 1.0f);
        gen.SetBitTiming(c.timing);
        EXPECT_EQ(gen.MinimumSamplesPerBit(), c.samples) << c.rate;
    }
    Bytes buf(256, 0xA5);
    CGenCallerID gen;
    EXPECT_EQ(gen.Read(buf.data(), 256), 0);  // before Init
    gen.Init(0, 8000.0f, 1.0f);
    EXPECT_EQ(gen.Read(buf.data(), 256), 0);  // before a message
    ASSERT_EQ(gen.BuildRaw("x"), 0);
    EXPECT_EQ(gen.Read(nullptr, 256), 0);
    EXPECT_EQ(gen.Read(buf.data(), -5), 0);
    EXPECT_EQ(buf, Bytes(256, 0xA5));
    EXPECT_EQ(gen.Read(buf.data(), 256), 252);
    gen.Clear();
    EXPECT_EQ(gen.Read(buf.data(), 256), 0);
}

TEST(CallerIdSignal, PcmFromDoubleRule) {
    const double source[5] = {0.0, 0.5, -0.5, 1.0, -1.0};
    Bytes out8(6, 0xA5), out16(11, 0xA5);
    PcmFromDouble8(source, out8.data(), 5, 1.0);
    PcmFromDouble16(source, out16.data(), 5, 1.0);
    EXPECT_EQ(out8, (Bytes{128, 191, 64, 255, 1, 0xA5}));
    EXPECT_EQ(Decode(Bytes(out16.begin(), out16.end() - 1), true), (std::vector<int>{0, 16383, -16383, 32767, -32767}));
    EXPECT_EQ(out16.back(), 0xA5);
    PcmFromDouble8(source, out8.data(), 0, 1.0);
    PcmFromDouble16(nullptr, out16.data(), 5, 1.0);
    EXPECT_EQ(out8[0], 128);
}
