// The tty suite: text-telephone receivers, each file a text drawn for it (PayloadDraws) in one
// of four modes, Baudot at 45.45 and 50 bit/s and ASCII-7 and ASCII-8 at 110, under one
// variation; and 2000 characters at the nominal, the lowest and the highest values. A receiver
// meets a file when at most 1 % of the characters sent are wrong in what it printed
// (TextScore.h). The library sends two stop bits and cannot vary them.

#include <cstdio>
#include <string>

#include "testkit/Requests.h"
#include "testkit/Suite.h"

namespace Quorvex::VarnelNet::Kit {

namespace {

constexpr TtyMode kModes[] = {{"baudot45", Baudot_Mode, BR_45_45_Baud},
                              {"baudot50", Baudot_Mode, BR_50_Baud},
                              {"ascii7", ASCII7_Mode, BR_110_Baud},
                              {"ascii8", ASCII8_Mode, BR_110_Baud}};
constexpr std::size_t kModeCount = std::size(kModes);

constexpr double kNominalDbm0 = -10.0;  // within the -13 to -9 dBm TTYs send
constexpr double kLowestDbm0 = -50.0;
constexpr double kHighestDbm0 = 0.0;
constexpr double kFrequencyPercent = 0.25;  // 5 Hz at 1800 Hz is 0.28 %
constexpr double kBitRatePercent = 1.0;
constexpr double kTwistDb = 6.0;
constexpr double kSnrDb = 13.0;
constexpr std::size_t kShortText = 40;
constexpr std::size_t kLongText = 2000;
constexpr double kEpsilon = 1e-9;
constexpr std::string_view kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr std::string_view kFigures = "0123456789";
constexpr std::string_view kPunctuation = "-?:().,/'";

std::string DrawnText(std::uint64_t seed, std::size_t count) {
    SplitMix64 draws = PayloadDraws("tty", seed);
    return DrawTtyText(draws, count);
}

SuiteFile TextFile(std::string_view family, std::size_t index, std::size_t steps, std::uint64_t seed, double dbm0,
                   std::size_t length, bool within, std::string_view requirement) {
    const TtyMode& mode = kModes[index / steps];
    char name[48];
    std::snprintf(name, sizeof name, "%s-%s-%04zu", std::string(family).c_str(), std::string(mode.name).c_str(), index);
    SuiteFile file;
    file.name = name;
    file.sent = DrawnText(seed, length);
    file.requests = {SetInteger(SettingsCatalog::kTtyMode, mode.mode), SetInteger(SettingsCatalog::kTtyRate, mode.rate),
                     SetInteger(SettingsCatalog::kTtyFigsAfterSpace, 1), Silence(200), SetLevel(dbm0, 1), TtyText(file.sent),
                     Silence(300)};
    file.verdict = within ? Verdict::Detect : Verdict::Either;
    if (within) file.requirement = std::string(requirement);
    file.parameters = {{"tty_mode", std::string(mode.name)}};
    return file;
}

constexpr std::size_t kLevelSteps = 20;  // 0 to -57 dBm0
SuiteFile Level(std::size_t index, std::uint64_t seed) {
    const double dbm0 = -3.0 * static_cast<double>(index % kLevelSteps);
    SuiteFile file = TextFile("level", index, kLevelSteps, seed, dbm0, kShortText, dbm0 >= kLowestDbm0, "tty-level");
    file.parameters.emplace_back("level_dbm0", Decimal(dbm0, 0));
    return file;
}

constexpr std::size_t kTwistSteps = 13;  // -12 to +12 dB
SuiteFile Twist(std::size_t index, std::uint64_t seed) {
    const double db = -12.0 + 2.0 * static_cast<double>(index % kTwistSteps);
    SuiteFile file = TextFile("twist", index, kTwistSteps, seed, kNominalDbm0, kShortText, db * db <= kTwistDb * kTwistDb + kEpsilon,
                              "tty-twist");
    file.impairments.fskTwistDb = Rounded(db, 0);
    file.parameters.emplace_back("twist_db", Decimal(db, 0));
    return file;
}

constexpr std::size_t kOffsetSteps = 25;  // -6 % to +6 %
SuiteFile Offset(std::size_t index, std::uint64_t seed, bool bitRate) {
    const double percent = -6.0 + 0.5 * static_cast<double>(index % kOffsetSteps);
    const double tolerance = bitRate ? kBitRatePercent : kFrequencyPercent;
    SuiteFile file = TextFile(bitRate ? "bit-rate" : "frequency", index, kOffsetSteps, seed, kNominalDbm0, kShortText,
                              percent * percent <= tolerance * tolerance + kEpsilon, bitRate ? "tty-bit-rate" : "tty-frequency");
    (bitRate ? file.impairments.bitRateOffsetPercent : file.impairments.frequencyOffsetPercent) = Rounded(percent, 2);
    file.parameters.emplace_back("offset_percent", Decimal(percent, 2));
    return file;
}
SuiteFile Frequency(std::size_t index, std::uint64_t seed) { return Offset(index, seed, false); }
SuiteFile BitRate(std::size_t index, std::uint64_t seed) { return Offset(index, seed, true); }

constexpr std::size_t kSnrSteps = 31;  // 30 dB down to 0
SuiteFile Snr(std::size_t index, std::uint64_t seed) {
    const double snr = 30.0 - static_cast<double>(index % kSnrSteps);
    SuiteFile file = TextFile("snr", index, kSnrSteps, seed, kNominalDbm0, kShortText, snr >= kSnrDb - kEpsilon, "tty-snr");
    file.impairments.snrDb = Rounded(snr, 0);
    file.impairments.telephoneBand = true;
    file.impairments.seed = seed;
    file.parameters.emplace_back("snr_db", Decimal(snr, 0));
    return file;
}

// 2000 characters at the nominal values, then at the lowest level with the frequencies and the
// bit rate at their lowest, then at the highest level with both at their highest.
constexpr std::size_t kLongSteps = 3;
SuiteFile Long(std::size_t index, std::uint64_t seed) {
    const std::size_t step = index % kLongSteps;
    const double sign = step == 1 ? -1.0 : 1.0;
    const double dbm0 = step == 0 ? kNominalDbm0 : step == 1 ? kLowestDbm0 : kHighestDbm0;
    SuiteFile file = TextFile("long", index, kLongSteps, seed, dbm0, kLongText, true, "tty-long");
    if (step > 0) {
        file.impairments.frequencyOffsetPercent = sign * kFrequencyPercent;
        file.impairments.bitRateOffsetPercent = sign * kBitRatePercent;
    }
    file.parameters.insert(file.parameters.end(), {{"values", step == 0 ? "nominal" : step == 1 ? "lowest" : "highest"},
                                                   {"level_dbm0", Decimal(dbm0, 0)},
                                                   {"offset_percent", Decimal(step == 0 ? 0.0 : sign * kFrequencyPercent, 2)},
                                                   {"bit_rate_offset_percent", Decimal(step == 0 ? 0.0 : sign * kBitRatePercent, 2)}});
    return file;
}

constexpr Family kFamilies[] = {
    {"level", "40 characters from 0 to -57 dBm0", kLevelSteps * kModeCount, Level,
     Figure{"levels decoded", "level_dbm0", "dBm0", kNominalDbm0, true, true, "tty_mode", true}},
    {"twist", "40 characters, the space tone from -12 to +12 dB of the mark tone", kTwistSteps * kModeCount, Twist,
     Figure{"twist accepted (space against mark)", "twist_db", "dB", 0.0, true, true, "tty_mode", true}},
    {"frequency", "40 characters, mark and space off by -6 % to +6 %", kOffsetSteps * kModeCount, Frequency,
     Figure{"mark and space offset accepted", "offset_percent", "%", 0.0, true, true, "tty_mode", true}},
    {"bit-rate", "40 characters, the bit rate off by -6 % to +6 %", kOffsetSteps * kModeCount, BitRate,
     Figure{"bit rate offset accepted", "offset_percent", "%", 0.0, true, true, "tty_mode", true}},
    {"snr", "40 characters under telephone-band noise from 30 dB below them to their level", kSnrSteps * kModeCount, Snr,
     Figure{"S/N needed (300-3400 Hz)", "snr_db", "dB", 1000.0, false, true, "tty_mode", true}},
    {"long", "2000 characters at the nominal, the lowest and the highest values", kLongSteps * kModeCount, Long, std::nullopt},
};

}  // namespace

std::span<const Family> TtyFamilies() { return kFamilies; }

std::span<const TtyMode> TtyModes() { return kModes; }

const TtyMode* FindTtyMode(std::string_view name) {
    for (const TtyMode& mode : kModes) {
        if (mode.name == name) return &mode;
    }
    return nullptr;
}

std::string DrawTtyText(SplitMix64& draws, std::size_t count) {
    std::string text;
    while (text.size() < count) {
        const std::size_t kind = Draw(draws, 100);
        const bool edge = text.empty() || text.size() + 1 == count;
        if (edge || kind < 70) {
            text += kLetters[Draw(draws, kLetters.size())];
        } else if (kind < 85) {
            text += text.back() == ' ' ? kLetters[Draw(draws, kLetters.size())] : ' ';
        } else if (kind < 95) {
            text += kFigures[Draw(draws, kFigures.size())];
        } else {
            text += kPunctuation[Draw(draws, kPunctuation.size())];
        }
    }
    return text;
}

}  // namespace Quorvex::VarnelNet::Kit
