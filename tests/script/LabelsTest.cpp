// Labels of a rendering: every symbol where its samples lie, and what it is.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "varnel/script/Labels.h"
#include "varnel/script/Parser.h"
#include "varnel/script/Rendering.h"
#include "varnel/script/RequestError.h"
#include "varnel/signal/G711.h"

namespace {

using namespace Quorvex::VarnelNet;
using namespace Quorvex::VarnelNet::Script;

struct Rendered {
    std::vector<int> samples;  // as 16-bit values (8-bit centred, G.711 decoded)
    int silence = 0;           // the value of a silent sample (A-law has no zero)
    std::vector<Label> labels;
};

Rendered Render(const std::string& script) {
    const Requests requests = ParseScript(script);
    Rendering rendering(RenderOptions{{}, {}, true}, requests);
    std::vector<std::uint8_t> bytes;
    std::array<std::uint8_t, 1000> block{};
    for (std::size_t n; (n = rendering.Pull(block)) > 0;) bytes.insert(bytes.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
    Rendered r;
    const WAVEFORMATEX format = rendering.Format();
    for (std::size_t i = 0; i < bytes.size(); i += format.nBlockAlign) {
        if (format.wFormatTag == WAVE_FORMAT_MULAW) r.samples.push_back(LinearFromMuLaw(bytes[i]));
        else if (format.wFormatTag == WAVE_FORMAT_ALAW) r.samples.push_back(LinearFromALaw(bytes[i]));
        else if (format.wBitsPerSample == 8) r.samples.push_back(bytes[i] - 128);
        else r.samples.push_back(static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    if (format.wFormatTag == WAVE_FORMAT_ALAW) r.silence = LinearFromALaw(0xD5);
    r.labels = rendering.Labels();
    return r;
}

// Every key's label lies within one sample of the tone's measured edges: its first and last
// sample that is not silent, found from just outside the label.
TEST(LabelsTest, KeyLabelsLieOnTheMeasuredEdgesOfTheirTones) {
    const struct {
        const char* script;
        const char* keys;
    } cases[] = {
        {"set:rate=8000 dtmf:0123456789*#ABCD", "0123456789*#ABCD"},
        {"set:rate=11025 set:dtmf-tone=45 set:dtmf-break=23 dtmf:159D silence:7 dtmf:,7", "159D7"},
        {"set:rate=44100 set:dtmf-tone=40 set:dtmf-break=40 dtmf:1,2", "12"},
        {"set:rate=8000 set:encoding=ulaw set:dtmf-twist=-8 dtmf:4#", "4#"},
        {"set:rate=8000 set:encoding=alaw set:dtmf-tone=10 set:dtmf-break=10 dtmf:88", "88"},
        {"set:rate=7999 mf:K0123456789S silence:10 r2f:1F silence:10 r2b:05", "K0123456789S1F05"},
        {"set:rate=16000 set:cid-standard=dtmf cid:5551234", "A5551234C"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const Rendered r = Render(c.script);
        std::string keys;
        for (const Label& label : r.labels) {
            if (label.symbol != SymbolKind::Key) continue;
            keys += label.text;
            const auto silent = [&](std::int64_t i) { return i < 0 || i >= std::ssize(r.samples) || r.samples[static_cast<std::size_t>(i)] == r.silence; };
            auto first = static_cast<std::int64_t>(label.first) - 2;
            while (silent(first) && first < static_cast<std::int64_t>(label.end)) ++first;
            auto last = static_cast<std::int64_t>(label.end) + 1;
            while (silent(last) && last >= static_cast<std::int64_t>(label.first)) --last;
            EXPECT_LE(std::abs(first - static_cast<std::int64_t>(label.first)), 1) << "key " << label.text << " starts at " << first;
            EXPECT_LE(std::abs(last - static_cast<std::int64_t>(label.end - 1)), 1) << "key " << label.text << " ends at " << last;
        }
        EXPECT_EQ(keys, c.keys);
    }
}

// What each request's labels say, in order: keys, tones with their frequencies, pauses, the
// Caller-ID message with its decoded fields and its bytes, TTY characters with their shifts.
TEST(LabelsTest, EachSymbolIsLabelledWithWhatItIs) {
    const struct {
        const char* script;
        std::vector<std::string> texts;  // the first labels' texts
    } cases[] = {
        {"dtmf:1,2 silence:100", {"1", "silence", "2", "silence"}},
        {"tones:350|440@100,0@50 tone:50,20,1000", {"350+440 Hz", "silence", "1000 Hz", "silence"}},
        {"sit:nc", {"985.2 Hz", "1428.5 Hz", "1776.7 Hz"}},
        {"set:rate=8000 modem:cng:4000 plan:uk:busy:1000", {"1100 Hz", "silence", "1100 Hz", "400 Hz", "silence", "400 Hz"}},
        {"'cid:5551234|JOHN DOE|12/25 10:30'",
         {"channel seizure 1200+2200 Hz", "mark signal 1200 Hz", "MDMF date=12251030 number=5551234 name=JOHN DOE",
          "byte 0 0x80", "byte 1 0x1D", "byte 2 0x01"}},
        {"set:cid-standard=etsi set:cid-alert=dtas cid:-P",
         {"2130+2750 Hz", "silence", "channel seizure 1300+2100 Hz", "mark signal 1300 Hz", "MDMF date=", "byte 0 0x80"}},
        {"set:cid-standard=ntt cid:0312345678", {"mark signal 1300 Hz", "NTT number=0312345678", "byte 0 0x90"}},
        {"set:cid-format=sdmf vmwi:on", {"channel seizure 1200+2200 Hz", "mark signal 1200 Hz", "SDMF message waiting=on"}},
        {"'tty:HI 5'", {"LTRS", "H", "I", " ", "FIGS", "5"}},
        {"set:tty-mode=ascii8 ttyhex:41", {"\\x00", "\\x00", "A", "\\x00"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const Rendered r = Render(c.script);
        ASSERT_GE(r.labels.size(), c.texts.size());
        for (std::size_t i = 0; i < c.texts.size(); ++i) {
            EXPECT_EQ(LabelText(r.labels[i]).substr(0, c.texts[i].size()), c.texts[i]) << "label " << i;
            if (i > 0) {
                EXPECT_GE(r.labels[i].first, r.labels[i - 1].first) << "label " << i;
            }
        }
    }
}

// The files: Audacity's label track and JSON lines.
TEST(LabelsTest, LabelFilesAreAudacityTracksAndJsonLines) {
    const Rendered r = Render("set:rate=8000 set:dtmf-tone=50 set:dtmf-break=50 dtmf:1 set:cid-standard=dtmf cid:5");
    EXPECT_EQ(AudacityLabels(std::span(r.labels).first(2), 8000.0), "0.000000\t0.050000\t1\n0.100000\t0.450000\tDTMF number=5\n");
    EXPECT_EQ(JsonLabels(std::span(r.labels).first(3)),
              "{\"request\":4,\"kind\":\"dtmf\",\"symbol\":\"key\",\"start\":0,\"end\":399,\"text\":\"1\",\"hz\":[697,1209]}\n"
              "{\"request\":6,\"kind\":\"cid\",\"symbol\":\"message\",\"start\":800,\"end\":3599,\"text\":\"DTMF\","
              "\"fields\":{\"number\":\"5\"}}\n"
              "{\"request\":6,\"kind\":\"cid\",\"symbol\":\"key\",\"start\":800,\"end\":1359,\"text\":\"A\",\"hz\":[1633,697],"
              "\"index\":0}\n");
    EXPECT_EQ(LabelFormatOf("a/b.jsonl"), LabelFormat::JsonLines);
    EXPECT_EQ(LabelFormatOf("b.txt"), LabelFormat::Audacity);
    EXPECT_THROW(LabelFormatOf("b.csv"), RequestError);
}

}  // namespace
