// The Caller-ID decoder: every standard's messages the tool renders read back to their labels'
// fields, whole and in blocks; a message with a spoiled byte reported as a bad check; the bytes
// minimodem's Bell 202 transmitter sends.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "support/Shell.h"
#include "varnel/detect/CallerIdDecoder.h"
#include "varnel/detect/PcmReader.h"
#include "varnel/script/Labels.h"

namespace {

using namespace Quorvex::VarnelNet;
using namespace Quorvex::VarnelNet::Detect;
using varnel_test::Quote;
using varnel_test::RunShell;

std::vector<double> Samples(const std::string& path, int& rate) {
    std::ifstream in(path, std::ios::binary);
    PcmReader reader = PcmReader::Wav(in);
    rate = reader.Format().rate;
    std::vector<double> samples;
    double block[512];
    while (const std::size_t n = reader.Read(block)) samples.insert(samples.end(), block, block + n);
    return samples;
}

// Each message as its label's text and fields would be written, and its first sample.
struct Message {
    std::string json;
    std::uint64_t first = 0;
    HeardCallerId heard;
};

std::vector<Message> Decoded(const std::vector<double>& samples, int rate, std::size_t block,
                             std::optional<CallerIdStandard> standard = std::nullopt) {
    std::vector<Message> messages;
    CallerIdDecoder decoder(
        rate,
        [&messages](const HeardCallerId& heard) {
            Script::Label label;
            label.kind = "cid";
            label.symbol = SymbolKind::Message;
            label.text = std::string(heard.layout);
            for (const CallerIdField& field : heard.fields) label.fields.emplace_back(field.name, field.value);
            messages.push_back({Script::JsonLabels(std::span(&label, 1)), heard.first, heard});
        },
        nullptr, standard);
    for (std::size_t at = 0; at < samples.size(); at += block) {
        decoder.Feed(std::span(samples).subspan(at, std::min(block, samples.size() - at)));
    }
    decoder.Finish();
    return messages;
}

// "text":...,"fields":{...} of a JSON line's message.
std::string TextAndFields(const std::string& line) {
    static const std::regex part(R"re(("text":"[^"]*"(,"fields":\{[^}]*\})?))re");
    std::smatch m;
    return std::regex_search(line, m, part) ? m[1].str() : line;
}

// The message labels of a labels file.
std::vector<Message> Labelled(const std::string& path) {
    static const std::regex start(R"re("symbol":"message","start":(\d+))re");
    std::vector<Message> messages;
    std::ifstream lines(path);
    for (std::string line; std::getline(lines, line);) {
        if (std::smatch m; std::regex_search(line, m, start)) messages.push_back({TextAndFields(line), std::stoull(m[1]), {}});
    }
    return messages;
}

class CallerIdDecodeTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return (m_dir.path() / name).string(); }
    void Render(const std::string& args) const {
        std::string out;
        ASSERT_EQ(RunShell(Quote(VARNEL_CLI_PATH) + " -o " + Path("a.wav") + " --labels " + Path("a.jsonl") + " " + args, out), 0) << out;
    }
    varnel_test::ScratchDir m_dir;
};

struct Trip {
    const char* args;
    CallerIdStandard standard;
    bool alert;
};
constexpr Trip kTrips[] = {
    {"-r 8000 --dbm0 -20 \"cid:5551234|JOHN DOE|12/25 10:30\" silence:300 vmwi:on", CallerIdStandard::Bell202, false},
    {"-r 48000 --dbm0 -30 --cid-format sdmf cid:5551234 silence:300 vmwi:off", CallerIdStandard::Bell202, false},
    {"-r 11025 -e ulaw --dbm0 -10 --cid-alert offhook \"cid:-P|-O\"", CallerIdStandard::Bell202, true},
    {"-r 8000 --dbm0 -20 --cid-standard etsi --cid-alert dtas \"cid:01632960000|ANNA SMITH|02/29 23:59\"", CallerIdStandard::Etsi, true},
    {"-r 44100 --dbm0 -34 --snr 20 --seed 5 --cid-standard etsi \"cid:-O|-P\" silence:200 vmwi:on", CallerIdStandard::Etsi, false},
    {"-r 16000 -e alaw --dbm0 -15 --cid-standard bt --cid-alert dtas \"cid:01632960000|ANNA SMITH\" silence:300 vmwi:on",
     CallerIdStandard::Bt, true},
    {"-r 8000 --dbm0 -20 --cid-standard ntt cid:0312345678 silence:300 cid:-P", CallerIdStandard::Ntt, false},
    {"-r 22050 --dbm0 -20 --freq-offset 1.5 --fsk-rate-offset -1 --cid-standard ntt cid:09012345678",
     CallerIdStandard::Ntt, false},
    {"-r 8000 --dbm0 -20 --cid-standard dtmf cid:0123456789 silence:300 cid:-P silence:300 cid:-O", CallerIdStandard::Dtmf, false},
};

TEST_F(CallerIdDecodeTest, ReadsEveryStandardTheToolRendersAsItsLabelsDo) {
    for (const Trip& trip : kTrips) {
        SCOPED_TRACE(trip.args);
        Render(trip.args);
        int rate = 0;
        const std::vector<double> samples = Samples(Path("a.wav"), rate);
        const std::vector<Message> whole = Decoded(samples, rate, samples.size() + 1);
        const std::vector<Message> labels = Labelled(Path("a.jsonl"));
        ASSERT_EQ(whole.size(), labels.size());
        for (std::size_t i = 0; i < labels.size(); ++i) {
            EXPECT_EQ(TextAndFields(whole[i].json), labels[i].json);
            EXPECT_NEAR(static_cast<double>(whole[i].first), static_cast<double>(labels[i].first), rate / 1200.0);
            EXPECT_EQ(whole[i].heard.standard, trip.standard);
            EXPECT_EQ(whole[i].heard.check, trip.standard == CallerIdStandard::Dtmf ? CallerIdCheck::None : CallerIdCheck::Good);
            EXPECT_EQ(whole[i].heard.alertSeen, trip.alert);
        }
        const std::vector<Message> split = Decoded(samples, rate, 37);
        ASSERT_EQ(split.size(), whole.size());
        for (std::size_t i = 0; i < whole.size(); ++i) {
            EXPECT_EQ(split[i].json, whole[i].json);
            EXPECT_EQ(split[i].heard.first, whole[i].heard.first);
            EXPECT_EQ(split[i].heard.last, whole[i].heard.last);
        }
        // Listening for its standard alone hears the same; for another, nothing.
        const std::vector<Message> named = Decoded(samples, rate, 37, trip.standard);
        ASSERT_EQ(named.size(), whole.size());
        for (std::size_t i = 0; i < whole.size(); ++i) {
            EXPECT_EQ(named[i].json, whole[i].json);
            EXPECT_EQ(named[i].heard.first, whole[i].heard.first);
            EXPECT_EQ(named[i].heard.last, whole[i].heard.last);
            EXPECT_EQ(named[i].heard.alertSeen, whole[i].heard.alertSeen);
        }
        const CallerIdStandard other = trip.standard == CallerIdStandard::Dtmf ? CallerIdStandard::Bell202 : CallerIdStandard::Dtmf;
        EXPECT_TRUE(Decoded(samples, rate, 37, other).empty());
    }
}

// A byte of the name sounded as another: the checksum no longer adds up.
TEST_F(CallerIdDecodeTest, ReportsABadChecksumWithoutItsFields) {
    Render("-r 8000 --dbm0 -20 \"cid:5551234|JOHN DOE|12/25 10:30\"");
    int rate = 0;
    std::vector<double> samples = Samples(Path("a.wav"), rate);
    static const std::regex byte(R"re("symbol":"byte","start":(\d+),"end":(\d+),"index":(\d+))re");
    std::vector<std::pair<std::size_t, std::size_t>> bytes;
    std::ifstream lines(Path("a.jsonl"));
    for (std::string line; std::getline(lines, line);) {
        if (std::smatch m; std::regex_search(line, m, byte)) bytes.emplace_back(std::stoul(m[1]), std::stoul(m[2]));
    }
    ASSERT_GT(bytes.size(), 30u);
    // Bytes 25 and 26 are the name's J and O.
    std::copy(samples.begin() + static_cast<std::ptrdiff_t>(bytes[25].first), samples.begin() + static_cast<std::ptrdiff_t>(bytes[25].second),
              samples.begin() + static_cast<std::ptrdiff_t>(bytes[26].first));
    const std::vector<Message> heard = Decoded(samples, rate, 160);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].heard.check, CallerIdCheck::Bad);
    EXPECT_EQ(heard[0].heard.layout, "MDMF");
    EXPECT_TRUE(heard[0].heard.fields.empty());
}

// minimodem sends its bytes as async characters of 8 bits after a few bits of carrier: 0xFF
// bytes go first (all mark but their start bits), for the receiver to find the characters in,
// as Caller-ID's mark signal lets it.
TEST_F(CallerIdDecodeTest, DemodulatesWhatMinimodemSends) {
    VARNEL_REQUIRE_TOOL("minimodem");
    const std::string lead(20, '\xFF');
    const std::string text = "CALLER 5551234 \x80\x1D\x01\x08~";
    for (const int rate : {11025, 48000}) {
        SCOPED_TRACE(rate);
        std::string out;
        ASSERT_EQ(RunShell("printf '%s' " + Quote(lead + text) + " | minimodem --tx -q -v 0.1 -R " + std::to_string(rate) + " -f " +
                               Path("m.wav") + " 1200",
                           out),
                  0)
            << out;
        int fileRate = 0;
        const std::vector<double> samples = Samples(Path("m.wav"), fileRate);
        ASSERT_EQ(fileRate, rate);
        std::string heard;
        FskDemodulator demodulator(kBell202, rate, [&heard](const FskByte& b) { heard += static_cast<char>(b.value); }, nullptr);
        demodulator.Feed(samples);
        ASSERT_GE(heard.size(), text.size());
        EXPECT_EQ(heard.substr(heard.size() - text.size()), text);
        EXPECT_EQ(heard.find_first_not_of('\xFF'), heard.size() - text.size()) << heard;
    }
}

}  // namespace
