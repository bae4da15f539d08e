// The cid-bell and cid-etsi suites: one Caller-ID message (number 5551234) under the variations
// receivers are specified for.

#include <cstdio>
#include <string>

#include "testkit/Requests.h"
#include "testkit/Suite.h"

namespace Quorvex::VarnelNet::Kit {

namespace {

constexpr const char* kNumber = "5551234";
constexpr const char* kName = "JOHN DOE";
constexpr const char* kDateTime = "12/25 10:30";
constexpr double kNominalDbm0 = -20.0;
constexpr double kEpsilon = 1e-9;

// What differs between the two suites: the standard and the published limits.
struct Standard {
    const char* prefix;      // suite and requirement ids: "bell", "etsi"
    std::int32_t standard;   // cid-standard
    std::int32_t alert;      // cid-alert: what goes before the data
    double highestDbm0;      // decoded from here
    double lowestDbm0;       // down to here
    double rejectBelowDbm0;  // and rejected below this
    double twistDb;          // space against mark: from -6 dB to this
    double snrDb;            // decoded at this S/N and above
    double frequencyPercent; // mark and space tolerance
};

constexpr Standard kBell{"bell", CS_Bell202, CA_None, -4.23, -36.2, -48.24, 10.0, 25.0, 1.0};
constexpr Standard kEtsi{"etsi", CS_ETSI, CA_DTAS, -5.78, -33.78, -47.78, 6.0, 20.0, 1.5};

// The standard's settings, the message at fskDbm0 and the silence after it.
RequestList MessageRequests(std::int32_t standard, std::int32_t alert, double fskDbm0) {
    return {SetInteger(SettingsCatalog::kCidStandard, standard), SetInteger(SettingsCatalog::kCidAlert, alert),
            SetLevel(fskDbm0, 1), CallerIdMessage(kNumber, kName, kDateTime), Silence(300)};
}

SuiteFile Message(const Standard& standard, std::string_view family, std::size_t index, double fskDbm0, Verdict verdict,
                  std::string_view requirement) {
    char name[48];
    std::snprintf(name, sizeof name, "%s-%04zu", std::string(family).c_str(), index);
    SuiteFile file;
    file.name = name;
    file.requests = {Silence(200)};
    const RequestList message = MessageRequests(standard.standard, standard.alert, fskDbm0);
    file.requests.insert(file.requests.end(), message.begin(), message.end());
    file.sent = kNumber;
    file.verdict = verdict;
    if (verdict != Verdict::Either) file.requirement = std::string(standard.prefix) + "-" + std::string(requirement);
    return file;
}

// The FSK from 0 to -60 dBm0 in 2 dB steps.
SuiteFile Level(const Standard& standard, std::size_t index) {
    const double dbm0 = -2.0 * static_cast<double>(index);
    const Verdict verdict = dbm0 <= standard.highestDbm0 && dbm0 >= standard.lowestDbm0 ? Verdict::Detect
                            : dbm0 < standard.rejectBelowDbm0                          ? Verdict::Reject
                                                                                       : Verdict::Either;
    SuiteFile file = Message(standard, "level", index, dbm0, verdict, verdict == Verdict::Detect ? "level-detect" : "level-reject");
    file.parameters = {{"level_dbm0", Decimal(dbm0, 0)}};
    return file;
}

// The space tone from 12 dB below the mark tone to 14 dB above it.
SuiteFile Twist(const Standard& standard, std::size_t index) {
    const double db = -12.0 + 2.0 * static_cast<double>(index);
    const bool within = db >= -6.0 - kEpsilon && db <= standard.twistDb + kEpsilon;
    SuiteFile file = Message(standard, "twist", index, kNominalDbm0, within ? Verdict::Detect : Verdict::Either, "twist");
    file.impairments.fskTwistDb = Rounded(db, 0);
    file.parameters = {{"twist_db", Decimal(db, 0)}};
    return file;
}

// Noise in the telephone band from 40 dB below the message down to its level.
SuiteFile Snr(const Standard& standard, std::size_t index, std::uint64_t seed) {
    const double snr = 40.0 - 2.0 * static_cast<double>(index);
    SuiteFile file = Message(standard, "snr", index, kNominalDbm0, snr >= standard.snrDb - kEpsilon ? Verdict::Detect : Verdict::Either,
                             "snr");
    file.impairments.snrDb = Rounded(snr, 0);
    file.impairments.telephoneBand = true;
    file.impairments.seed = seed;
    file.parameters = {{"snr_db", Decimal(snr, 0)}};
    return file;
}

// Mark and space, or the bit rate, off by -6 % to +6 % in 0.25 % steps.
SuiteFile Offset(const Standard& standard, std::size_t index, bool bitRate) {
    const double percent = -6.0 + 0.25 * static_cast<double>(index);
    const double tolerance = bitRate ? 1.0 : standard.frequencyPercent;
    const bool within = percent >= -tolerance - kEpsilon && percent <= tolerance + kEpsilon;
    SuiteFile file = Message(standard, bitRate ? "bit-rate" : "frequency", index, kNominalDbm0,
                             within ? Verdict::Detect : Verdict::Either, bitRate ? "bit-rate" : "frequency");
    (bitRate ? file.impairments.bitRateOffsetPercent : file.impairments.frequencyOffsetPercent) = Rounded(percent, 2);
    file.parameters = {{"offset_percent", Decimal(percent, 2)}};
    return file;
}

// The ETSI message after a dual-tone alert of its own: its level (each tone, the message at
// -20 dBm0) or its duration varied; the pause after it stays 100 ms.
SuiteFile Alert(std::string_view family, std::size_t index, double alertDbm0, int alertMs) {
    SuiteFile file = Message(kEtsi, family, index, kNominalDbm0, Verdict::Either, "alert");
    file.requests = {Silence(200), SetLevel(alertDbm0, 2), Tone(alertMs, 100, 2130.0, 2750.0)};
    const RequestList message = MessageRequests(CS_ETSI, CA_None, kNominalDbm0);
    file.requests.insert(file.requests.end(), message.begin(), message.end());
    return file;
}

SuiteFile AlertLevel(std::size_t index, std::uint64_t) {
    const double dbm0 = -6.0 - 4.0 * static_cast<double>(index);
    SuiteFile file = Alert("alert-level", index, dbm0, 100);
    file.parameters = {{"alert_dbm0", Decimal(dbm0, 0)}};
    return file;
}

SuiteFile AlertDuration(std::size_t index, std::uint64_t) {
    const int ms = 40 + 10 * static_cast<int>(index);
    SuiteFile file = Alert("alert-duration", index, kNominalDbm0, ms);
    file.parameters = {{"alert_ms", std::to_string(ms)}};
    return file;
}

SuiteFile BellLevel(std::size_t index, std::uint64_t) { return Level(kBell, index); }
SuiteFile BellTwist(std::size_t index, std::uint64_t) { return Twist(kBell, index); }
SuiteFile BellSnr(std::size_t index, std::uint64_t seed) { return Snr(kBell, index, seed); }
SuiteFile BellFrequency(std::size_t index, std::uint64_t) { return Offset(kBell, index, false); }
SuiteFile BellBitRate(std::size_t index, std::uint64_t) { return Offset(kBell, index, true); }
SuiteFile EtsiLevel(std::size_t index, std::uint64_t) { return Level(kEtsi, index); }
SuiteFile EtsiTwist(std::size_t index, std::uint64_t) { return Twist(kEtsi, index); }
SuiteFile EtsiSnr(std::size_t index, std::uint64_t seed) { return Snr(kEtsi, index, seed); }
SuiteFile EtsiFrequency(std::size_t index, std::uint64_t) { return Offset(kEtsi, index, false); }
SuiteFile EtsiBitRate(std::size_t index, std::uint64_t) { return Offset(kEtsi, index, true); }

constexpr Figure kLevels{"levels decoded", "level_dbm0", "dBm0", kNominalDbm0, true, true, "", false};
constexpr Figure kTwist{"twist accepted (space against mark)", "twist_db", "dB", 0.0, true, true, "", false};
constexpr Figure kSnr{"S/N needed (300-3400 Hz)", "snr_db", "dB", 1000.0, false, true, "", false};
constexpr Figure kFrequency{"mark and space offset accepted", "offset_percent", "%", 0.0, true, true, "", false};
constexpr Figure kBitRate{"bit rate offset accepted", "offset_percent", "%", 0.0, true, true, "", false};

constexpr Family kBellFamilies[] = {
    {"level", "the message from 0 to -60 dBm0", 31, BellLevel, kLevels},
    {"twist", "the space tone from -12 to +14 dB of the mark tone, at -20 dBm0", 14, BellTwist, kTwist},
    {"snr", "telephone-band noise from 40 dB below the message to its level", 21, BellSnr, kSnr},
    {"frequency", "mark and space off by -6 % to +6 %", 49, BellFrequency, kFrequency},
    {"bit-rate", "the bit rate off by -6 % to +6 %", 49, BellBitRate, kBitRate},
};

constexpr Family kEtsiFamilies[] = {
    {"level", "the message from 0 to -60 dBm0", 31, EtsiLevel, kLevels},
    {"twist", "the space tone from -12 to +14 dB of the mark tone, at -20 dBm0", 14, EtsiTwist, kTwist},
    {"snr", "telephone-band noise from 40 dB below the message to its level", 21, EtsiSnr, kSnr},
    {"frequency", "mark and space off by -6 % to +6 %", 49, EtsiFrequency, kFrequency},
    {"bit-rate", "the bit rate off by -6 % to +6 %", 49, EtsiBitRate, kBitRate},
    {"alert-level", "the dual-tone alert from -6 to -50 dBm0 a tone", 12, AlertLevel,
     Figure{"alert levels after which the message is decoded", "alert_dbm0", "dBm0", -10.0, true, true, "", false}},
    {"alert-duration", "the dual-tone alert from 40 to 160 ms", 13, AlertDuration,
     Figure{"alert durations after which the message is decoded", "alert_ms", "ms", 100.0, true, true, "", false}},
};

}  // namespace

std::span<const Family> BellCallerIdFamilies() { return kBellFamilies; }
std::span<const Family> EtsiCallerIdFamilies() { return kEtsiFamilies; }

}  // namespace Quorvex::VarnelNet::Kit
