// The signalling requests of the engine: CID_Standard and CID_Alert, GenerateCallerIDEx,
// GenerateVMWI, GenerateMF and GenerateR2MF: refusals with their codes and texts (nothing
// queued), log labels, lengths known before rendering.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/EngineHarness.h"
#include "varnel/engine/ErrorTexts.h"

namespace {

using namespace varnel_test;
using Bytes = std::vector<std::uint8_t>;
using Call = std::function<HRESULT(CVarnel&, std::int32_t*)>;
using Tweak = std::function<void(CVarnel&)>;

Tweak Use(std::int32_t standard, std::int32_t alert = CA_None, std::int32_t format = CID_MDMF) {
    return [=](CVarnel& e) {
        e.set_CID_Standard(standard);
        e.set_CID_Alert(alert);
        e.set_CID_Format(format);
    };
}

Call CallerId(const char16_t* number, const char16_t* name, const char16_t* date) {
    return [=](CVarnel& e, std::int32_t* id) { return e.GenerateCallerID(number, name, date, id); };
}
Call CallerIdEx(const char16_t* number, const char16_t* name, const char16_t* date, std::int32_t numberAbsence,
                std::int32_t nameAbsence) {
    return [=](CVarnel& e, std::int32_t* id) {
        return e.GenerateCallerIDEx(number, name, date, numberAbsence, nameAbsence, id);
    };
}
Call Vmwi(std::int32_t active) {
    return [=](CVarnel& e, std::int32_t* id) { return e.GenerateVMWI(active, id); };
}
Call Mf(const char16_t* keys) {
    return [=](CVarnel& e, std::int32_t* id) { return e.GenerateMF(keys, id); };
}
Call R2(const char16_t* signals, std::int32_t backward) {
    return [=](CVarnel& e, std::int32_t* id) { return e.GenerateR2MF(signals, backward, id); };
}

struct RefusalCase {
    const char* name;
    bool generating;
    Tweak tweak;
    Call call;
    HRESULT code;
    std::string text;
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class SignallingRefusal : public ::testing::TestWithParam<RefusalCase> {};

// A refused request leaves its code and text, queues nothing and keeps the next request ID.
TEST_P(SignallingRefusal, SaysWhyAndQueuesNothing) {
    const RefusalCase& c = GetParam();
    CVarnel engine;
    std::int32_t id = -77;
    if (c.generating) {
        ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
        ASSERT_EQ(engine.GenerateSilence(10, &id), S_OK);
    }
    c.tweak(engine);
    id = -77;
    EXPECT_EQ(c.call(engine, &id), c.code);
    EXPECT_EQ(engine.GetErrMsg(), c.text);
    EXPECT_EQ(id, -77);
    if (!c.generating) return;
    EXPECT_EQ(engine.QueuedBytes(), 2 * 110);  // only the silence
    ASSERT_EQ(engine.GenerateSilence(10, &id), S_OK);
    EXPECT_EQ(id, 1);
}

const std::string kNotGenerating = ErrorText::kNotGenerating;
const Tweak kBell = Use(CS_Bell202);

INSTANTIATE_TEST_SUITE_P(
    Catalogue, SignallingRefusal,
    ::testing::Values(
        RefusalCase{"CallerIdExIdle", false, kBell, CallerIdEx(u"1", nullptr, nullptr, 0, 0), E_FAIL, kNotGenerating},
        RefusalCase{"VmwiIdle", false, kBell, Vmwi(1), E_FAIL, kNotGenerating},
        RefusalCase{"MfIdle", false, kBell, Mf(u"K1S"), E_FAIL, kNotGenerating},
        RefusalCase{"R2Idle", false, kBell, R2(u"1", 0), E_FAIL, kNotGenerating},
        RefusalCase{"BellDtas", true, Use(CS_Bell202, CA_DTAS), CallerId(u"555", nullptr, nullptr), E_INVALIDARG,
                    "Bell 202 on-hook Caller-ID has no dual-tone alert: use CA_None, or CA_OffHook for call waiting."},
        RefusalCase{"NttCallWaiting", true, Use(CS_NTT, CA_OffHook), CallerId(u"555", nullptr, nullptr), E_INVALIDARG,
                    "NTT Caller-ID defines no alerting signal or call waiting: use CA_None."},
        RefusalCase{"DtmfDtasVmwi", true, Use(CS_DTMF, CA_DTAS), Vmwi(1), E_INVALIDARG,
                    "DTMF Caller-ID defines no alerting signal or call waiting: use CA_None."},
        // GenerateCallerID keeps its one text for Bell 202; the other standards say why.
        RefusalCase{"BellLegacyText", true, Use(CS_Bell202, CA_None, CID_SDMF), CallerId(u"", nullptr, nullptr),
                    E_INVALIDARG, ErrorText::kCallerIdParameters},
        RefusalCase{"BellExSaysWhy", true, Use(CS_Bell202, CA_None, CID_SDMF), CallerIdEx(u"", nullptr, nullptr, 0, 0),
                    E_INVALIDARG, "Caller-ID number is empty."},
        RefusalCase{"EtsiNumberTooLong", true, Use(CS_ETSI), CallerId(u"012345678901234567890", nullptr, nullptr),
                    E_INVALIDARG, "Caller-ID number too long for ETSI: at most 20 characters."},
        RefusalCase{"BtNameTooLong", true, Use(CS_BT), CallerId(u"1", u"ABCDEFGHIJKLMNOPQRSTU", nullptr), E_INVALIDARG,
                    "Caller-ID name too long for BT: at most 20 characters."},
        RefusalCase{"EtsiBadDate", true, Use(CS_ETSI), CallerId(u"1", nullptr, u"02/30 25:00"), E_INVALIDARG,
                    "Caller-ID date must be MM/DD HH:MM with a real month, day, hour and minute."},
        RefusalCase{"EtsiSdmf", true, Use(CS_ETSI, CA_None, CID_SDMF), CallerId(u"1", nullptr, nullptr), E_INVALIDARG,
                    "ETSI Caller-ID has no SDMF layout: use MDMF or raw."},
        RefusalCase{"EtsiFormatUnknown", true, Use(CS_ETSI, CA_None, 9), CallerId(u"1", nullptr, nullptr), E_INVALIDARG,
                    ErrorText::kCidFormatUnknown},
        RefusalCase{"DtmfLetters", true, Use(CS_DTMF), CallerId(u"555-1234", nullptr, nullptr), E_INVALIDARG,
                    "DTMF Caller-ID numbers are digits only."},
        RefusalCase{"NttName", true, Use(CS_NTT), CallerId(u"0312345678", u"TARO", nullptr), E_INVALIDARG,
                    "NTT Caller-ID carries no name."},
        RefusalCase{"AbsenceUnknown", true, Use(CS_ETSI), CallerIdEx(u"1", nullptr, nullptr, 'X', 0), E_INVALIDARG,
                    ErrorText::kAbsence},
        RefusalCase{"AbsenceWide", true, Use(CS_ETSI), CallerIdEx(u"1", nullptr, nullptr, 0, 0x100 + 'P'),
                    E_INVALIDARG, ErrorText::kAbsence},
        RefusalCase{"VmwiNtt", true, Use(CS_NTT), Vmwi(1), E_INVALIDARG,
                    "Message waiting is not defined for NTT Caller-ID."},
        RefusalCase{"VmwiBellRaw", true, Use(CS_Bell202, CA_None, CID_RAW), Vmwi(0), E_INVALIDARG,
                    "Message waiting has no raw layout: use SDMF or MDMF."},
        RefusalCase{"MfEmpty", true, kBell, Mf(u""), E_INVALIDARG, ErrorText::kSignalsEmpty},
        RefusalCase{"MfNull", true, kBell, Mf(nullptr), E_INVALIDARG, ErrorText::kSignalsEmpty},
        RefusalCase{"MfUnknownKey", true, kBell, Mf(u"K12D"), E_INVALIDARG,
                    "MF (R1) signals are 0-9, KP (* or K), ST (# or S), A, B and C only."},
        RefusalCase{"R2UnknownSignal", true, kBell, R2(u"12A", 1), E_INVALIDARG,
                    "R2 signals are 1-9, 0 and B-F only."}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST(SignallingSettings, DefaultsWordsAndRefusals) {
    CVarnel engine;
    std::int32_t value = -1;
    EXPECT_EQ(engine.get_CID_Standard(&value), S_OK);
    EXPECT_EQ(value, CS_Bell202);
    EXPECT_EQ(engine.get_CID_Alert(&value), S_OK);
    EXPECT_EQ(value, CA_None);
    EXPECT_EQ(engine.get_CID_Standard(nullptr), E_INVALIDARG);
    for (const std::int32_t v : {CS_ETSI, CS_BT, CS_NTT, CS_DTMF, CS_Bell202}) EXPECT_EQ(engine.set_CID_Standard(v), S_OK);
    EXPECT_EQ(engine.set_CID_Standard(5), E_INVALIDARG);
    EXPECT_EQ(engine.GetErrMsg(), ErrorText::kCidStandard);
    EXPECT_EQ(engine.set_CID_Alert(-1), E_INVALIDARG);
    EXPECT_EQ(engine.GetErrMsg(), ErrorText::kCidAlert);
    EXPECT_EQ(engine.set_CID_Alert(CA_OffHook), S_OK);
    EXPECT_EQ(engine.get_CID_Alert(&value), S_OK);
    EXPECT_EQ(value, CA_OffHook);
    EXPECT_EQ(engine.get_CID_Standard(&value), S_OK);
    EXPECT_EQ(value, CS_Bell202);  // a refused value leaves the setting
}

// Every new request logs its kind, knows its length before rendering and renders that many
// bytes, in PCM and in G.711.
TEST(SignallingRequests, LabelsAndLengths) {
    const struct {
        Tweak tweak;
        Call call;
        const char* label;
    } cases[] = {
        {Use(CS_Bell202), CallerId(u"555", nullptr, u"01/02 03:04"), "Caller-ID"},
        {Use(CS_Bell202, CA_OffHook), CallerId(u"555", nullptr, u"01/02 03:04"), "Caller-ID (Bell 202, call waiting)"},
        {Use(CS_ETSI, CA_DTAS), CallerIdEx(nullptr, nullptr, nullptr, 'P', 'P'), "Caller-ID (ETSI, DT-AS)"},
        {Use(CS_BT), CallerId(u"01632960000", nullptr, nullptr), "Caller-ID (BT)"},
        {Use(CS_NTT), CallerId(u"0312345678", nullptr, nullptr), "Caller-ID (NTT)"},
        {Use(CS_DTMF), CallerIdEx(nullptr, nullptr, nullptr, 'O', 0), "Caller-ID (DTMF)"},
        {Use(CS_Bell202, CA_None, CID_SDMF), Vmwi(1), "Message waiting on"},
        {Use(CS_ETSI, CA_OffHook), Vmwi(0), "Message waiting off (ETSI, call waiting)"},
        {kBell, Mf(u"K123S"), "MF (R1)"},
        {kBell, R2(u"1B", 0), "R2 MF forward"},
        {kBell, R2(u"1B", 1), "R2 MF backward"},
    };
    for (const std::int32_t encoding : {ENC_PCM, ENC_MuLaw}) {
        for (const auto& c : cases) {
            CVarnel engine;
            Recorder recorder;
            recorder.Attach(engine);
            ASSERT_EQ(engine.set_Encoding(encoding), S_OK);
            ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
            c.tweak(engine);
            std::int32_t id = -1;
            ASSERT_EQ(c.call(engine, &id), S_OK) << c.label << ": " << engine.GetErrMsg();
            EXPECT_EQ(id, 0);
            EXPECT_EQ(recorder.LastMessage(),
                      std::string("Added request to generation queue, type: ") + c.label + ", request ID:0");
            const std::int64_t queued = engine.QueuedBytes();
            EXPECT_GT(queued, 0) << c.label;
            EXPECT_EQ(static_cast<std::int64_t>(PullAll(engine, 8192).size()), queued) << c.label;
        }
    }
}

// GenerateCallerID and GenerateCallerIDEx without absence send the same bytes.
TEST(SignallingRequests, CallerIdExWithoutAbsenceIsCallerId) {
    for (const std::int32_t standard : {CS_Bell202, CS_ETSI, CS_BT}) {
        Bytes rendered[2];
        for (int ex = 0; ex < 2; ++ex) {
            CVarnel engine;
            ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
            ASSERT_EQ(engine.set_CID_Standard(standard), S_OK);
            const HRESULT hr = ex ? engine.GenerateCallerIDEx(u"5551234", u"ANNA", u"01/02 03:04", 0, 0, nullptr)
                                  : engine.GenerateCallerID(u"5551234", u"ANNA", u"01/02 03:04", nullptr);
            ASSERT_EQ(hr, S_OK) << engine.GetErrMsg();
            rendered[ex] = PullAll(engine, 8192);
        }
        EXPECT_EQ(rendered[0], rendered[1]) << standard;
        EXPECT_FALSE(rendered[0].empty());
    }
}

}  // namespace
