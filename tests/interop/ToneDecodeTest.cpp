// The tone library through third-party receivers: spandsp's modem_connect_tones_rx recognises
// each modem tone as itself and nothing else as one; spandsp's and multimon-ng's DTMF receivers
// accept and refuse twisted DTMF where their documentation says.

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/EngineHarness.h"
#include "support/Shell.h"
#include "varnel/signal/G711.h"

#ifndef VARNEL_HAVE_SPANDSP
#define VARNEL_HAVE_SPANDSP 0
#endif

#if VARNEL_HAVE_SPANDSP
extern "C" {
#include <spandsp/telephony.h>
#include <spandsp/logging.h>
#include <spandsp/complex.h>
#include <spandsp/tone_detect.h>
#include <spandsp/tone_generate.h>
#include <spandsp/super_tone_rx.h>
#include <spandsp/modem_connect_tones.h>
#include <spandsp/dtmf.h>
}
#endif

namespace {

using namespace varnel_test;

// The 16-bit samples of the requests at `rate`, written in `encoding` and decoded back to
// linear for the receivers.
std::vector<std::int16_t> Render(std::int32_t rate, std::int32_t encoding, const std::function<void(CVarnel&)>& requests) {
    CVarnel engine;
    engine.set_SampleRate(rate);
    engine.set_Encoding(encoding);
    EXPECT_EQ(engine.GenerateBegin(nullptr), S_OK);
    requests(engine);
    const std::vector<std::uint8_t> bytes = PullAll(engine, 8192);
    std::vector<std::int16_t> samples;
    if (encoding == ENC_PCM) {
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) samples.push_back(static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    } else {
        for (const std::uint8_t b : bytes) samples.push_back(encoding == ENC_MuLaw ? LinearFromMuLaw(b) : LinearFromALaw(b));
    }
    return samples;
}

#if VARNEL_HAVE_SPANDSP

// The tones a modem_connect_tones receiver of that type reports, in order.
std::vector<int> ConnectTones(int type, const std::vector<std::int16_t>& samples) {
    std::vector<int> reported;
    modem_connect_tones_rx_state_t* rx = modem_connect_tones_rx_init(
        nullptr, type,
        [](void* user, int code, int, int) {
            if (code != MODEM_CONNECT_TONES_NONE) static_cast<std::vector<int>*>(user)->push_back(code);
        },
        &reported);
    for (std::size_t at = 0; at < samples.size(); at += 160) {
        const int n = static_cast<int>(std::min<std::size_t>(160, samples.size() - at));
        modem_connect_tones_rx(rx, samples.data() + at, n);
    }
    modem_connect_tones_rx_free(rx);
    return reported;
}

std::string SpandspDtmf(const std::vector<std::int16_t>& samples) {
    std::string digits;
    dtmf_rx_state_t* rx = dtmf_rx_init(
        nullptr, [](void* user, const char* d, int n) { static_cast<std::string*>(user)->append(d, static_cast<std::size_t>(n)); },
        &digits);
    dtmf_rx(rx, samples.data(), static_cast<int>(samples.size()));
    dtmf_rx_free(rx);
    return digits;
}

#else

std::vector<int> ConnectTones(int, const std::vector<std::int16_t>&) { return {}; }
std::string SpandspDtmf(const std::vector<std::int16_t>&) { return {}; }
constexpr int MODEM_CONNECT_TONES_FAX_CNG = 1, MODEM_CONNECT_TONES_ANS = 2, MODEM_CONNECT_TONES_ANS_PR = 3,
              MODEM_CONNECT_TONES_ANSAM = 4, MODEM_CONNECT_TONES_ANSAM_PR = 5, MODEM_CONNECT_TONES_BELL_ANS = 8,
              MODEM_CONNECT_TONES_CALLING_TONE = 9;

#endif

// The receiver types asked, and the tone each of them reports for a signal (0: none).
struct Expected {
    const char* name;
    std::function<void(CVarnel&)> requests;
    int fax;      // a MODEM_CONNECT_TONES_FAX_CNG receiver
    int answer;   // a MODEM_CONNECT_TONES_ANS receiver: ANS, ANS/PR, ANSam or ANSam/PR
};

TEST(ToneDecode, SpandspRecognisesEachModemToneAndNoOther) {
    VARNEL_REQUIRE_SPANDSP();
    const auto modem = [](std::int32_t kind, std::int32_t ms) {
        return [=](CVarnel& e) { ASSERT_EQ(e.GenerateModemTone(kind, ms, nullptr), S_OK); };
    };
    const Expected cases[] = {
        {"cng", modem(MT_CNG, 7000), MODEM_CONNECT_TONES_FAX_CNG, 0},
        {"ans", modem(MT_ANS, 3300), 0, MODEM_CONNECT_TONES_ANS},
        {"ans-pr", modem(MT_ANS_PR, 3300), 0, MODEM_CONNECT_TONES_ANS_PR},
        {"ansam", modem(MT_ANSAM, 3300), 0, MODEM_CONNECT_TONES_ANSAM},
        {"ansam-pr", modem(MT_ANSAM_PR, 3300), 0, MODEM_CONNECT_TONES_ANSAM_PR},
        {"dial", [](CVarnel& e) { ASSERT_EQ(e.GenerateTonePlan(u"uk", u"dial", 5000, nullptr), S_OK); }, 0, 0},
        {"ringback", [](CVarnel& e) { ASSERT_EQ(e.GenerateTonePlan(u"us", u"ringback", 7000, nullptr), S_OK); }, 0, 0},
        {"sit", [](CVarnel& e) { ASSERT_EQ(e.GenerateSIT(u"itu", nullptr), S_OK); }, 0, 0},
        {"dtmf", [](CVarnel& e) { ASSERT_EQ(e.GenerateDTMFs(u"0123456789", nullptr), S_OK); }, 0, 0},
        {"short-2100", [](CVarnel& e) { ASSERT_EQ(e.GeneratePattern(u"2100/200,0/800", 3000, nullptr), S_OK); }, 0, 0},
    };
    for (const std::int32_t encoding : {ENC_PCM, ENC_ALaw, ENC_MuLaw}) {
        for (const float amplitude : {-6.0f, -15.14f}) {  // about -3 and -12 dBm0
            for (const Expected& c : cases) {
                SCOPED_TRACE(std::string(c.name) + " encoding " + std::to_string(encoding) + " at " + std::to_string(amplitude) + " dB");
                const std::vector<std::int16_t> samples = Render(8000, encoding, [&](CVarnel& e) {
                    e.set_Amplitude(amplitude);
                    c.requests(e);
                    e.GenerateSilence(500.0f, nullptr);
                });
                const std::vector<int> fax = ConnectTones(MODEM_CONNECT_TONES_FAX_CNG, samples);
                const std::vector<int> answer = ConnectTones(MODEM_CONNECT_TONES_ANS, samples);
                EXPECT_EQ(std::set<int>(fax.begin(), fax.end()), c.fax ? std::set<int>{c.fax} : std::set<int>{});
                EXPECT_EQ(std::set<int>(answer.begin(), answer.end()), c.answer ? std::set<int>{c.answer} : std::set<int>{});
                EXPECT_EQ(ConnectTones(MODEM_CONNECT_TONES_BELL_ANS, samples), std::vector<int>{});
                EXPECT_EQ(ConnectTones(MODEM_CONNECT_TONES_CALLING_TONE, samples), std::vector<int>{});
            }
        }
    }
}

// spandsp documents its receiver: "Normal twist <= 8dB accepted, Reverse twist <= 4dB
// accepted", normal twist being the low group above the high group, reverse the high group
// above the low: DTMF_Twist -8 to +4 dB.
TEST(ToneDecode, SpandspDtmfAcceptsTwistWithinItsDocumentedLimits) {
    VARNEL_REQUIRE_SPANDSP();
    struct Case {
        float twist;
        bool accepted;
    };
    const Case cases[] = {{-10.0f, false}, {-8.5f, false}, {-7.5f, true}, {-4.0f, true}, {0.0f, true},
                          {2.0f, true},    {3.5f, true},   {4.5f, false}, {6.0f, false}};
    for (const std::int32_t encoding : {ENC_PCM, ENC_ALaw}) {
        for (const Case& c : cases) {
            const std::vector<std::int16_t> samples = Render(8000, encoding, [&](CVarnel& e) {
                e.set_Amplitude(-10.0f);
                ASSERT_EQ(e.set_DTMF_Twist(c.twist), S_OK);
                ASSERT_EQ(e.GenerateDTMFs(u"159D*#", nullptr), S_OK);
            });
            EXPECT_EQ(SpandspDtmf(samples), c.accepted ? "159D*#" : "") << "twist " << c.twist << " encoding " << encoding;
        }
    }
}

// multimon-ng documents no twist limit; a receiver must hear keys within +-4 dB, and it does.
TEST(ToneDecode, MultimonHearsDtmfWithTwistUpToFourDecibels) {
    VARNEL_REQUIRE_TOOL("multimon-ng");
    ScratchDir dir;
    ASSERT_FALSE(dir.path().empty());
    for (const float twist : {-4.0f, -2.0f, 0.0f, 1.5f, 4.0f}) {
        const std::vector<std::int16_t> samples = Render(22050, ENC_PCM, [&](CVarnel& e) {
            e.set_Amplitude(-10.0f);
            ASSERT_EQ(e.set_DTMF_Twist(twist), S_OK);
            ASSERT_EQ(e.GenerateDTMFs(u"159D*#", nullptr), S_OK);
        });
        const std::string path = (dir.path() / "dtmf.raw").string();
        {
            std::FILE* f = std::fopen(path.c_str(), "wb");
            ASSERT_NE(f, nullptr);
            std::fwrite(samples.data(), sizeof(std::int16_t), samples.size(), f);
            std::fclose(f);
        }
        std::string output;
        RunShell("multimon-ng -q -a DTMF -t raw " + Quote(path), output);
        std::string keys;
        for (std::size_t at = output.find("DTMF: "); at != std::string::npos; at = output.find("DTMF: ", at + 1)) {
            if (at + 6 < output.size()) keys += output[at + 6];
        }
        EXPECT_EQ(keys, "159D*#") << "twist " << twist << "\n" << output;
    }
}

}  // namespace
