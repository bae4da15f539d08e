// Decodes the engine's Caller-ID dialects, message waiting and MF signals with spandsp's
// receivers (adsi_rx in CLASS, CLIP, JCLIP and CLIP-DTMF modes, bell_mf_rx, r2_mf_rx forward
// and backward) after sox converts the file to 8 kHz, and reads the V.23 characters with
// minimodem, at every sample rate in 8 and 16 bits.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#if VARNEL_HAVE_SPANDSP
#include <spandsp.h>
#endif

#include "support/EngineHarness.h"
#include "support/Shell.h"

namespace {

using namespace varnel_test;

enum class Receiver { Class, Clip, Jclip, ClipDtmf, BellMf, R2Forward, R2Backward, MinimodemV23 };

enum class Request { CallerId, CallerIdAbsent, VmwiOn, VmwiOff, Mf, R2Forward, R2Backward };

struct Case {
    const char* name;
    CID_STANDARD standard;
    CID_ALERT alert;
    CID_FORMAT format;
    Request request;
    const char16_t* text;   // number, keys or signals
    const char16_t* name_;  // Caller-ID name
    Receiver receiver;
    std::string expected;   // message octets in hex, or the digits received
};

struct Format {
    std::int32_t rate;
    std::int32_t bits;
    CID_BIT_TIMING timing;
};

using Param = std::tuple<Case, Format>;

const char16_t* const kDate = u"12/25 10:30";
// Message bytes after the type and length: date 12251030, number 0123456789, name JOHN DOE.
const std::string kMdmf =
    "80 20 01 08 31 32 32 35 31 30 33 30 02 0A 30 31 32 33 34 35 36 37 38 39 07 08 4A 4F 48 4E 20 44 4F 45";

const Case kCases[] = {
    {"Bell_Mdmf", CS_Bell202, CA_None, CID_MDMF, Request::CallerId, u"0123456789", u"JOHN DOE", Receiver::Class, kMdmf},
    {"Bell_CallWaitingSdmf", CS_Bell202, CA_OffHook, CID_SDMF, Request::CallerId, u"5551234", nullptr, Receiver::Class,
     "04 0F 31 32 32 35 31 30 33 30 35 35 35 31 32 33 34"},
    {"Bell_VmwiSdmf", CS_Bell202, CA_None, CID_SDMF, Request::VmwiOn, nullptr, nullptr, Receiver::Class, "06 03 42 42 42"},
    {"Bell_VmwiMdmfOff", CS_Bell202, CA_None, CID_MDMF, Request::VmwiOff, nullptr, nullptr, Receiver::Class,
     "82 03 0B 01 00"},
    {"Etsi", CS_ETSI, CA_None, CID_MDMF, Request::CallerId, u"0123456789", u"JOHN DOE", Receiver::Clip, kMdmf},
    {"Etsi_Dtas", CS_ETSI, CA_DTAS, CID_MDMF, Request::CallerId, u"0123456789", u"JOHN DOE", Receiver::Clip, kMdmf},
    {"Etsi_CallWaiting", CS_ETSI, CA_OffHook, CID_MDMF, Request::CallerId, u"0123456789", u"JOHN DOE", Receiver::Clip,
     kMdmf},
    {"Etsi_Absent", CS_ETSI, CA_None, CID_MDMF, Request::CallerIdAbsent, nullptr, nullptr, Receiver::Clip,
     "80 10 01 08 31 32 32 35 31 30 33 30 04 01 4F 08 01 50"},
    {"Etsi_Vmwi", CS_ETSI, CA_DTAS, CID_MDMF, Request::VmwiOn, nullptr, nullptr, Receiver::Clip, "82 03 0B 01 FF"},
    {"Bt", CS_BT, CA_None, CID_MDMF, Request::CallerId, u"0123456789", u"JOHN DOE", Receiver::Clip, kMdmf},
    {"Bt_CallWaiting", CS_BT, CA_OffHook, CID_MDMF, Request::CallerId, u"0123456789", u"JOHN DOE", Receiver::Clip, kMdmf},
    // JCLIP: the frame with its parity bits stripped and without the CRC, which it checks.
    {"Ntt", CS_NTT, CA_None, CID_MDMF, Request::CallerId, u"0123456789", nullptr, Receiver::Jclip,
     "10 01 07 10 02 40 0C 02 0A 30 31 32 33 34 35 36 37 38 39 10 03"},
    {"Ntt_Private", CS_NTT, CA_None, CID_MDMF, Request::CallerIdAbsent, nullptr, nullptr, Receiver::Jclip,
     "10 01 07 10 02 40 03 04 01 50 10 03"},
    {"Dtmf", CS_DTMF, CA_None, CID_MDMF, Request::CallerId, u"0123456789", nullptr, Receiver::ClipDtmf, "A0123456789C"},
    {"Dtmf_Unavailable", CS_DTMF, CA_None, CID_MDMF, Request::CallerIdAbsent, nullptr, nullptr, Receiver::ClipDtmf,
     "B00C"},
    {"MfR1", CS_Bell202, CA_None, CID_MDMF, Request::Mf, u"K0123456789SABC", nullptr, Receiver::BellMf,
     "*0123456789#ABC"},
    {"R2Forward", CS_Bell202, CA_None, CID_MDMF, Request::R2Forward, u"1234567890BCDEF", nullptr, Receiver::R2Forward,
     "1234567890BCDEF"},
    {"R2Backward", CS_Bell202, CA_None, CID_MDMF, Request::R2Backward, u"1234567890BCDEF", nullptr, Receiver::R2Backward,
     "1234567890BCDEF"},
    // Requests back to back (one per word): each ends with its gap, so repeated signals stay two.
    {"MfR1_Requests", CS_Bell202, CA_None, CID_MDMF, Request::Mf, u"K1 1S", nullptr, Receiver::BellMf, "*11#"},
    {"R2Forward_Requests", CS_Bell202, CA_None, CID_MDMF, Request::R2Forward, u"1 1 2", nullptr, Receiver::R2Forward,
     "112"},
    // minimodem reads the V.23 octets as they are sent: ETSI's checksum and zero byte after the
    // message, NTT's frame with parity bits and CRC.
    {"Etsi_Minimodem", CS_ETSI, CA_None, CID_MDMF, Request::CallerId, u"0123456789", u"JOHN DOE", Receiver::MinimodemV23,
     kMdmf + " 7A 00"},
    {"Ntt_Minimodem", CS_NTT, CA_None, CID_MDMF, Request::CallerId, u"0123456789", nullptr, Receiver::MinimodemV23,
     "90 81 87 90 82 C0 0C 82 0A 30 B1 B2 33 B4 35 36 B7 B8 39 90 03 00 B1"},
};

std::string Hex(const std::uint8_t* bytes, std::size_t n) {
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < n; ++i) {
        if (!text.empty()) text += ' ';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

#if VARNEL_HAVE_SPANDSP
struct Received {
    std::vector<std::string> items;
};

void OnMessage(void* user, const std::uint8_t* msg, int len) {
    static_cast<Received*>(user)->items.push_back(Hex(msg, static_cast<std::size_t>(len)));
}

void OnDtmfMessage(void* user, const std::uint8_t* msg, int len) {
    static_cast<Received*>(user)->items.emplace_back(reinterpret_cast<const char*>(msg), static_cast<std::size_t>(len));
}

void OnDigits(void* user, const char* digits, int len) {
    auto* r = static_cast<Received*>(user);
    if (r->items.empty()) r->items.emplace_back();
    r->items[0].append(digits, static_cast<std::size_t>(len));
}

void OnR2(void* user, int code, int, int) {
    auto* r = static_cast<Received*>(user);
    if (code == 0) return;  // the end of a signal
    if (r->items.empty()) r->items.emplace_back();
    r->items[0] += static_cast<char>(code);
}

// What spandsp's receiver makes of 8 kHz 16-bit samples, fed in 160-sample blocks.
std::vector<std::string> Spandsp(Receiver receiver, const std::vector<std::int16_t>& samples) {
    Received received;
    const auto feed = [&](auto&& rx) {
        for (std::size_t at = 0; at < samples.size(); at += 160) {
            rx(samples.data() + at, static_cast<int>(std::min<std::size_t>(160, samples.size() - at)));
        }
    };
    switch (receiver) {
        case Receiver::Class:
        case Receiver::Clip:
        case Receiver::Jclip:
        case Receiver::ClipDtmf: {
            const int standard = receiver == Receiver::Class  ? ADSI_STANDARD_CLASS
                                 : receiver == Receiver::Clip ? ADSI_STANDARD_CLIP
                                 : receiver == Receiver::Jclip ? ADSI_STANDARD_JCLIP
                                                               : ADSI_STANDARD_CLIP_DTMF;
            adsi_rx_state_t* rx = adsi_rx_init(nullptr, standard,
                                               receiver == Receiver::ClipDtmf ? OnDtmfMessage : OnMessage, &received);
            feed([&](const std::int16_t* a, int n) { adsi_rx(rx, a, n); });
            adsi_rx_free(rx);
            break;
        }
        case Receiver::BellMf: {
            bell_mf_rx_state_t* rx = bell_mf_rx_init(nullptr, OnDigits, &received);
            feed([&](const std::int16_t* a, int n) { bell_mf_rx(rx, a, n); });
            bell_mf_rx_free(rx);
            break;
        }
        case Receiver::R2Forward:
        case Receiver::R2Backward: {
            r2_mf_rx_state_t* rx = r2_mf_rx_init(nullptr, receiver == Receiver::R2Forward, OnR2, &received);
            feed([&](const std::int16_t* a, int n) { r2_mf_rx(rx, a, n); });
            r2_mf_rx_free(rx);
            break;
        }
        case Receiver::MinimodemV23: break;
    }
    return received.items;
}
#else
std::vector<std::string> Spandsp(Receiver, const std::vector<std::int16_t>&) { return {}; }
#endif

// Rate and bits; the suite's name (Exact or Whole) gives the bit timing.
std::string FormatName(const Format& f) { return std::to_string(f.rate) + "_" + std::to_string(f.bits); }

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
void PrintTo(const Format& f, std::ostream* os) { *os << FormatName(f); }

class SignallingDecode : public ::testing::TestWithParam<Param> {
protected:
    void SetUp() override {
        VARNEL_REQUIRE_SPANDSP();
        for (const char* tool : {"sox", "minimodem"}) VARNEL_REQUIRE_TOOL(tool);
        m_dir = std::make_unique<ScratchDir>();
        ASSERT_FALSE(m_dir->path().empty());
    }

    // A WAV file of the request between 500 ms of silence on either side.
    std::string Render(const Case& c, const Format& f) {
        const std::string path = (m_dir->path() / "signal.wav").string();
        CVarnel engine;
        EXPECT_EQ(engine.set_SampleRate(f.rate), S_OK);
        EXPECT_EQ(engine.set_BitsPerSample(f.bits), S_OK);
        EXPECT_EQ(engine.set_CID_Standard(c.standard), S_OK);
        EXPECT_EQ(engine.set_CID_Alert(c.alert), S_OK);
        EXPECT_EQ(engine.set_CID_Format(c.format), S_OK);
        EXPECT_EQ(engine.set_CID_BitTiming(f.timing), S_OK);
        const std::u16string wide(path.begin(), path.end());
        EXPECT_EQ(engine.GenerateBegin(wide.c_str()), S_OK) << engine.GetErrMsg();
        EXPECT_EQ(engine.GenerateSilence(500.0f, nullptr), S_OK);
        HRESULT hr = E_FAIL;
        // NTT and DTMF Caller-ID carry no date.
        const char16_t* date = c.standard == CS_NTT || c.standard == CS_DTMF ? nullptr : kDate;
        switch (c.request) {
            case Request::CallerId: hr = engine.GenerateCallerID(c.text, c.name_, date, nullptr); break;
            case Request::CallerIdAbsent:
                hr = engine.GenerateCallerIDEx(nullptr, nullptr, date, c.standard == CS_NTT ? 'P' : 'O',
                                               c.standard == CS_ETSI ? 'P' : 0, nullptr);
                break;
            case Request::VmwiOn: hr = engine.GenerateVMWI(1, nullptr); break;
            case Request::VmwiOff: hr = engine.GenerateVMWI(0, nullptr); break;
            case Request::Mf:
            case Request::R2Forward:
            case Request::R2Backward:
                for (std::u16string words(c.text); !words.empty();) {
                    const std::u16string word = words.substr(0, words.find(u' '));
                    words.erase(0, std::min(words.size(), word.size() + 1));
                    hr = c.request == Request::Mf ? engine.GenerateMF(word.c_str(), nullptr)
                                                  : engine.GenerateR2MF(word.c_str(), c.request == Request::R2Backward, nullptr);
                    if (FAILED(hr)) break;
                }
                break;
        }
        EXPECT_EQ(hr, S_OK) << engine.GetErrMsg();
        EXPECT_EQ(engine.GenerateSilence(500.0f, nullptr), S_OK);
        EXPECT_EQ(engine.GenerateEnd(), S_OK) << engine.GetErrMsg();
        return path;
    }

    std::unique_ptr<ScratchDir> m_dir;
};

TEST_P(SignallingDecode, Reads) {
    const auto& [c, f] = GetParam();
    const std::string path = Render(c, f);
    if (HasFailure()) return;
    std::string output;
    if (c.receiver == Receiver::MinimodemV23) {
        ASSERT_EQ(RunShell("minimodem --rx -q -f " + Quote(path) + " 1200 -M 1300 -S 2100 -8", output), 0) << output;
        const std::string got = Hex(reinterpret_cast<const std::uint8_t*>(output.data()), output.size());
        // ETSI's seizure reads as 'U' characters before the message.
        ASSERT_GE(got.size(), c.expected.size()) << got;
        EXPECT_EQ(got.substr(got.size() - c.expected.size()), c.expected) << got;
        return;
    }
    // No dither: noise in the silences would reach the receivers.
    const std::string raw = (m_dir->path() / "signal.raw").string();
    ASSERT_EQ(RunShell("sox -D " + Quote(path) + " -t raw -r 8000 -e signed -b 16 -c 1 " + Quote(raw), output), 0)
        << output;
    const std::vector<std::uint8_t> bytes = ReadFileBytes(raw);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    const std::vector<std::string> received = Spandsp(c.receiver, samples);
    ASSERT_EQ(received.size(), 1u) << FormatName(f);
    EXPECT_EQ(received[0], c.expected);
}

std::vector<Format> Formats(CID_BIT_TIMING timing) {
    std::vector<Format> formats;
    for (const std::int32_t rate : {8000, 11025, 16000, 22050, 44100, 48000}) {
        for (const std::int32_t bits : {8, 16}) formats.push_back({rate, bits, timing});
    }
    return formats;
}

std::string ParamName(const ::testing::TestParamInfo<Param>& info) {
    return std::string(std::get<0>(info.param).name) + "_" + FormatName(std::get<1>(info.param));
}

// Exact timing: 1200 bit/s on average at every rate.
INSTANTIATE_TEST_SUITE_P(Exact, SignallingDecode,
                         ::testing::Combine(::testing::ValuesIn(kCases), ::testing::ValuesIn(Formats(CBT_Exact))),
                         ParamName);

// Whole samples per bit run 1142.86 bit/s at 8000 Hz, 1225 at 11025 and 22050, 1230.8 at 16000:
// spandsp's FSK receivers keep step at every rate. minimodem loses the V.23 characters at 8000
// Hz (ETSI and NTT) and 11025 Hz (ETSI), so it is left out here.
std::vector<Case> FskCasesForSpandsp() {
    std::vector<Case> cases;
    for (const Case& c : kCases) {
        if (c.receiver == Receiver::Class || c.receiver == Receiver::Clip || c.receiver == Receiver::Jclip) {
            cases.push_back(c);
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Whole, SignallingDecode,
                         ::testing::Combine(::testing::ValuesIn(FskCasesForSpandsp()),
                                            ::testing::ValuesIn(Formats(CBT_WholeSamples))),
                         ParamName);

}  // namespace
