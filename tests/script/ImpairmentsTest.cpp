// The line's impairments and the sender's deviations, measured on what a rendering gives.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <complex>
#include <numbers>
#include <cstdint>
#include <string>
#include <vector>

#include "tones/Measure.h"
#include "varnel/script/Parser.h"
#include "varnel/script/Rendering.h"
#include "varnel/script/SoundingSpans.h"
#include "varnel/signal/G711.h"
#include "varnel/signal/LineImpairments.h"

namespace {

using namespace Quorvex::VarnelNet;
using namespace Quorvex::VarnelNet::Script;

RenderOptions Options(std::vector<std::pair<std::string, std::string>> impairments, std::int32_t rate = 8000) {
    RenderOptions options;
    options.settings.push_back(ParseSetting(*FindSetting("rate"), std::to_string(rate), "--rate"));
    for (const auto& [name, value] : impairments) SetImpairment(options.impairments, name, value);
    return options;
}

std::vector<std::uint8_t> Bytes(const RenderOptions& options, const std::string& script, std::size_t block = 4000) {
    const Requests requests = ParseScript(script);
    Rendering rendering(options, requests);
    std::vector<std::uint8_t> bytes, piece(block);
    for (std::size_t n; (n = rendering.Pull(piece)) > 0;) bytes.insert(bytes.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_EQ(bytes.size(), rendering.TotalBytes());
    return bytes;
}

std::vector<double> Samples(const RenderOptions& options, const std::string& script) {
    return tone_test::FromS16(Bytes(options, script));
}

double Db(double ratio) { return 10.0 * std::log10(ratio); }

// The noise is the rendering less the clean one; its power against the clean signal's mean
// power over the samples where it sounds (n % period < on: a key's tone time, a tone's
// on-time, zero crossings and all): --snr within 0.2 dB over 10 s, --noise within 0.2 dB of its
// level, white or in the telephone band.
TEST(ImpairmentsTest, NoiseHasTheAskedPower) {
    std::string keys = "set:dtmf-tone=50 set:dtmf-break=50 dtmf:";
    std::string beeps;
    for (int i = 0; i < 10; ++i) keys += "0123456789";
    for (int i = 0; i < 20; ++i) beeps += "tone:250,250,1000 ";
    const struct {
        std::string script;
        std::vector<std::pair<std::string, std::string>> noise;
        double expectedDb;  // S/N, or the noise's level in dBm0 for --noise
        std::size_t period = 1, on = 1;
        std::int32_t rate = 8000;
    } cases[] = {
        {"tone:10000,0,1000", {{"snr", "10"}}, 10.0},
        {"tone:10000,0,2000", {{"snr", "10"}}, 10.0},
        {"tone:10000,0,1004", {{"snr", "10"}}, 10.0},
        {keys, {{"snr", "10"}}, 10.0, 800, 400},
        {beeps, {{"snr", "10"}}, 10.0, 4000, 2000},
        {"tone:10000,0,350,440", {{"snr", "20"}, {"noise-band", "telephone"}, {"seed", "7"}}, 20.0},
        {"tone:10000,0,2000", {{"snr", "3"}, {"noise-band", "telephone"}}, 3.0},
        {"silence:10000", {{"noise", "-30"}}, -30.0},
        {"silence:10000", {{"noise", "-45"}, {"noise-band", "telephone"}}, -45.0},
        {"silence:10000", {{"noise", "-45"}, {"noise-band", "telephone"}}, -45.0, 1, 1, 48000},
        {"silence:3000", {{"noise", "-45"}, {"noise-band", "telephone"}}, -45.0, 1, 1, 192000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script.substr(0, 30) + " at " + std::to_string(c.rate));
        RenderOptions clean = Options({}, c.rate);
        clean.dbm0 = -20.0f;
        RenderOptions noisy = Options(c.noise, c.rate);
        noisy.dbm0 = -20.0f;
        const std::vector<double> x = Samples(clean, c.script);
        const std::vector<double> y = Samples(noisy, c.script);
        ASSERT_EQ(x.size(), y.size());
        double signal = 0.0, noise = 0.0;
        std::size_t sounding = 0;
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (i % c.period < c.on) {
                signal += x[i] * x[i];
                ++sounding;
            }
            noise += (y[i] - x[i]) * (y[i] - x[i]);
        }
        noise /= static_cast<double>(x.size());
        const double measured = c.noise[0].first == "snr" ? Db(signal / static_cast<double>(sounding) / noise) : 3.14 + Db(2.0 * noise);
        EXPECT_NEAR(measured, c.expectedDb, 0.2);
    }
}

// The sounding samples, block by block as the labels arrive, are the union of the labels that
// are not silences, whatever the blocks: overlapping (a message and its bytes), adjacent,
// across block edges, a label list that grows while it is followed.
TEST(ImpairmentsTest, SoundingSpansAreTheLabelsOtherThanSilences) {
    const struct {
        std::uint64_t first, end;
        SymbolKind symbol;
    } labels[] = {{0, 3, SymbolKind::Key}, {3, 10, SymbolKind::Silence}, {10, 41, SymbolKind::Message}, {12, 14, SymbolKind::Byte},
                  {41, 42, SymbolKind::Tone}, {50, 64, SymbolKind::Silence}, {60, 71, SymbolKind::Character}};
    for (const std::size_t block : {std::size_t{1}, std::size_t{3}, std::size_t{7}, std::size_t{64}}) {
        SCOPED_TRACE(block);
        std::vector<Label> list;
        SoundingSpans spans;
        spans.Follow(list);
        std::vector<std::uint8_t> in(block);
        std::size_t next = 0;
        for (std::uint64_t first = 0; first < 80; first += block) {
            for (; next < std::size(labels) && labels[next].first < first + block; ++next) {
                Label& label = list.emplace_back();
                label.symbol = labels[next].symbol;
                label.first = labels[next].first;
                label.end = labels[next].end;
            }
            spans.Mark(first, in);
            for (std::uint64_t at = first; at < first + block; ++at) {
                const bool expected = at <= 2 || (at >= 10 && at <= 41) || (at >= 60 && at <= 70);
                EXPECT_EQ(in[at - first] == 1, expected) << at;
            }
        }
    }
}

// Every frequency of every kind moves by the offset: within 0.01 % of the scaled frequency.
TEST(ImpairmentsTest, FrequencyOffsetScalesEveryFrequency) {
    const struct {
        const char* script;
        const char* percent;
        double from, to;  // seconds measured
        std::vector<double> hz;
    } cases[] = {
        {"tone:2000,0,1000", "1.5", 0.1, 1.9, {1000.0}},
        {"set:dtmf-tone=1000 dtmf:5", "-3.5", 0.1, 0.9, {770.0, 1336.0}},
        {"mf:K", "6", 0.01, 0.09, {1100.0, 1700.0}},
        {"plan:uk:dial:1000", "-0.7", 0.1, 0.9, {350.0, 440.0}},
        {"modem:ans:1000", "0.3", 0.1, 0.9, {2100.0}},
        {"cid:5551234", "-1", 0.26, 0.39, {1200.0}},  // the mark signal
        {"set:cid-standard=etsi set:cid-alert=dtas cid:5551234", "1", 0.0, 0.1, {2130.0, 2750.0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.script) + " at " + c.percent + " %");
        const std::vector<double> x = Samples(Options({{"freq-offset", c.percent}}), c.script);
        const tone_test::Window window(x, static_cast<std::size_t>(c.from * 8000), static_cast<std::size_t>(c.to * 8000), 8000.0);
        const double scale = 1.0 + std::stod(c.percent) / 100.0;
        for (const double hz : c.hz) {
            const double measured = window.PeakFrequency(hz * scale, 5.0);
            EXPECT_NEAR(measured / (hz * scale), 1.0, 1e-4) << hz << " Hz measured " << measured;
        }
    }
}

// The band-pass's response from its impulse response, in dB against 1000 Hz: within half a dB
// from 300 to 3400 Hz, 40 dB down at 150 Hz and below and at 4000 Hz and above, at every rate.
TEST(ImpairmentsTest, TelephoneBandResponseAtEveryRate) {
    const struct {
        double hz;
        double lowest, highest;
    } rows[] = {
        {50.0, -1000.0, -40.0}, {100.0, -1000.0, -40.0}, {150.0, -1000.0, -40.0}, {300.0, -0.5, 0.5}, {2000.0, -0.5, 0.5},
        {3400.0, -0.5, 0.5}, {4000.0, -1000.0, -40.0}, {5000.0, -1000.0, -40.0}, {20000.0, -1000.0, -40.0},
    };
    for (const double rate : {7000.0, 8000.0, 16000.0, 44100.0, 48000.0, 96000.0, 192000.0}) {
        SCOPED_TRACE(rate);
        TelephoneBand band(rate);
        std::vector<double> h(static_cast<std::size_t>(rate / 4.0));
        for (std::size_t n = 0; n < h.size(); ++n) h[n] = band.Filter(n == 0 ? 1.0 : 0.0);
        const auto response = [&](double hz) {
            const std::complex<double> turn = std::polar(1.0, -2.0 * std::numbers::pi * hz / rate);
            std::complex<double> z = 1.0, sum = 0.0;
            for (const double v : h) {
                sum += v * z;
                z *= turn;
            }
            return 20.0 * std::log10(std::abs(sum));
        };
        const double reference = response(1000.0);
        for (const auto& row : rows) {
            if (row.hz >= rate / 2.0) continue;
            const double db = response(row.hz) - reference;
            EXPECT_GE(db, row.lowest) << row.hz << " Hz";
            EXPECT_LE(db, row.highest) << row.hz << " Hz";
        }
        for (double hz = 300.0; hz <= 3400.0; hz += 20.0) EXPECT_NEAR(response(hz), reference, 0.5) << hz << " Hz";
    }
}

// The same band in the noise a rendering gives: flat within 1 dB from 300 to 3400 Hz, at least
// 40 dB down below 150 Hz and above 4000 Hz (bands of an averaged periodogram of 30 s: 100 Hz
// wide inside, so that the estimate's own spread stays well below the dB, 50 Hz outside).
TEST(ImpairmentsTest, TelephoneBandIsFlatInsideAndStoppedOutside) {
    for (const std::int32_t rate : {8000, 16000}) {
        SCOPED_TRACE(rate);
        const std::vector<double> x = Samples(Options({{"noise", "-20"}, {"noise-band", "telephone"}}, rate), "silence:30000");
        const std::size_t segment = static_cast<std::size_t>(rate) / 4;
        const auto band = [&](double lo, double width) {
            double sum = 0.0;
            int count = 0;
            for (std::size_t begin = 0; begin + segment <= x.size(); begin += segment) {
                const tone_test::Window window(x, begin, begin + segment, rate);
                for (double f = lo + 4.0; f < lo + width; f += 8.0, ++count) sum += std::pow(window.Amplitude(f), 2.0);
            }
            return Db(sum / count);
        };
        std::vector<double> inside;
        for (double lo = 300.0; lo < 3400.0; lo += 100.0) inside.push_back(band(lo, 100.0));
        const auto [lowest, highest] = std::minmax_element(inside.begin(), inside.end());
        EXPECT_LE(*highest - *lowest, 1.0);
        for (const double lo : {0.0, 50.0, 100.0, 4000.0, 4200.0, 5000.0, 7900.0}) {
            if (lo + 50.0 > rate / 2.0) continue;
            EXPECT_LE(band(lo, 50.0), *lowest - 40.0) << lo << " Hz";
        }
    }
}

// The line keeps the bytes when it changes nothing (a silent mix, every format), gives the same
// bytes whatever the blocks pulled, and its seed picks the noise.
TEST(ImpairmentsTest, LineIsExactAndDeterministic) {
    const std::string script = "dtmf:159 'cid:5551234|JOHN' tty:HELLO";
    for (const char* format : {"set:encoding=ulaw", "set:encoding=alaw", "set:bits=8", "set:bits=16"}) {
        SCOPED_TRACE(format);
        RenderOptions mixed = Options({});
        mixed.mix = Mix{ParseScript("silence:10"), {}};
        EXPECT_EQ(Bytes(mixed, std::string(format) + " " + script), Bytes(Options({}), std::string(format) + " " + script));
    }
    const RenderOptions noisy = Options({{"snr", "12"}, {"noise-band", "telephone"}, {"seed", "3"}});
    EXPECT_EQ(Bytes(noisy, script, 4000), Bytes(noisy, script, 333));
    EXPECT_NE(Bytes(noisy, script), Bytes(Options({{"snr", "12"}, {"noise-band", "telephone"}, {"seed", "4"}}), script));
}

// Clipping holds the peak, tandems are G.711 round trips, dropouts zero their gaps, and a mixed
// script sounds under the first with its labels kept.
TEST(ImpairmentsTest, ClipTandemDropoutAndMix) {
    const std::vector<double> clipped = Samples(Options({{"clip", "-10"}}), "tone:100,0,1000");
    EXPECT_NEAR(*std::max_element(clipped.begin(), clipped.end()), std::pow(10.0, (-10.0 - 3.14) / 20.0), 1.0 / 32767);

    std::vector<std::uint8_t> ulaw = Bytes(Options({}), "set:encoding=ulaw tone:100,0,1000");
    std::vector<std::uint8_t> tandem = Bytes(Options({{"codec-tandem", "3"}}), "tone:100,0,1000");
    for (std::size_t i = 0; i < ulaw.size(); ++i) {
        ASSERT_EQ(static_cast<std::int16_t>(tandem[2 * i] | (tandem[2 * i + 1] << 8)), LinearFromMuLaw(ulaw[i])) << i;
    }

    const std::vector<double> gaps = Samples(Options({{"dropout", "10@100"}}), "tone:300,0,1000");
    for (std::size_t i = 0; i < gaps.size(); ++i) {
        const bool gap = (i >= 800 && i < 880) || (i >= 1600 && i < 1680);
        if (gap || i % 4 != 0) {
            EXPECT_EQ(gaps[i] == 0.0, gap) << i;
        }
    }

    RenderOptions mixed = Options({});
    mixed.labels = true;
    mixed.mix = Mix{ParseScript("plan:us:dial:2000"), -30.0f};
    const Requests requests = ParseScript("silence:500 dtmf:1");
    Rendering rendering(mixed, requests);
    std::array<std::uint8_t, 4096> block{};
    while (rendering.Pull(block) > 0) {}
    EXPECT_EQ(rendering.TotalBytes(), 2u * 16000u);
    ASSERT_EQ(rendering.Labels().size(), 3u);
    EXPECT_EQ(LabelText(rendering.Labels()[0]), "silence");
    EXPECT_EQ(LabelText(rendering.Labels()[1]), "mix: 350+440 Hz");
    EXPECT_EQ(LabelText(rendering.Labels()[2]), "1");
}

}  // namespace
