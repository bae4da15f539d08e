// The cid-bell and cid-etsi suites: one Caller-ID message under the variations receivers are
// specified for, its number, name and date drawn for each file (PayloadDraws).

#include <cstdio>
#include <iterator>
#include <string>

#include "testkit/Requests.h"
#include "testkit/Suite.h"

namespace Quorvex::VarnelNet::Kit {

namespace {

constexpr const char* kFirstNames[] = {"ANNA", "BRUNO", "CLARA", "DAVID", "ELENA", "FELIX", "GRACE", "HENRY"};
constexpr const char* kLastNames[] = {"ADAMS", "BAKER", "COOPER", "DIAZ", "EVANS", "FISCHER", "GARCIA", "HUGHES"};
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

// What a file's message carries: a ten-digit number (its first digit 2-9), a name, a date and time.
struct Payload {
    std::string number, name, dateTime;
};

Payload DrawPayload(const Standard& standard, std::uint64_t seed) {
    SplitMix64 draws = PayloadDraws(std::string("cid-") + standard.prefix, seed);
    Payload payload;
    payload.number = std::to_string(2 + Draw(draws, 8));
    while (payload.number.size() < 10) payload.number += std::to_string(Draw(draws, 10));
    payload.name = std::string(kFirstNames[Draw(draws, std::size(kFirstNames))]) + " " + kLastNames[Draw(draws, std::size(kLastNames))];
    char dateTime[16];
    std::snprintf(dateTime, sizeof dateTime, "%02zu/%02zu %02zu:%02zu", 1 + Draw(draws, 12), 1 + Draw(draws, 28), Draw(draws, 24),
                  Draw(draws, 60));
    payload.dateTime = dateTime;
    return payload;
}

// The standard's settings, the message at fskDbm0 and the silence after it.
RequestList MessageRequests(std::int32_t standard, std::int32_t alert, double fskDbm0, const Payload& payload) {
    return {SetInteger(SettingsCatalog::kCidStandard, standard), SetInteger(SettingsCatalog::kCidAlert, alert),
            SetLevel(fskDbm0, 1), CallerIdMessage(payload.number, payload.name, payload.dateTime), Silence(300)};
}

SuiteFile Message(const Standard& standard, std::string_view family, std::size_t index, std::uint64_t seed, double fskDbm0,
                  Verdict verdict, std::string_view requirement) {
    char name[48];
    std::snprintf(name, sizeof name, "%s-%04zu", std::string(family).c_str(), index);
    SuiteFile file;
    file.name = name;
    file.requests = {Silence(200)};
    const Payload payload = DrawPayload(standard, seed);
    const RequestList message = MessageRequests(standard.standard, standard.alert, fskDbm0, payload);
    file.requests.insert(file.requests.end(), message.begin(), message.end());
    file.sent = payload.number;
    file.verdict = verdict;
    if (verdict != Verdict::Either) file.requirement = std::string(standard.prefix) + "-" + std::string(requirement);
    return file;
}

// The FSK from 0 to -60 dBm0 in 2 dB steps.
SuiteFile Level(const Standard& standard, std::size_t index, std::uint64_t seed) {
    const double dbm0 = -2.0 * static_cast<double>(index);
    const Verdict verdict = dbm0 <= standard.highestDbm0 && dbm0 >= standard.lowestDbm0 ? Verdict::Detect
                            : dbm0 < standard.rejectBelowDbm0                          ? Verdict::Reject
                                                                                       : Verdict::Either;
    SuiteFile file = Message(standard, "level", index, seed, dbm0, verdict, verdict == Verdict::Detect ? "level-detect" : "level-reject");
    file.parameters = {{"level_dbm0", Decimal(dbm0, 0)}};
    return file;
}

// The space tone from 12 dB below the mark tone to 14 dB above it.
SuiteFile Twist(const Standard& standard, std::size_t index, std::uint64_t seed) {
    const double db = -12.0 + 2.0 * static_cast<double>(index);
    const bool within = db >= -6.0 - kEpsilon && db <= standard.twistDb + kEpsilon;
    SuiteFile file = Message(standard, "twist", index, seed, kNominalDbm0, within ? Verdict::Detect : Verdict::Either, "twist");
    file.impairments.fskTwistDb = Rounded(db, 0);
    file.parameters = {{"twist_db", Decimal(db, 0)}};
    return file;
}

// Noise in the telephone band from 40 dB below the message down to its level.
SuiteFile Snr(const Standard& standard, std::size_t index, std::uint64_t seed) {
    const double snr = 40.0 - 2.0 * static_cast<double>(index);
    const Verdict verdict = snr >= standard.snrDb - kEpsilon ? Verdict::Detect : Verdict::Either;
    SuiteFile file = Message(standard, "snr", index, seed, kNominalDbm0, verdict, "snr");
    file.impairments.snrDb = Rounded(snr, 0);
    file.impairments.telephoneBand = true;
    file.impairments.seed = seed;
    file.parameters = {{"snr_db", Decimal(snr, 0)}};
    return file;
}

// Mark and space, or the bit rate, off by -6 % to +6 % in 0.25 % steps.
SuiteFile Offset(const Standard& standard, std::size_t index, std::uint64_t seed, bool bitRate) {
    const double percent = -6.0 + 0.25 * static_cast<double>(index);
    const double tolerance = bitRate ? 1.0 : standard.frequencyPercent;
    const bool within = percent >= -tolerance - kEpsilon && percent <= tolerance + kEpsilon;
    SuiteFile file = Message(standard, bitRate ? "bit-rate" : "frequency", index, seed, kNominalDbm0,
                             within ? Verdict::Detect : Verdict::Either, bitRate ? "bit-rate" : "frequency");
    (bitRate ? file.impairments.bitRateOffsetPercent : file.impairments.frequencyOffsetPercent) = Rounded(percent, 2);
    file.parameters = {{"offset_percent", Decimal(percent, 2)}};
    return file;
}

// The ETSI message after a dual-tone alert of its own: its level (each tone, the message at
// -20 dBm0) or its duration varied; the pause after it stays 100 ms.
SuiteFile Alert(std::string_view family, std::size_t index, std::uint64_t seed, double alertDbm0, int alertMs) {
    SuiteFile file = Message(kEtsi, family, index, seed, kNominalDbm0, Verdict::Either, "alert");
    file.requests = {Silence(200), SetLevel(alertDbm0, 2), Tone(alertMs, 100, 2130.0, 2750.0)};
    const RequestList message = MessageRequests(CS_ETSI, CA_None, kNominalDbm0, DrawPayload(kEtsi, seed));
    file.requests.insert(file.requests.end(), message.begin(), message.end());
    return file;
}

SuiteFile AlertLevel(std::size_t index, std::uint64_t seed) {
    const double dbm0 = -6.0 - 4.0 * static_cast<double>(index);
    SuiteFile file = Alert("alert-level", index, seed, dbm0, 100);
    file.parameters = {{"alert_dbm0", Decimal(dbm0, 0)}};
    return file;
}

SuiteFile AlertDuration(std::size_t index, std::uint64_t seed) {
    const int ms = 40 + 10 * static_cast<int>(index);
    SuiteFile file = Alert("alert-duration", index, seed, kNominalDbm0, ms);
    file.parameters = {{"alert_ms", std::to_string(ms)}};
    return file;
}

SuiteFile BellLevel(std::size_t index, std::uint64_t seed) { return Level(kBell, index, seed); }
SuiteFile BellTwist(std::size_t index, std::uint64_t seed) { return Twist(kBell, index, seed); }
SuiteFile BellSnr(std::size_t index, std::uint64_t seed) { return Snr(kBell, index, seed); }
SuiteFile BellFrequency(std::size_t index, std::uint64_t seed) { return Offset(kBell, index, seed, false); }
SuiteFile BellBitRate(std::size_t index, std::uint64_t seed) { return Offset(kBell, index, seed, true); }
SuiteFile EtsiLevel(std::size_t index, std::uint64_t seed) { return Level(kEtsi, index, seed); }
SuiteFile EtsiTwist(std::size_t index, std::uint64_t seed) { return Twist(kEtsi, index, seed); }
SuiteFile EtsiSnr(std::size_t index, std::uint64_t seed) { return Snr(kEtsi, index, seed); }
SuiteFile EtsiFrequency(std::size_t index, std::uint64_t seed) { return Offset(kEtsi, index, seed, false); }
SuiteFile EtsiBitRate(std::size_t index, std::uint64_t seed) { return Offset(kEtsi, index, seed, true); }

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
