// CGenCallerID in every standard and alert, and CGenMF: the generator contract (split reads,
// Length, every sample format) and measurements of what goes on the line (alerting tones,
// seizure and mark bits, the characters, DTMF and MF timing).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "varnel/generators/CGenCallerID.h"
#include "varnel/generators/CGenMF.h"

using namespace Quorvex::VarnelNet;

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr double kPi = 3.141592653589793;
constexpr double kRate = 48000.0;

struct Transmission {
    CallerIdStandard standard;
    CallerIdAlert alert;
    CallerIdLayout layout;
    const char* number;
    const char* name;
    const char* date;
};

std::string NameOf(const Transmission& s) {
    return std::string(CallerIdPlan::Name(s.standard)) + "/" + std::to_string(static_cast<int>(s.alert));
}

const Transmission kSetups[] = {
    {CallerIdStandard::Bell202, CallerIdAlert::None, CallerIdLayout::Mdmf, "5551234", "JOHN", "01/02 03:04"},
    {CallerIdStandard::Bell202, CallerIdAlert::OffHook, CallerIdLayout::Sdmf, "5551234", nullptr, "01/02 03:04"},
    {CallerIdStandard::Etsi, CallerIdAlert::None, CallerIdLayout::Mdmf, "0123", "ANNA", "01/02 03:04"},
    {CallerIdStandard::Etsi, CallerIdAlert::Dtas, CallerIdLayout::Mdmf, "0123", "ANNA", "01/02 03:04"},
    {CallerIdStandard::Etsi, CallerIdAlert::OffHook, CallerIdLayout::Mdmf, "0123", "ANNA", "01/02 03:04"},
    {CallerIdStandard::Bt, CallerIdAlert::Dtas, CallerIdLayout::Mdmf, "0123", nullptr, "01/02 03:04"},
    {CallerIdStandard::Bt, CallerIdAlert::OffHook, CallerIdLayout::Mdmf, "0123", nullptr, "01/02 03:04"},
    {CallerIdStandard::Ntt, CallerIdAlert::None, CallerIdLayout::Mdmf, "0312345678", nullptr, nullptr},
    {CallerIdStandard::Dtmf, CallerIdAlert::None, CallerIdLayout::Mdmf, "0123456789", nullptr, nullptr},
};

void Build(CGenCallerID& gen, const Transmission& s, SampleFormat format, double rate, BitTiming timing) {
    gen.Init(format, static_cast<float>(rate), 0.5f);
    gen.SetBitTiming(timing);
    gen.SetStandard(s.standard, s.alert);
    CallerIdContent content;
    content.number = s.number;
    content.name = s.name;
    content.dateTime = s.date;
    ASSERT_EQ(gen.BuildCallerID(s.layout, content), "") << NameOf(s);
}

Bytes ReadAll(CGenBase& gen, std::vector<int> sizes) {
    Bytes out;
    Bytes buf(1 << 16);
    for (std::size_t i = 0;; ++i) {
        const int ask = sizes[i % sizes.size()];
        const int n = gen.Read(buf.data(), ask);
        if (n == 0) {
            if (ask >= 2) break;  // a room of one byte may hold no 16-bit sample
            continue;
        }
        EXPECT_LE(n, ask);
        out.insert(out.end(), buf.begin(), buf.begin() + n);
    }
    return out;
}

std::vector<double> Samples16(const Bytes& bytes) {
    std::vector<double> s;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) s.push_back(static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    return s;
}

// The power of one frequency in samples [from, from + n).
double Power(const std::vector<double>& s, std::size_t from, std::size_t n, double hz) {
    const double w = 2.0 * kPi * hz / kRate;
    double re = 0.0, im = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        re += s[from + i] * std::cos(w * static_cast<double>(i));
        im -= s[from + i] * std::sin(w * static_cast<double>(i));
    }
    return re * re + im * im;
}

void AppendRun(std::string& runs, const std::string& what, int count) {
    if (!runs.empty()) runs.append(" ");
    runs.append(what);
    runs.append("/");
    runs.append(std::to_string(count));
}

// The FSK starts with the last sample of the last run of silent samples (its first sample is
// sin(pi), 0), after the alert's pause; before it, what
// sounds in each 10 ms, run-length encoded as "what/ms": 0 (silence), 440 or 2130+2750.
std::size_t MeasureAlert(const std::vector<double>& s, std::string& alert) {
    std::size_t fskStart = 0;
    for (std::size_t i = 0, zeros = 0; i < s.size(); ++i) {
        zeros = s[i] == 0.0 ? zeros + 1 : 0;
        if (zeros >= 48) fskStart = i;
    }
    constexpr std::size_t k10ms = 480;
    std::string last;
    int run = 0;
    for (std::size_t at = 0; at + k10ms <= fskStart; at += k10ms) {
        double energy = 0.0;
        for (std::size_t i = 0; i < k10ms; ++i) energy += s[at + i] * s[at + i];
        const double sas = Power(s, at, k10ms, 440.0);
        const double dtas = std::min(Power(s, at, k10ms, 2130.0), Power(s, at, k10ms, 2750.0));
        const std::string what = energy == 0.0 ? "0" : sas > dtas ? "440" : "2130+2750";
        if (what != last && run > 0) {
            AppendRun(alert, last, run * 10);
            run = 0;
        }
        last = what;
        ++run;
    }
    if (run > 0) AppendRun(alert, last, run * 10);
    return fskStart;
}

// The bits of whole-sample FSK from `from` (40 samples a bit at 48 kHz), by the stronger tone.
std::vector<int> Bits(const std::vector<double>& s, std::size_t from, double markHz, double spaceHz) {
    std::vector<int> bits;
    for (std::size_t at = from; at + 40 <= s.size(); at += 40) {
        bits.push_back(Power(s, at, 40, markHz) > Power(s, at, 40, spaceHz) ? 1 : 0);
    }
    return bits;
}

struct Measured {
    std::string alert;
    int seizure = 0;
    int marks = 0;
    Bytes bytes;
};

Measured MeasureFsk(const std::vector<double>& s, double markHz, double spaceHz) {
    Measured m;
    const std::size_t start = MeasureAlert(s, m.alert);
    const std::vector<int> bits = Bits(s, start, markHz, spaceHz);
    std::size_t i = 0;
    if (!bits.empty() && bits[0] == 0) {
        for (i = 1; i < bits.size() && bits[i] != bits[i - 1]; ++i) {
        }
        m.seizure = static_cast<int>(i);
    }
    for (; i < bits.size() && bits[i] == 1; ++i) ++m.marks;
    for (; i + 10 <= bits.size(); i += 10) {
        EXPECT_EQ(bits[i], 0) << "start bit";
        EXPECT_EQ(bits[i + 9], 1) << "stop bit";
        int byte = 0;
        for (int k = 0; k < 8; ++k) byte |= bits[i + 1 + static_cast<std::size_t>(k)] << k;
        m.bytes.push_back(static_cast<std::uint8_t>(byte));
    }
    return m;
}

TEST(CallerIdStandards, PreambleAlertAndCharactersAsMeasured) {
    const struct {
        Transmission setup;
        const char* alert;
        int seizure;
        int marks;
    } cases[] = {
        {kSetups[0], "", 300, 181},
        {kSetups[1], "440/300 2130+2750/80 0/250", 0, 80},
        {kSetups[2], "", 300, 180},
        {kSetups[3], "2130+2750/100 0/100", 300, 180},
        {kSetups[4], "2130+2750/80 0/250", 0, 80},
        {kSetups[5], "2130+2750/100 0/100", 96, 55},
        {kSetups[6], "2130+2750/80 0/250", 0, 80},
        {kSetups[7], "", 0, 80},
    };
    for (const auto& c : cases) {
        CGenCallerID gen;
        Build(gen, c.setup, SampleFormat::S16, kRate, BitTiming::WholeSamples);
        const bool bell = c.setup.standard == CallerIdStandard::Bell202;
        const Measured m = MeasureFsk(Samples16(ReadAll(gen, {8192})), bell ? 1200.0 : 1300.0, bell ? 2200.0 : 2100.0);
        EXPECT_EQ(m.alert, c.alert) << NameOf(c.setup);
        EXPECT_EQ(m.seizure, c.seizure) << NameOf(c.setup);
        EXPECT_EQ(m.marks, c.marks) << NameOf(c.setup);
        EXPECT_EQ(m.bytes, gen.Message()) << NameOf(c.setup);
    }
}

// DTMF Caller-ID: every key 70 ms, then 70 ms of silence; the keys by their strongest row and
// column frequency.
TEST(CallerIdStandards, DtmfKeysLast70msWith70msBetween) {
    CGenCallerID gen;
    Build(gen, kSetups[8], SampleFormat::S16, kRate, BitTiming::WholeSamples);
    const std::vector<double> s = Samples16(ReadAll(gen, {8192}));
    const double rows[4] = {697, 770, 852, 941};
    const double columns[4] = {1209, 1336, 1477, 1633};
    const char* keypad = "123A456B789C*0#D";
    std::string keys;
    std::string timing;
    std::size_t at = 0;
    while (at < s.size()) {
        std::size_t end = at;
        const bool silent = s[at] == 0.0 && (at + 1 >= s.size() || s[at + 1] == 0.0);
        while (end < s.size() && ((s[end] == 0.0 && (end + 1 >= s.size() || s[end + 1] == 0.0)) == silent)) ++end;
        if (!silent) {
            int row = 0, column = 0;
            for (int k = 1; k < 4; ++k) {
                if (Power(s, at, end - at, rows[k]) > Power(s, at, end - at, rows[row])) row = k;
                if (Power(s, at, end - at, columns[k]) > Power(s, at, end - at, columns[column])) column = k;
            }
            keys += keypad[row * 4 + column];
        }
        // A tone's first sample is 0: count it with the tone.
        timing.append(silent ? "-" : "+");
        timing.append(std::to_string((end - at + 24) / 48));
        timing.append(" ");
        at = end;
    }
    EXPECT_EQ(keys, "A0123456789C");
    std::string expected;
    for (int k = 0; k < 12; ++k) expected += "+70 -70 ";
    EXPECT_EQ(timing, expected);
}

Bytes RenderMf(MfSystem system, const char* signals, SampleFormat format, std::vector<int> sizes) {
    CGenMF gen;
    gen.Init(format, 8000.0f, 0.5f);
    EXPECT_EQ(gen.SetSignals(system, signals), "");
    const std::int64_t length = gen.Length();
    const Bytes out = ReadAll(gen, sizes);
    EXPECT_EQ(static_cast<std::int64_t>(out.size()), length);
    EXPECT_EQ(gen.Length(), 0);
    return out;
}

constexpr SampleFormat kFormats[] = {SampleFormat::U8, SampleFormat::S16, SampleFormat::MuLaw, SampleFormat::ALaw};

// Any split of the reads gives the bytes of one read, in every format; Length says beforehand
// how many bytes come, and after part of them how many are left.
TEST(CallerIdStandards, SplitReadsEqualOneReadAndLengthIsKnown) {
    for (const Transmission& setup : kSetups) {
        for (const SampleFormat format : kFormats) {
            for (const BitTiming timing : {BitTiming::WholeSamples, BitTiming::Exact}) {
                CGenCallerID whole;
                Build(whole, setup, format, 11025.0, timing);
                const std::int64_t length = whole.Length();
                const Bytes one = ReadAll(whole, {1 << 16});
                EXPECT_EQ(static_cast<std::int64_t>(one.size()), length) << NameOf(setup);
                EXPECT_EQ(whole.Length(), 0);

                CGenCallerID split;
                Build(split, setup, format, 11025.0, timing);
                Bytes buf(64);
                const int first = split.Read(buf.data(), 64);
                EXPECT_EQ(split.Length(), length - first);
                Bytes pieces(buf.begin(), buf.begin() + first);
                const Bytes rest = ReadAll(split, {1, 3, 7, 100, 333, 4096});
                pieces.insert(pieces.end(), rest.begin(), rest.end());
                EXPECT_EQ(pieces, one) << NameOf(setup) << " format " << static_cast<int>(format);
            }
        }
    }
}

TEST(CallerIdStandards, G711IsThe16BitSignalEncoded) {
    for (const Transmission& setup : kSetups) {
        CGenCallerID pcm;
        Build(pcm, setup, SampleFormat::S16, 8000.0, BitTiming::Exact);
        CGenCallerID ulaw;
        Build(ulaw, setup, SampleFormat::MuLaw, 8000.0, BitTiming::Exact);
        const Bytes linear = ReadAll(pcm, {4096});
        const Bytes coded = ReadAll(ulaw, {4096});
        ASSERT_EQ(coded.size() * 2, linear.size()) << NameOf(setup);
        const std::vector<double> s = Samples16(linear);
        std::size_t silent = 0;
        for (std::size_t i = 0; i < s.size(); ++i) silent += (s[i] == 0.0) == (coded[i] == 0xFF) ? 0 : 1;
        EXPECT_EQ(silent, 0u) << NameOf(setup);  // zero is mu-law 0xFF, and only zero
    }
}

TEST(CGenMF, SplitReadsEqualOneReadInEveryFormat) {
    for (const SampleFormat format : kFormats) {
        const Bytes one = RenderMf(MfSystem::R1, "K0123456789SABC", format, {1 << 16});
        EXPECT_EQ(RenderMf(MfSystem::R1, "K0123456789SABC", format, {1, 5, 77, 1000}), one);
        const Bytes r2 = RenderMf(MfSystem::R2Backward, "1234567890BCDEF", format, {1 << 16});
        EXPECT_EQ(RenderMf(MfSystem::R2Backward, "1234567890BCDEF", format, {3, 64, 999}), r2);
    }
}

// KP 100 ms, other R1 signals 68 ms, 68 ms apart, none after the last; R2 150 ms and 150 ms.
TEST(CGenMF, LengthsOfR1AndR2) {
    EXPECT_EQ(RenderMf(MfSystem::R1, "K1S", SampleFormat::S16, {4096}).size(), 2u * (800 + 544 + 544 + 544 + 544 + 544));
    EXPECT_EQ(RenderMf(MfSystem::R2Forward, "15", SampleFormat::U8, {4096}).size(), 4u * 1200);
}

TEST(CGenMF, RefusedSignalsQueueNothing) {
    CGenMF gen;
    gen.Init(SampleFormat::S16, 8000.0f, 0.5f);
    EXPECT_EQ(gen.SetSignals(MfSystem::R2Forward, "1A"), "R2 signals are 1-9, 0 and B-F only.");
    EXPECT_EQ(gen.Length(), 0);
    Bytes buf(64);
    EXPECT_EQ(gen.Read(buf.data(), 64), 0);
}

}  // namespace
