// The MF and tone detectors: the tool's renders heard as its labels say (MF signals at their
// labels' times, plans, SITs and modem tones by name), split input equal to whole input, the
// MF signals sox synthesises and the V.21 flags minimodem sends.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "support/Shell.h"
#include "varnel/script/HeardLabels.h"
#include "varnel/detect/PcmReader.h"
#include "varnel/detect/ToneListeners.h"

namespace {

using namespace Quorvex::VarnelNet;
using varnel_test::Quote;
using varnel_test::RunShell;

std::vector<double> Samples(const std::string& path, int& rate) {
    std::ifstream in(path, std::ios::binary);
    Detect::PcmReader reader = Detect::PcmReader::Wav(in);
    rate = reader.Format().rate;
    std::vector<double> samples;
    double block[512];
    while (const std::size_t n = reader.Read(block)) samples.insert(samples.end(), block, block + n);
    return samples;
}

// What the detectors heard: the MF signals as their labels' JSON lines, then each tone as a
// line of its kind and names ("plan busy:uk,busy:ie", "sit nc", "modem ANSam/PR 7") and its
// labels.
std::string Heard(const std::vector<double>& samples, int rate, std::size_t block) {
    std::string signals;
    std::string heard;
    Detect::ToneListeners listeners(
        rate,
        [&signals](const Detect::MfEvent& e) {
            const Script::Label label = Script::MfLabel(e);
            signals += Script::JsonLabels(std::span(&label, 1));
        },
        [&heard](const Detect::ToneEvent& e) {
            const std::vector<Script::Label> labels = Script::ToneLabels(e);
            heard.append(labels.front().kind).append(" ").append(labels.front().fields.front().second);
            if (e.reversals > 0) heard.append(" ").append(std::to_string(e.reversals));
            heard.append("\n").append(Script::JsonLabels(labels));
        });
    for (std::size_t at = 0; at < samples.size(); at += block) listeners.Feed(std::span(samples).subspan(at, std::min(block, samples.size() - at)));
    listeners.Finish();
    return signals + heard;
}

// The key labels of a JSON lines text: kind and text, and the edges.
struct Key {
    std::string what;
    double first;
    double last;
};
std::vector<Key> Keys(const std::string& lines) {
    static const std::regex key(R"re("kind":("[^"]+"),"symbol":"key","start":(\d+),"end":(\d+),("text":"[^"]+"))re");
    std::vector<Key> keys;
    for (std::sregex_iterator m(lines.begin(), lines.end(), key), end; m != end; ++m) {
        keys.push_back({(*m)[1].str() + " " + (*m)[4].str(), std::stod((*m)[2]), std::stod((*m)[3])});
    }
    return keys;
}

class ToneDetectTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return (m_dir.path() / name).string(); }
    varnel_test::ScratchDir m_dir;
};

// A render and what must be heard in it: its MF signals as its labels say (mf true), or lines
// matching `heard` (none at all for an empty one).
struct Trip {
    const char* args;
    bool mf;
    const char* heard;
};
constexpr Trip kTrips[] = {
    {"-r 8000 mf:K1234567890SABC", true, ""},
    {"-r 48000 --dbm0 -30 r2f:1234567890BCDEF", true, ""},
    {"-r 16000 --freq-offset 1.5 r2b:1234567890BCDEF", true, ""},
    {"-r 44100 --freq-offset -1.5 mf:K159S", true, ""},
    {"-r 8000 --freq-offset 3.6 mf:K159S r2f:159 r2b:159", false, ""},
    {"-r 8000 --dbm0 -13 plan:uk:busy:3000", false, "^plan busy:uk\n"},
    {"-r 48000 plan:us:dial", false, "^plan [^\n]*dial:us"},
    {"-r 8000 plan:in:ringback", false, "^plan ringback:in\n"},
    {"-r 8000 plan:au:ringback", false, "^plan ringback:au\n"},
    {"-r 16000 plan:de:congestion", false, "^plan congestion:de,"},
    {"-r 8000 plan:fr:callwaiting", false, "^plan callwaiting:fr,"},
    {"-r 8000 sit:nc sit:ic sit:vc sit:ro sit:itu", false, "^sit nc\n(.*\n){3}sit ic\n(.*\n){3}sit vc\n(.*\n){3}sit ro\n(.*\n){3}sit itu\n"},
    {"-r 48000 modem:cng", false, "^modem CNG\n.*\nmodem CNG\n"},
    {"-r 8000 modem:ans silence:100 modem:ans-pr", false, "^modem ANS\n.*\nmodem ANS/PR 7\n"},
    {"-r 48000 modem:ansam silence:100 modem:ansam-pr", false, "^modem ANSam\n.*\nmodem ANSam/PR 7\n"},
    {"-r 8000 --dbm0 -10 tone:500,0,1000 dtmf:124567890 silence:200 cid:5551234", false, "^$"},
};

TEST_F(ToneDetectTest, HearsWhatTheToolRendersAsItsLabelsSay) {
    for (const Trip& trip : kTrips) {
        SCOPED_TRACE(trip.args);
        std::string out;
        ASSERT_EQ(RunShell(Quote(VARNEL_CLI_PATH) + " -o " + Path("a.wav") + " --labels " + Path("a.jsonl") + " " + trip.args, out), 0) << out;
        int rate = 0;
        const std::vector<double> samples = Samples(Path("a.wav"), rate);
        const std::string heard = Heard(samples, rate, samples.size() + 1);
        EXPECT_EQ(Heard(samples, rate, 97), heard);
        const std::vector<Key> keys = Keys(heard);
        if (!trip.mf) {
            EXPECT_TRUE(keys.empty()) << heard;
            EXPECT_TRUE(std::regex_search(heard, std::regex(trip.heard))) << heard;
            continue;
        }
        std::ifstream file(Path("a.jsonl"));
        const std::vector<Key> labels = Keys(std::string(std::istreambuf_iterator<char>(file), {}));
        ASSERT_EQ(keys.size(), labels.size()) << heard;
        for (std::size_t i = 0; i < labels.size(); ++i) {
            EXPECT_EQ(keys[i].what, labels[i].what);
            EXPECT_NEAR(keys[i].first, labels[i].first, 0.005 * rate) << i;
            EXPECT_NEAR(keys[i].last, labels[i].last, 0.005 * rate) << i;
        }
    }
}

TEST_F(ToneDetectTest, HearsTheMfSignalsSoxMakes) {
    VARNEL_REQUIRE_TOOL("sox");
    std::string out;
    ASSERT_EQ(RunShell("sox -n -r 8000 -b 16 -c 1 " + Path("s.wav") +
                           " synth 0.1 sine 1100 sine 1700 channels 1 gain -10 pad 0.05 0 : synth 0.068 sine 700 sine 900 channels 1"
                           " gain -20 pad 0.068 0 : synth 0.15 sine 1380 sine 1980 channels 1 gain -10 pad 0.15 0 : synth 0.15 sine 540"
                           " sine 660 channels 1 gain -10 pad 0.15 0.15",
                       out),
              0)
        << out;
    int rate = 0;
    const std::vector<double> samples = Samples(Path("s.wav"), rate);
    const std::vector<Key> keys = Keys(Heard(samples, rate, 4096));
    std::string heard;
    for (const Key& key : keys) heard += key.what + "\n";
    EXPECT_EQ(heard, R"("mf" "text":"K"
"mf" "text":"1"
"r2f" "text":"B"
"r2b" "text":"F"
)");
}

TEST_F(ToneDetectTest, HearsTheV21FlagsMinimodemSends) {
    VARNEL_REQUIRE_TOOL("minimodem");
    std::string out;
    ASSERT_EQ(RunShell("printf '~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~' | minimodem --tx 300 -8 --startbits 0 --stopbits 0 -M 1650 -S 1850 -R 16000 -f " +
                           Path("v.wav"),
                       out),
              0)
        << out;
    int rate = 0;
    const std::vector<double> samples = Samples(Path("v.wav"), rate);
    const std::string heard = Heard(samples, rate, 333);
    EXPECT_TRUE(std::regex_search(heard, std::regex("^modem V.21\n.*\"fields\":\\{\"tone\":\"V.21\",\"flags\":\"(39|40)\"\\}"))) << heard;
}

}  // namespace
