// Every signal the engine renders, at many rates and both widths, against the length and FNV-1a
// hash of its bytes recorded in byte_identity.tsv. The table was taken from the generators as
// first built; any change to a single output byte of any signal fails here.
//
// VARNEL_WRITE_BYTE_IDENTITY=FILE writes the table the current build produces, to review a
// deliberate change.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/EngineHarness.h"
#include "varnel/signal/OutputStage.h"

namespace {

using namespace varnel_test;

struct SignalCase {
    const char* name;
    std::function<void(CVarnel&)> setUp;  // settings, then one or more requests
};

void Queue(HRESULT hr) { ASSERT_EQ(hr, S_OK); }

const std::vector<SignalCase>& Cases() {
    static const std::vector<SignalCase> cases = {
        {"dtmf", [](CVarnel& e) { std::int32_t id; Queue(e.GenerateDTMFs(u"0123456789*#ABCD,1", &id)); }},
        {"dtmf-odd-times", [](CVarnel& e) {
             std::int32_t id;
             e.set_DTMF_ToneTime(7); e.set_DTMF_BreakTime(3); e.set_DTMF_PauseTime(11);
             Queue(e.GenerateDTMFs(u"1a,#", &id));
         }},
        {"dtmf-long-tone", [](CVarnel& e) {
             std::int32_t id;
             e.set_DTMF_ToneTime(1000); e.set_DTMF_BreakTime(0);
             Queue(e.GenerateDTMFs(u"5D", &id));
         }},
        {"tone-dual", [](CVarnel& e) { std::int32_t id; Queue(e.GenerateTone(1000, 200, 350.0f, 440.0f, 0.0f, &id)); }},
        {"tone-triple", [](CVarnel& e) { std::int32_t id; Queue(e.GenerateTone(333, 77, 913.8f, 1370.6f, 1776.7f, &id)); }},
        {"tone-single-0dB", [](CVarnel& e) {
             std::int32_t id;
             e.set_Amplitude(0.0f);
             Queue(e.GenerateTone(250, 0, 1004.0f, 0.0f, 0.0f, &id));
         }},
        {"tone-none", [](CVarnel& e) { std::int32_t id; Queue(e.GenerateTone(20, 20, 0.0f, 0.0f, 0.0f, &id)); }},
        {"silence", [](CVarnel& e) { std::int32_t id; Queue(e.GenerateSilence(123.4f, &id)); }},
        {"tones", [](CVarnel& e) { Queue(e.GenerateTones(u"350|440@700,0@300,1400@250,480|620|1000@90")); }},
        {"cid-sdmf-whole", [](CVarnel& e) {
             std::int32_t id;
             e.set_CID_Format(CID_SDMF);
             Queue(e.GenerateCallerID(u"5551234", nullptr, u"01/02 03:04", &id));
         }},
        {"cid-mdmf-whole", [](CVarnel& e) {
             std::int32_t id;
             Queue(e.GenerateCallerID(u"5551234", u"JOHN DOE", u"12/25 10:30", &id));
         }},
        {"cid-mdmf-exact", [](CVarnel& e) {
             std::int32_t id;
             e.set_CID_BitTiming(CBT_Exact);
             Queue(e.GenerateCallerID(u"5551234", u"JOHN DOE", u"12/25 10:30", &id));
         }},
        {"cid-raw-exact", [](CVarnel& e) {
             std::int32_t id;
             e.set_CID_Format(CID_RAW);
             e.set_CID_BitTiming(CBT_Exact);
             Queue(e.GenerateCallerID(u"\x0006\x0003\x0042\x0042\x0042", nullptr, nullptr, &id));
         }},
        {"tty-baudot", [](CVarnel& e) {
             std::int32_t id;
             Queue(e.GenerateTTY(u"CALL 555 1234 NOW\nok? \\27x", &id));
             Queue(e.GenerateTTY(u"12 AB", &id));
         }},
        {"tty-baudot-figs-after-space-50", [](CVarnel& e) {
             std::int32_t id;
             e.set_TTY_FigsAfterSpace(1); e.set_TTY_Rate(BR_50_Baud);
             Queue(e.GenerateTTY(u"CALL 555 1234 NOW", &id));
         }},
        {"tty-mode3-56", [](CVarnel& e) {
             std::int32_t id;
             e.set_TTY_Mode(3); e.set_TTY_Rate(BR_56_92_Baud);
             Queue(e.GenerateTTY(u"A+B=C '$", &id));
         }},
        {"tty-mode4-74", [](CVarnel& e) {
             std::int32_t id;
             e.set_TTY_Mode(4); e.set_TTY_Rate(BR_74_20_Baud);
             Queue(e.GenerateTTY(u"AB\bC=1", &id));
         }},
        {"tty-ascii7-100", [](CVarnel& e) {
             std::int32_t id;
             e.set_TTY_Mode(ASCII7_Mode); e.set_TTY_Rate(BR_100_Baud);
             Queue(e.GenerateTTY(u"Hello, world 42", &id));
         }},
        {"tty-ascii8-110", [](CVarnel& e) {
             std::int32_t id;
             e.set_TTY_Mode(ASCII8_Mode); e.set_TTY_Rate(BR_110_Baud);
             Queue(e.GenerateTTY(u"Hello, world 42", &id));
         }},
        {"cid-bell-call-waiting", [](CVarnel& e) {
             std::int32_t id;
             e.set_CID_Alert(CA_OffHook);
             Queue(e.GenerateCallerID(u"5551234", u"JOHN DOE", u"12/25 10:30", &id));
         }},
        {"cid-etsi-dtas-exact", [](CVarnel& e) {
             std::int32_t id;
             e.set_CID_Standard(CS_ETSI); e.set_CID_Alert(CA_DTAS); e.set_CID_BitTiming(CBT_Exact);
             Queue(e.GenerateCallerIDEx(u"0123456789", nullptr, u"12/25 10:30", 0, 'P', &id));
         }},
        {"cid-bt-call-waiting", [](CVarnel& e) {
             std::int32_t id;
             e.set_CID_Standard(CS_BT); e.set_CID_Alert(CA_OffHook);
             Queue(e.GenerateCallerID(u"01632960000", u"ANNA", u"01/02 03:04", &id));
         }},
        {"cid-bt", [](CVarnel& e) {
             std::int32_t id;
             e.set_CID_Standard(CS_BT);
             Queue(e.GenerateCallerIDEx(nullptr, nullptr, u"01/02 03:04", 'O', 'O', &id));
         }},
        {"cid-ntt", [](CVarnel& e) {
             std::int32_t id;
             e.set_CID_Standard(CS_NTT);
             Queue(e.GenerateCallerID(u"0312345678", nullptr, nullptr, &id));
         }},
        {"cid-dtmf", [](CVarnel& e) {
             std::int32_t id;
             e.set_CID_Standard(CS_DTMF);
             Queue(e.GenerateCallerID(u"0123456789", nullptr, nullptr, &id));
             Queue(e.GenerateCallerIDEx(nullptr, nullptr, nullptr, 'P', 0, &id));
         }},
        {"vmwi", [](CVarnel& e) {
             std::int32_t id;
             e.set_CID_Format(CID_SDMF);
             Queue(e.GenerateVMWI(1, &id));
             e.set_CID_Format(CID_MDMF); e.set_CID_Standard(CS_ETSI);
             Queue(e.GenerateVMWI(0, &id));
         }},
        {"mf", [](CVarnel& e) {
             std::int32_t id;
             Queue(e.GenerateMF(u"K0123456789SABC", &id));
             Queue(e.GenerateR2MF(u"1234567890BCDEF", 0, &id));
             Queue(e.GenerateR2MF(u"1234567890BCDEF", 1, &id));
         }},
        {"dtmf-twist", [](CVarnel& e) {
             std::int32_t id;
             e.set_DTMF_Twist(-3.5f);
             Queue(e.GenerateDTMFs(u"159#", &id));
         }},
        {"pattern-modulated", [](CVarnel& e) {
             std::int32_t id;
             Queue(e.GeneratePattern(u"400*25/400,0/200,400*25/400,0/2000", 3500, &id));
         }},
        {"pattern-once-depth-40", [](CVarnel& e) {
             std::int32_t id;
             e.set_TONE_ModulationDepth(40);
             Queue(e.GeneratePattern(u"!913.8+1370.6+1776.7/333,!0/7,425*16+440/250,0/125", 1500, &id));
         }},
        {"plan-uk-dial", [](CVarnel& e) { std::int32_t id; Queue(e.GenerateTonePlan(u"uk", u"dial", 700, &id)); }},
        {"sit-vc", [](CVarnel& e) { std::int32_t id; Queue(e.GenerateSIT(u"vc", &id)); }},
        {"modem-cng", [](CVarnel& e) { std::int32_t id; Queue(e.GenerateModemTone(MT_CNG, 4000, &id)); }},
        {"modem-ans-pr", [](CVarnel& e) { std::int32_t id; Queue(e.GenerateModemTone(MT_ANS_PR, 1000, &id)); }},
        {"modem-ansam-pr", [](CVarnel& e) { std::int32_t id; Queue(e.GenerateModemTone(MT_ANSAM_PR, 1000, &id)); }},
        {"level-per-tone", [](CVarnel& e) {
             std::int32_t id;
             e.set_TONE_LevelPerTone(1); e.set_Amplitude(-12.0f); e.set_DTMF_Twist(2.0f);
             e.set_CID_Standard(CS_ETSI); e.set_CID_Alert(CA_DTAS);
             Queue(e.GenerateDTMFs(u"15", &id));
             Queue(e.GeneratePattern(u"400+450/100,400/100,350+440+480/50", 600, &id));
             Queue(e.GenerateCallerID(u"5551234", nullptr, u"12/25 10:30", &id));
             Queue(e.GenerateR2MF(u"12", 0, &id));
         }},
    };
    return cases;
}

constexpr std::int32_t kRates[] = {8000, 11025, 16000, 22050, 44100, 48000, 96000, 7350, 3000};
constexpr std::int32_t kWidths[] = {8, 16};

std::uint64_t Fnv1a(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (const std::uint8_t b : bytes) {
        h ^= b;
        h *= 0x100000001b3ull;
    }
    return h;
}

std::string Key(const char* name, std::int32_t rate, std::int32_t bits) {
    return std::string(name) + "\t" + std::to_string(rate) + "\t" + std::to_string(bits);
}

// name, rate and bits -> "length<TAB>hash"
std::map<std::string, std::string> Render() {
    std::map<std::string, std::string> table;
    for (const SignalCase& c : Cases()) {
        for (const std::int32_t rate : kRates) {
            for (const std::int32_t bits : kWidths) {
                CVarnel engine;
                engine.set_SampleRate(rate);
                engine.set_BitsPerSample(bits);
                EXPECT_EQ(engine.GenerateBegin(nullptr), S_OK);
                c.setUp(engine);
                // The queue knows every request's length before it renders, and after each pull.
                std::vector<std::int64_t> queuedPlusPulled{engine.QueuedBytes()};
                std::vector<std::uint8_t> bytes;
                std::vector<std::uint8_t> block(8192);
                for (std::int32_t n; (n = engine.ExecRequest(block.data(), 8192)) > 0;) {
                    bytes.insert(bytes.end(), block.begin(), block.begin() + n);
                    queuedPlusPulled.push_back(engine.QueuedBytes() + static_cast<std::int64_t>(bytes.size()));
                }
                for (std::size_t k = 0; k < queuedPlusPulled.size(); ++k) {
                    EXPECT_EQ(queuedPlusPulled[k], static_cast<std::int64_t>(bytes.size()))
                        << Key(c.name, rate, bits) << " after pull " << k;
                }
                std::ostringstream value;
                value << bytes.size() << "\t" << std::hex << Fnv1a(bytes);
                table[Key(c.name, rate, bits)] = value.str();
            }
        }
    }
    return table;
}

std::map<std::string, std::string> Recorded() {
    std::map<std::string, std::string> table;
    std::ifstream in(VARNEL_BYTE_IDENTITY_TABLE);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        // name, rate, bits, length, hash
        std::size_t tab = 0;
        for (int i = 0; i < 3; ++i) tab = line.find('\t', tab + 1);
        table[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return table;
}

// G.711 output is the 16-bit output, sample for sample, encoded; and its queue knows its length.
TEST(ByteIdentity, G711IsTheSixteenBitSignalEncoded) {
    for (const SignalCase& c : Cases()) {
        for (const std::int32_t rate : {8000, 11025, 44100, 3000}) {
            std::vector<std::uint8_t> pcm;
            for (const std::int32_t encoding : {ENC_PCM, ENC_MuLaw, ENC_ALaw}) {
                CVarnel engine;
                engine.set_SampleRate(rate);
                engine.set_BitsPerSample(16);
                ASSERT_EQ(engine.set_Encoding(encoding), S_OK);
                EXPECT_EQ(engine.GenerateBegin(nullptr), S_OK);
                c.setUp(engine);
                const std::int64_t queued = engine.QueuedBytes();
                const std::vector<std::uint8_t> bytes = PullAll(engine, 8192);
                EXPECT_EQ(queued, static_cast<std::int64_t>(bytes.size())) << c.name << " " << rate;
                if (encoding == ENC_PCM) {
                    pcm = bytes;
                    continue;
                }
                std::vector<std::uint8_t> expected(pcm.size() / 2);
                EncodeFrom16(encoding == ENC_MuLaw ? SampleFormat::MuLaw : SampleFormat::ALaw, pcm.data(),
                             expected.data(), expected.size());
                EXPECT_EQ(bytes, expected) << c.name << " " << rate << " encoding " << encoding;
            }
        }
    }
}

TEST(ByteIdentity, EverySignalAtEveryRateAndWidthKeepsItsBytes) {
    const std::map<std::string, std::string> rendered = Render();
    if (const char* path = std::getenv("VARNEL_WRITE_BYTE_IDENTITY")) {
        std::ofstream out(path);
        out << "# name\trate\tbits\tlength\tfnv1a64\n";
        for (const auto& [key, value] : rendered) out << key << "\t" << value << "\n";
    }
    const std::map<std::string, std::string> recorded = Recorded();
    ASSERT_EQ(recorded.size(), rendered.size()) << "table " << VARNEL_BYTE_IDENTITY_TABLE;
    for (const auto& [key, value] : rendered) {
        const auto it = recorded.find(key);
        ASSERT_NE(it, recorded.end()) << key;
        EXPECT_EQ(value, it->second) << key;
    }
}

}  // namespace
