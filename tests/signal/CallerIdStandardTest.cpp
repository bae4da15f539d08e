// Known answers for the Caller-ID dialects, message waiting, the NTT link layer and the MF
// signal tables, byte for byte against the layouts the standards give.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "varnel/platform/LocalTime.h"
#include "varnel/signal/CallerIdStandard.h"
#include "varnel/signal/MfSignals.h"
#include "varnel/signal/NttMessage.h"

using namespace Quorvex::VarnelNet;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Hex(const Bytes& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t b : bytes) {
        if (!text.empty()) text += ' ';
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

std::string Chars(std::string_view text) {
    std::string hex;
    for (const char c : text) hex += Hex({static_cast<std::uint8_t>(c)}) + " ";
    if (!hex.empty()) hex.pop_back();
    return hex;
}

// A fixed clock for the messages that take the local time, restored when the test ends.
struct FixedClock {
    FixedClock() {
        SetLocalTimeSource([] { LocalTime t; t.month = 3; t.day = 7; t.hour = 9; t.minute = 5; return t; });
    }
    ~FixedClock() { SetLocalTimeSource(nullptr); }
};

struct MessageCase {
    const char* name;
    CallerIdStandard standard;
    CallerIdLayout layout;
    CallerIdContent content;
    std::string expected;  // the octets sent after the preamble
};

void PrintTo(const MessageCase& c, std::ostream* os) { *os << c.name; }

CallerIdContent Content(const char* number, const char* name, const char* date, char numberAbsence = 0,
                        char nameAbsence = 0) {
    return {number, name, date, numberAbsence, nameAbsence};
}

// The ETSI call set-up message (type 0x80): length, 0x01 date MMDDHHMM, 0x02 number, 0x07
// name, checksum making the bytes sum to 0, then the zero byte every FSK message ends with.
const MessageCase kMessages[] = {
    {"Etsi_NumberNameDate", CallerIdStandard::Etsi, CallerIdLayout::Mdmf, Content("0123456789", "JOHN DOE", "12/25 10:30"),
     "80 20 01 08 31 32 32 35 31 30 33 30 02 0A 30 31 32 33 34 35 36 37 38 39 07 08 4A 4F 48 4E 20 44 4F 45 7A 00"},
    {"Etsi_LocalTime", CallerIdStandard::Etsi, CallerIdLayout::Mdmf, Content("12", nullptr, ""),
     "80 0E 01 08 30 33 30 37 30 39 30 35 02 02 31 32 6A 00"},
    // Absence reasons replace the fields: 0x04 'O' for the number, 0x08 'P' for the name.
    {"Etsi_Absence", CallerIdStandard::Etsi, CallerIdLayout::Mdmf, Content("ignored", "ignored", "01/02 03:04", 'O', 'P'),
     "80 10 01 08 30 31 30 32 30 33 30 34 04 01 4F 08 01 50 30 00"},
    {"Bt_NumberOnly", CallerIdStandard::Bt, CallerIdLayout::Mdmf, Content("01632960000", "", "01/02 03:04"),
     "80 17 01 08 30 31 30 32 30 33 30 34 02 0B 30 31 36 33 32 39 36 30 30 30 30 9E 00"},
    // The year is not sent: February has a 29th.
    {"Bt_LeapDay", CallerIdStandard::Bt, CallerIdLayout::Mdmf, Content("01632960000", "", "02/29 23:59"),
     "80 17 01 08 30 32 32 39 32 33 35 39 02 0B 30 31 36 33 32 39 36 30 30 30 30 88 00"},
    {"Etsi_Raw", CallerIdStandard::Etsi, CallerIdLayout::Raw, Content("\x80\x03\x02\x01\x39", nullptr, nullptr),
     "80 03 02 01 39 41 00"},
    {"Bell_MdmfAbsence", CallerIdStandard::Bell202, CallerIdLayout::Mdmf, Content("", "", "01/02 03:04", 'P', 'O'),
     "80 10 01 08 30 31 30 32 30 33 30 34 04 01 50 08 01 4F 30 00"},
    // SDMF carries the absence letter as its number.
    {"Bell_SdmfAbsence", CallerIdStandard::Bell202, CallerIdLayout::Sdmf, Content(nullptr, nullptr, "01/02 03:04", 'O'),
     "04 09 30 31 30 32 30 33 30 34 4F 1A 00"},
    // NTT: DLE SOH, header 07, DLE STX, type 40, length, 02 number, DLE ETX, CRC low and high;
    // every character with its even-parity bit (0x10 -> 90, 0x01 -> 81, 0x07 -> 87, ...).
    {"Ntt_Number", CallerIdStandard::Ntt, CallerIdLayout::Mdmf, Content("0123456789", nullptr, nullptr),
     "90 81 87 90 82 C0 0C 82 0A 30 B1 B2 33 B4 35 36 B7 B8 39 90 03 00 B1"},
    {"Ntt_Private", CallerIdStandard::Ntt, CallerIdLayout::Mdmf, Content(nullptr, nullptr, nullptr, 'P'),
     "90 81 87 90 82 C0 03 84 81 50 90 03 1E EE"},
    // A 16-digit number: its length octet is a DLE, sent twice.
    {"Ntt_DleDoubled", CallerIdStandard::Ntt, CallerIdLayout::Mdmf, Content("0312345678901234", nullptr, nullptr),
     "90 81 87 90 82 C0 12 82 90 90 30 33 B1 B2 33 B4 35 36 B7 B8 39 30 B1 B2 33 B4 90 03 1E 2E"},
    {"Dtmf_Number", CallerIdStandard::Dtmf, CallerIdLayout::Mdmf, Content("0123456789", nullptr, nullptr),
     Chars("A0123456789C")},
    {"Dtmf_Unavailable", CallerIdStandard::Dtmf, CallerIdLayout::Mdmf, Content(nullptr, nullptr, nullptr, 'O'),
     Chars("B00C")},
    {"Dtmf_Private", CallerIdStandard::Dtmf, CallerIdLayout::Mdmf, Content("123", nullptr, nullptr, 'P'),
     Chars("B10C")},
    {"Dtmf_RawKeys", CallerIdStandard::Dtmf, CallerIdLayout::Raw, Content("d12#", nullptr, nullptr), Chars("D12#")},
};

class Messages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(Messages, AreSentByteForByte) {
    const FixedClock clock;
    const MessageCase& c = GetParam();
    Bytes out;
    EXPECT_EQ(CallerIdPlan::BuildCallerId(c.standard, c.layout, c.content, out), "");
    EXPECT_EQ(Hex(out), c.expected);
}

INSTANTIATE_TEST_SUITE_P(CallerId, Messages, ::testing::ValuesIn(kMessages),
                         [](const ::testing::TestParamInfo<MessageCase>& info) { return info.param.name; });

TEST(Messages, ChecksummedOnesSumToZero) {
    for (const MessageCase& c : kMessages) {
        if (c.standard == CallerIdStandard::Ntt || c.standard == CallerIdStandard::Dtmf) continue;
        const FixedClock clock;
        Bytes out;
        ASSERT_EQ(CallerIdPlan::BuildCallerId(c.standard, c.layout, c.content, out), "") << c.name;
        unsigned sum = 0;
        for (std::size_t i = 0; i + 1 < out.size(); ++i) sum += out[i];
        EXPECT_EQ(sum % 256, 0u) << c.name;
        EXPECT_EQ(out.back(), 0) << c.name;
    }
}

struct WaitingCase {
    CallerIdStandard standard;
    CallerIdLayout layout;
    bool active;
    const char* expected;
};

TEST(MessageWaiting, BellSdmfAndMdmfEtsiAndBt) {
    const WaitingCase cases[] = {
        {CallerIdStandard::Bell202, CallerIdLayout::Sdmf, true, "06 03 42 42 42 31 00"},
        {CallerIdStandard::Bell202, CallerIdLayout::Sdmf, false, "06 03 6F 6F 6F AA 00"},
        {CallerIdStandard::Bell202, CallerIdLayout::Mdmf, true, "82 03 0B 01 FF 70 00"},
        {CallerIdStandard::Etsi, CallerIdLayout::Mdmf, false, "82 03 0B 01 00 6F 00"},
        {CallerIdStandard::Bt, CallerIdLayout::Mdmf, true, "82 03 0B 01 FF 70 00"},
    };
    for (const WaitingCase& c : cases) {
        Bytes out;
        EXPECT_EQ(CallerIdPlan::BuildMessageWaiting(c.standard, c.layout, c.active, out), "");
        EXPECT_EQ(Hex(out), c.expected) << CallerIdPlan::Name(c.standard) << " " << static_cast<int>(c.layout);
    }
}

struct RefusalCase {
    const char* name;
    CallerIdStandard standard;
    CallerIdLayout layout;
    CallerIdContent content;
    const char* text;
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

const RefusalCase kRefusals[] = {
    {"Etsi_NumberTooLong", CallerIdStandard::Etsi, CallerIdLayout::Mdmf, Content("012345678901234567890", "", ""),
     "Caller-ID number too long for ETSI: at most 20 characters."},
    {"Etsi_NameTooLong", CallerIdStandard::Etsi, CallerIdLayout::Mdmf,
     Content("1", "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXY", ""),
     "Caller-ID name too long for ETSI: at most 50 characters."},
    {"Bt_NumberTooLong", CallerIdStandard::Bt, CallerIdLayout::Mdmf, Content("0123456789012345678", "", ""),
     "Caller-ID number too long for BT: at most 18 characters."},
    {"Bt_NameTooLong", CallerIdStandard::Bt, CallerIdLayout::Mdmf, Content("1", "ABCDEFGHIJKLMNOPQRSTU", ""),
     "Caller-ID name too long for BT: at most 20 characters."},
    {"Etsi_DateNotADate", CallerIdStandard::Etsi, CallerIdLayout::Mdmf, Content("1", "", "13/01 10:00"),
     "Caller-ID date must be MM/DD HH:MM with a real month, day, hour and minute."},
    {"Etsi_DateLetters", CallerIdStandard::Etsi, CallerIdLayout::Mdmf, Content("1", "", "ab/cd ef:gh"),
     "Caller-ID date must be MM/DD HH:MM with a real month, day, hour and minute."},
    {"Bt_DateShape", CallerIdStandard::Bt, CallerIdLayout::Mdmf, Content("1", "", "1/2 3:04"),
     "Caller-ID date must be MM/DD HH:MM with a real month, day, hour and minute."},
    {"Etsi_February30", CallerIdStandard::Etsi, CallerIdLayout::Mdmf, Content("1", "", "02/30 10:00"),
     "Caller-ID date 02/30 is not a real date: month 02 has 29 days."},
    {"Bt_April31", CallerIdStandard::Bt, CallerIdLayout::Mdmf, Content("1", "", "04/31 10:00"),
     "Caller-ID date 04/31 is not a real date: month 04 has 30 days."},
    {"Etsi_Sdmf", CallerIdStandard::Etsi, CallerIdLayout::Sdmf, Content("1", "", ""),
     "ETSI Caller-ID has no SDMF layout: use MDMF or raw."},
    {"Bell_SdmfEmpty", CallerIdStandard::Bell202, CallerIdLayout::Sdmf, Content("", "", ""), "Caller-ID number is empty."},
    {"Bell_SdmfTooLong", CallerIdStandard::Bell202, CallerIdLayout::Sdmf,
     Content("01234567890123456789012345678901234567890", "", ""),
     "Caller-ID number too long for SDMF: at most 40 characters."},
    {"Bell_DateShape", CallerIdStandard::Bell202, CallerIdLayout::Mdmf, Content("1", "", "01-02 03:04"),
     "Caller-ID date must be MM/DD HH:MM."},
    {"BadAbsence", CallerIdStandard::Etsi, CallerIdLayout::Mdmf, Content("1", "", "", 'X'),
     "Caller-ID number absence must be 0, 'O' (unavailable) or 'P' (private)."},
    {"Ntt_Name", CallerIdStandard::Ntt, CallerIdLayout::Mdmf, Content("1", "TARO", ""), "NTT Caller-ID carries no name."},
    {"Ntt_Date", CallerIdStandard::Ntt, CallerIdLayout::Mdmf, Content("1", "", "01/02 03:04"),
     "NTT Caller-ID carries no date and time."},
    {"Ntt_NumberTooLong", CallerIdStandard::Ntt, CallerIdLayout::Mdmf, Content("012345678901234567890", "", ""),
     "Caller-ID number too long for NTT: at most 20 characters."},
    {"Ntt_EightBit", CallerIdStandard::Ntt, CallerIdLayout::Mdmf, Content("12\xE9", "", ""),
     "NTT Caller-ID numbers are printable 7-bit characters only."},
    {"Ntt_RawEightBit", CallerIdStandard::Ntt, CallerIdLayout::Raw, Content("\x40\x01\xFF", "", ""),
     "NTT Caller-ID carries 7-bit characters only."},
    {"Dtmf_Letters", CallerIdStandard::Dtmf, CallerIdLayout::Mdmf, Content("555A123", "", ""),
     "DTMF Caller-ID numbers are digits only."},
    {"Dtmf_Empty", CallerIdStandard::Dtmf, CallerIdLayout::Mdmf, Content("", "", ""), "Caller-ID number is empty."},
    {"Dtmf_Name", CallerIdStandard::Dtmf, CallerIdLayout::Mdmf, Content("1", "", "", 0, 'P'),
     "DTMF Caller-ID carries no name."},
    {"Dtmf_RawKeys", CallerIdStandard::Dtmf, CallerIdLayout::Raw, Content("12E", "", ""),
     "DTMF Caller-ID keys are 0-9, A-D, * and # only."},
};

class Refusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusals, SayWhyAndBuildNothing) {
    const RefusalCase& c = GetParam();
    Bytes out = {1, 2, 3};
    EXPECT_EQ(CallerIdPlan::BuildCallerId(c.standard, c.layout, c.content, out), c.text);
    EXPECT_TRUE(out.empty());
}

INSTANTIATE_TEST_SUITE_P(CallerId, Refusals, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST(MessageWaiting, RefusedWhereTheStandardHasNone) {
    Bytes out;
    EXPECT_EQ(CallerIdPlan::BuildMessageWaiting(CallerIdStandard::Ntt, CallerIdLayout::Mdmf, true, out),
              "Message waiting is not defined for NTT Caller-ID.");
    EXPECT_EQ(CallerIdPlan::BuildMessageWaiting(CallerIdStandard::Dtmf, CallerIdLayout::Mdmf, true, out),
              "Message waiting is not defined for DTMF Caller-ID.");
    EXPECT_EQ(CallerIdPlan::BuildMessageWaiting(CallerIdStandard::Bell202, CallerIdLayout::Raw, true, out),
              "Message waiting has no raw layout: use SDMF or MDMF.");
    EXPECT_EQ(CallerIdPlan::BuildMessageWaiting(CallerIdStandard::Bt, CallerIdLayout::Sdmf, true, out),
              "BT Caller-ID has no SDMF layout: use MDMF or raw.");
    EXPECT_TRUE(out.empty());
}

TEST(Alerts, OnlyWhereTheStandardDefinesThem) {
    using S = CallerIdStandard;
    using A = CallerIdAlert;
    const std::string bellDtas =
        "Bell 202 on-hook Caller-ID has no dual-tone alert: use CA_None, or CA_OffHook for call waiting.";
    const std::string ntt = "NTT Caller-ID defines no alerting signal or call waiting: use CA_None.";
    const std::string dtmf = "DTMF Caller-ID defines no alerting signal or call waiting: use CA_None.";
    const struct {
        S standard;
        A alert;
        std::string refusal;
    } cases[] = {
        {S::Bell202, A::None, ""}, {S::Bell202, A::Dtas, bellDtas}, {S::Bell202, A::OffHook, ""},
        {S::Etsi, A::Dtas, ""},    {S::Etsi, A::OffHook, ""},       {S::Bt, A::Dtas, ""},
        {S::Bt, A::OffHook, ""},   {S::Ntt, A::None, ""},           {S::Ntt, A::Dtas, ntt},
        {S::Ntt, A::OffHook, ntt}, {S::Dtmf, A::Dtas, dtmf},        {S::Dtmf, A::OffHook, dtmf},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CallerIdPlan::CheckAlert(c.standard, c.alert), c.refusal)
            << CallerIdPlan::Name(c.standard) << " " << static_cast<int>(c.alert);
    }
}

// The preambles: seizure and mark bits, and the alerting steps as (Hz, Hz, ms).
TEST(Frames, PreamblesAndAlertsOfEveryStandard) {
    using S = CallerIdStandard;
    using A = CallerIdAlert;
    const struct {
        S standard;
        A alert;
        int seizure;
        int marks;
        std::string alert_;
    } cases[] = {
        {S::Bell202, A::None, 300, 181, ""},
        {S::Bell202, A::OffHook, 0, 80, "440+0/300 2130+2750/80 0+0/250"},
        {S::Etsi, A::None, 300, 180, ""},
        {S::Etsi, A::Dtas, 300, 180, "2130+2750/100 0+0/100"},
        {S::Etsi, A::OffHook, 0, 80, "2130+2750/80 0+0/250"},
        {S::Bt, A::None, 96, 55, ""},  // SIN 227 always has the alert: CA_DTAS
        {S::Bt, A::Dtas, 96, 55, "2130+2750/100 0+0/100"},
        {S::Bt, A::OffHook, 0, 80, "2130+2750/80 0+0/250"},
        {S::Ntt, A::None, 0, 80, ""},
        {S::Dtmf, A::None, 0, 0, ""},
    };
    for (const auto& c : cases) {
        const CallerIdFrame frame = CallerIdPlan::FrameOf(c.standard, c.alert);
        std::string steps;
        for (const AlertStep& s : frame.alert) {
            if (!steps.empty()) steps += ' ';
            steps += std::to_string(static_cast<int>(s.hz[0])) + "+" + std::to_string(static_cast<int>(s.hz[1])) + "/" +
                     std::to_string(static_cast<int>(s.ms));
        }
        const std::string what = std::string(CallerIdPlan::Name(c.standard)) + " " + std::to_string(static_cast<int>(c.alert));
        EXPECT_EQ(frame.seizureBits, c.seizure) << what;
        EXPECT_EQ(frame.markBits, c.marks) << what;
        EXPECT_EQ(steps, c.alert_) << what;
    }
}

// CRC-16 with the generator 0x1021 taken least significant bit first from 0 (the "KERMIT"
// parameters): its catalogue check value over "123456789" is 0x2189.
TEST(NttMessage, CrcCheckValueAndResidue) {
    const std::string check = "123456789";
    EXPECT_EQ(NttMessage::Crc16({reinterpret_cast<const std::uint8_t*>(check.data()), check.size()}), 0x2189);
    const Bytes frame = NttMessage::Frame(NttMessage::CallerIdBody("0312345678", 0));
    EXPECT_EQ(NttMessage::Crc16(std::span(frame).subspan(2)), 0);
}

TEST(MfSignals, PairsOfR1AndR2) {
    const struct {
        MfSystem system;
        const char* signals;
        const char* pairs;
    } cases[] = {
        {MfSystem::R1, "1234567890",
         "700+900 700+1100 900+1100 700+1300 900+1300 1100+1300 700+1500 900+1500 1100+1500 1300+1500"},
        {MfSystem::R1, "*K#SABCabc", "1100+1700 1100+1700 1500+1700 1500+1700 900+1700 1300+1700 700+1700 900+1700 "
                                     "1300+1700 700+1700"},
        {MfSystem::R2Forward, "1234567890BCDEF",
         "1380+1500 1380+1620 1500+1620 1380+1740 1500+1740 1620+1740 1380+1860 1500+1860 1620+1860 1740+1860 "
         "1380+1980 1500+1980 1620+1980 1740+1980 1860+1980"},
        {MfSystem::R2Backward, "1234567890BCDEF",
         "1140+1020 1140+900 1020+900 1140+780 1020+780 900+780 1140+660 1020+660 900+660 780+660 1140+540 1020+540 "
         "900+540 780+540 660+540"},
    };
    for (const auto& c : cases) {
        std::string pairs;
        for (const char* s = c.signals; *s; ++s) {
            const MfSignals::Pair p = MfSignals::Find(c.system, *s);
            if (!pairs.empty()) pairs += ' ';
            pairs += std::to_string(static_cast<int>(p.low)) + "+" + std::to_string(static_cast<int>(p.high));
        }
        EXPECT_EQ(pairs, c.pairs) << c.signals;
    }
}

TEST(MfSignals, TimesAndRefusals) {
    std::vector<ToneSequence::Step> steps;
    ASSERT_EQ(MfSignals::Build(MfSystem::R1, "K1S", 8000.0, steps), "");
    std::string samples;
    for (const auto& s : steps) samples += std::to_string(s.toneCount) + "/" + std::to_string(s.length) + " ";
    EXPECT_EQ(samples, "2/800 0/544 2/544 0/544 2/544 0/544 ");  // KP 100 ms, 68 ms tones and gaps
    ASSERT_EQ(MfSignals::Build(MfSystem::R2Backward, "15", 8000.0, steps), "");
    samples.clear();
    for (const auto& s : steps) samples += std::to_string(s.toneCount) + "/" + std::to_string(s.length) + " ";
    EXPECT_EQ(samples, "2/1200 0/1200 2/1200 0/1200 ");

    EXPECT_EQ(MfSignals::Build(MfSystem::R1, "K12D", 8000.0, steps),
              "MF (R1) signals are 0-9, KP (* or K), ST (# or S), A, B and C only.");
    EXPECT_TRUE(steps.empty());
    EXPECT_EQ(MfSignals::Build(MfSystem::R2Forward, "12A", 8000.0, steps), "R2 signals are 1-9, 0 and B-F only.");
    EXPECT_EQ(MfSignals::Build(MfSystem::R2Forward, "", 8000.0, steps), "R2 signals are empty.");
    EXPECT_EQ(MfSignals::Build(MfSystem::R1, "", 8000.0, steps), "MF (R1) signals are empty.");
}

}  // namespace
