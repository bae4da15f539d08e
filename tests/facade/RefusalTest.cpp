#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "support/TestDestination.h"
#include "support/WaveFiles.h"
#include "varnel/facade/Refusals.h"

namespace {

using namespace varnel_test;

// What a call threw: the exception's class, its HRESULT and its text.
struct Outcome {
    std::string type;
    HRESULT hr;
    std::string text;
    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
    return out << o.type << " 0x" << std::hex << static_cast<std::uint32_t>(o.hr) << std::dec << " \"" << o.text << '"';
}

Outcome OutcomeOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const ArgumentException& e) {
        return {"ArgumentException", e.HResult(), e.what()};
    } catch (const COMException& e) {
        return {"COMException", e.HResult(), e.what()};
    }
    return {"nothing", S_OK, ""};
}

Outcome Argument(std::string text) { return {"ArgumentException", E_INVALIDARG, std::move(text)}; }
Outcome Com(std::string text) { return {"COMException", E_FAIL, std::move(text)}; }

const std::string kNotGenerating = "Not in generate state, Please call GenerateBegin() method first.";
const std::string kWaveFile = "Unable to create or write this wave file.";
const std::string kSampleRate = "Sample rate out of range: it must be from 1 to 16777216 Hz.";
const std::string kSignalsEmpty = "Signals parameter is empty!";
const std::string kFormatFixed = "The format cannot change during a file generation: call GenerateEnd first.";
// Left in the engine's store before every call below, so that a call that showed the stored
// text instead of its own reason would be caught.
const std::string kEarlierFailure = "Duration parameter must bigger than zero.";

struct RefusedCall {
    const char* operation;
    bool generating;  // a buffer-stream generation runs when the call is made
    std::function<void(Varnel&)> call;
    Outcome expected;
};

TEST(RefusalTest, EveryRefusalCarriesTheReasonForThisCall) {
    std::vector<std::uint8_t> buffer(1000);
    const std::uint8_t letter[] = {'A'};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<RefusedCall> refusals = {
        {"BitsPerSample(12)", false, [](Varnel& v) { v.BitsPerSample(12); }, Argument("BitsPerSample must be 8 or 16.")},
        {"TTY_Mode(9)", false, [](Varnel& v) { v.TTY_Mode(static_cast<TTY_MODE>(9)); }, Argument("TTY_Mode must be from 0 to 4.")},
        {"TTY_Mode(-1)", false, [](Varnel& v) { v.TTY_Mode(static_cast<TTY_MODE>(-1)); }, Argument("TTY_Mode must be from 0 to 4.")},
        {"CID_BitTiming(2)", false, [](Varnel& v) { v.CID_BitTiming(static_cast<CID_BIT_TIMING>(2)); },
         Argument("CID_BitTiming must be 0 (whole) or 1 (exact).")},
        {"TTY_FigsAfterSpace(2)", false, [](Varnel& v) { v.TTY_FigsAfterSpace(2); }, Argument("TTY_FigsAfterSpace must be 0 or 1.")},
        {"Amplitude(NaN)", false, [&](Varnel& v) { v.Amplitude(nan); }, Argument("Amplitude parameter is not a number.")},
        {"SampleRate(0)", false, [](Varnel& v) { v.SampleRate(0); }, Argument(kSampleRate)},
        {"Encoding(3)", false, [](Varnel& v) { v.Encoding(static_cast<ENCODING_TYPE>(3)); },
         Argument("Encoding out of range: it must be ENC_PCM (0), ENC_MuLaw (1) or ENC_ALaw (2).")},
        {"Set(BitsPerSample row, 24)", false, [](Varnel& v) { v.Set(SettingsCatalog::kBitsPerSample, {.integer = 24}); },
         Argument("BitsPerSample must be 8 or 16.")},
        {"Set(a row without a setter)", false, [](Varnel& v) { v.Set(SettingSpec{}, {}); },
         Argument("This setting cannot be set: the engine has no setter for it.")},
        {"Get(a row without a getter)", false, [](Varnel& v) { v.Get(SettingSpec{}); },
         Argument("This setting cannot be read: the engine has no getter for it.")},
        {"BitsPerSample(8) during a file generation", false,
         [](Varnel& v) { v.GenerateBegin("/dev/null"); v.BitsPerSample(8); }, Com(kFormatFixed)},
        {"Destination(Object)", false, [](Varnel& v) { v.Destination(std::make_shared<Object>()); },
         Argument("Destination must be a Quorvex.SondixNet.SondixControl, not Quorvex.VarnelNet.Object.")},
        {"Destination(control without a window)", false,
         [](Varnel& v) { v.Destination(std::make_shared<TestSondixControl>(std::make_shared<TestDataSource>(PcmFormat(8000, 16), false))); },
         Argument("Version of Sondix.Net too old!")},
        {"GenerateBegin(missing folder)", false, [](Varnel& v) { v.GenerateBegin("/nonexistent-dir/x.wav"); },
         Com(kWaveFile + " (No such file or directory)")},
        {"GenerateEnd() of /dev/full", false, [](Varnel& v) { v.GenerateBegin("/dev/full"); v.GenerateDTMFs("1"); v.GenerateEnd(); },
         Com(kWaveFile + " (No space left on device)")},
        {"GenerateDTMFs idle", false, [](Varnel& v) { v.GenerateDTMFs("1"); }, Com(kNotGenerating)},
        {"GenerateTone idle", false, [](Varnel& v) { v.GenerateTone(10, 0, 440.0f, 0.0f, 0.0f); }, Com(kNotGenerating)},
        {"GenerateSilence idle", false, [](Varnel& v) { v.GenerateSilence(10.0f); }, Com(kNotGenerating)},
        {"GenerateTTY idle", false, [](Varnel& v) { v.GenerateTTY("A"); }, Com(kNotGenerating)},
        {"GenerateCallerID idle", false, [](Varnel& v) { v.GenerateCallerID("5551234", "", ""); }, Com(kNotGenerating)},
        {"CID_Standard(9)", false, [](Varnel& v) { v.CID_Standard(static_cast<CID_STANDARD>(9)); },
         Argument("CID_Standard must be CS_Bell202, CS_ETSI, CS_BT, CS_NTT or CS_DTMF.")},
        {"GenerateMF idle", false, [](Varnel& v) { v.GenerateMF("1"); }, Com(kNotGenerating)},
        {"GenerateVMWI idle", false, [](Varnel& v) { v.GenerateVMWI(true); }, Com(kNotGenerating)},
        {"GenerateCallerID(\"\", absence None) idle", false,
         [](Varnel& v) { v.GenerateCallerID("", "", "", CallerIdAbsence::None, CallerIdAbsence::Private); },
         Argument("Number is empty: GenerateCallerID needs the caller's number, or a NumberAbsence other than None.")},
        {"GenerateMF(\"K0123X\")", true, [](Varnel& v) { v.GenerateMF("K0123X"); },
         Argument("MF (R1) signals are 0-9, KP (* or K), ST (# or S), A, B and C only.")},
        {"GenerateR2MF(\"\")", true, [](Varnel& v) { v.GenerateR2MF("", false); }, Argument(kSignalsEmpty)},
        {"GenerateCallerID(\"\") idle", false, [](Varnel& v) { v.GenerateCallerID("", "", ""); },
         Argument("Number is empty: GenerateCallerID needs the caller's number.")},
        {"GenerateDTMFs(\"\")", true, [](Varnel& v) { v.GenerateDTMFs(""); }, Argument("Invaild parameters.")},
        {"GenerateTone(-1 Hz)", true, [](Varnel& v) { v.GenerateTone(10, 0, -1.0f, 0.0f, 0.0f); },
         Argument("Frequency parameter can't be negative.")},
        {"GenerateSilence(1e30)", true, [](Varnel& v) { v.GenerateSilence(1e30f); },
         Argument("Duration out of range: it must not be negative, and a request renders at most 2147483647 bytes "
                  "(samples in 8-bit PCM and G.711, half as many in 16-bit).")},
        {"GenerateTTY(\"\")", true, [](Varnel& v) { v.GenerateTTY(""); }, Argument("Text parameter is empty!")},
        {"GenerateTTYEx({})", true, [](Varnel& v) { v.GenerateTTYEx({}); },
         Argument("BinaryData is empty: GenerateTTYEx needs at least one byte.")},
        {"SampleRate(1); GenerateTTYEx(\"A\")", true, [&](Varnel& v) { v.SampleRate(1); v.GenerateTTYEx(letter); },
         Argument("Sample rate too low for this signal: one of its bits would have no samples.")},
        {"GenerateCallerID(\"\", \"\", \"\")", true, [](Varnel& v) { v.GenerateCallerID("", "", ""); },
         Argument("Number is empty: GenerateCallerID needs the caller's number.")},
        {"CID_Format(7); GenerateCallerID", true, [](Varnel& v) { v.CID_Format(static_cast<CID_FORMAT>(7)); v.GenerateCallerID("5551234", "", ""); },
         Argument("Invaild parameters, GenerateCallerID() failed")},
        {"FetchWaveStream(buf, -1, 10)", true, [&](Varnel& v) { v.FetchWaveStream(buffer, -1, 10); }, Argument("Offset must not be negative.")},
        {"FetchWaveStream(buf, 0, -1)", true, [&](Varnel& v) { v.FetchWaveStream(buffer, 0, -1); }, Argument("Count must not be negative.")},
        {"FetchWaveStream(buf, 1001, 0)", true, [&](Varnel& v) { v.FetchWaveStream(buffer, 1001, 0); },
         Argument("Offset is beyond the end of AudioData.")},
        {"FetchWaveStream(buf, 500, 501)", true, [&](Varnel& v) { v.FetchWaveStream(buffer, 500, 501); },
         Argument("Offset + Count is beyond the end of AudioData.")},
        {"Dispose(); BitsPerSample(16)", true, [](Varnel& v) { v.Dispose(); v.BitsPerSample(16); },
         Com("This Varnel component has been disposed: its engine is released.")},
        {"Dispose(); FetchWaveStream(buf)", true, [&](Varnel& v) { v.Dispose(); v.FetchWaveStream(buffer); },
         Com("This Varnel component has been disposed: its engine is released.")},
    };
    for (const RefusedCall& r : refusals) {
        Varnel v;
        v.GenerateBegin();
        ASSERT_EQ(OutcomeOf([&] { v.GenerateSilence(-1.0f); }), Argument(kEarlierFailure));
        if (!r.generating) v.GenerateEnd();
        EXPECT_EQ(OutcomeOf([&] { r.call(v); }), r.expected) << r.operation;
    }
}

// The reason a setting gets when the engine refuses it without a text: the values its catalog
// row admits.
TEST(RefusalTest, ASettingsReasonNamesTheValuesItsRowAdmits) {
    const std::pair<const SettingSpec*, std::string> reasons[] = {
        {&SettingsCatalog::kBitsPerSample, "BitsPerSample must be 8 or 16."},
        {&SettingsCatalog::kTtyMode, "TTY_Mode must be from 0 to 4."},
        {&SettingsCatalog::kCidBitTiming, "CID_BitTiming must be 0 (whole) or 1 (exact)."},
        {&SettingsCatalog::kTtyFigsAfterSpace, "TTY_FigsAfterSpace must be 0 or 1."},
        {&SettingsCatalog::kDtmfTwist, "DTMF_Twist must be from -20 to 20."},
        {&SettingsCatalog::kAmplitude, "Amplitude must be a number."},
        {&SettingsCatalog::kCidFormat, "CID_Format refused this value."},
    };
    for (const auto& [setting, reason] : reasons) EXPECT_EQ(Refusal::ForSetting(*setting), reason);
    EXPECT_EQ(Refusal::ForSetting(SettingSpec{}), "This setting cannot be set: the engine has no setter for it.");
}

}  // namespace
