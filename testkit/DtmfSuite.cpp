// The dtmf suite: the classic DTMF receiver test plan, file by file. Where a family varies
// something else than the key, each file's keys are drawn for it (PayloadDraws).

#include <array>
#include <cstdio>
#include <string>

#include "testkit/Requests.h"
#include "testkit/Suite.h"
#include "varnel/signal/DtmfKeypad.h"

namespace Quorvex::VarnelNet::Kit {

namespace {

using DtmfKeypad::kColumnHz;
using DtmfKeypad::kKeys;
using DtmfKeypad::kRowHz;

constexpr std::string_view kBandwidthKeys = "159D";
constexpr int kBandwidthSteps = 121;  // -6.0 % to +6.0 % in 0.1 % steps
constexpr double kKeyDbm0 = -10.0;    // a tone of the keys where the family varies something else
// Two tones of -4 dBm0 have together a power of -4 + 10 log10(2) dBm0.
constexpr double kNoiseKeysPowerDbm0 = -4.0 + 3.0102999566398120;

Script::Request ToneMs(int ms) { return SetInteger(SettingsCatalog::kDtmfToneTime, ms); }
Script::Request BreakMs(int ms) { return SetInteger(SettingsCatalog::kDtmfBreakTime, ms); }

// count keys of the keypad drawn for the file; with `repeated`, one key drawn count times.
std::string DrawnKeys(std::uint64_t seed, std::size_t count, bool repeated = false) {
    SplitMix64 draws = PayloadDraws("dtmf", seed);
    std::string keys;
    for (std::size_t k = 0; k < count; ++k) keys += repeated && k > 0 ? keys[0] : kKeys[Draw(draws, kKeys.size())];
    return keys;
}

std::string Numbered(std::string_view family, std::size_t index) {
    char number[8];
    std::snprintf(number, sizeof number, "%04zu", index);
    return std::string(family) + "-" + number;
}

SuiteFile KeysFile(std::string_view family, std::size_t index, RequestList requests, std::string sent, Verdict verdict,
                   std::string requirement) {
    SuiteFile file;
    file.name = Numbered(family, index);
    file.requests = std::move(requests);
    file.sent = std::move(sent);
    file.verdict = verdict;
    file.requirement = verdict == Verdict::Either ? "" : std::move(requirement);
    return file;
}

SuiteFile Decode(std::size_t index, std::uint64_t) {
    const std::string keys(10, kKeys[index]);
    SuiteFile file = KeysFile("decode", index, {SetLevel(-4.0, 2), ToneMs(50), BreakMs(50), Silence(50), DtmfKeys(keys)}, keys,
                              Verdict::Detect, "dtmf-decode");
    file.parameters = {{"key", std::string(1, kKeys[index])}};
    return file;
}

// One tone of keys 1, 5, 9 and D off by -6 % to +6 % at -17 dBm0 a tone.
SuiteFile Bandwidth(std::size_t index, std::uint64_t) {
    const std::size_t keyIndex = kKeys.find(kBandwidthKeys[index / (2 * kBandwidthSteps)]);
    const bool row = (index / kBandwidthSteps) % 2 == 0;
    const double percent = (static_cast<double>(index % kBandwidthSteps) - 60.0) / 10.0;
    const double scale = 1.0 + percent / 100.0;
    const double rowHz = kRowHz[keyIndex / 4] * (row ? scale : 1.0);
    const double columnHz = kColumnHz[keyIndex % 4] * (row ? 1.0 : scale);
    const double magnitude = percent < 0.0 ? -percent : percent;
    const Verdict verdict = magnitude <= 1.5 + 1e-9 ? Verdict::Detect : magnitude > 3.5 + 1e-9 ? Verdict::Reject : Verdict::Either;
    const std::string key(1, kKeys[keyIndex]);
    SuiteFile file = KeysFile("bandwidth", index, {SetLevel(-17.0, 2), Silence(50), Tone(50, 50, rowHz, columnHz)}, key, verdict,
                              verdict == Verdict::Detect ? "dtmf-bandwidth-detect" : "dtmf-bandwidth-reject");
    file.parameters = {{"key", key}, {"tone", row ? "row" : "column"}, {"series", key + (row ? " row" : " column")},
                       {"offset_percent", Decimal(percent, 1)}};
    return file;
}

// One group at -3 dBm0, the other 0 to 20 dB below it: normal twist (the high group lower),
// then reverse.
SuiteFile Twist(std::size_t index, std::uint64_t seed) {
    const bool normal = index <= 20;
    const int db = normal ? static_cast<int>(index) : static_cast<int>(index) - 20;
    const double rowDbm0 = normal ? -3.0 : -3.0 - db;
    const int limit = normal ? 8 : 4;
    const std::string keys = DrawnKeys(seed, 4);
    RequestList requests = {SetLevel(rowDbm0, 2), SetNumber(SettingsCatalog::kDtmfTwist, normal ? -db : db), ToneMs(50),
                            BreakMs(50), Silence(50), DtmfKeys(keys)};
    SuiteFile file = KeysFile("twist", index, std::move(requests), keys,
                              db <= limit ? Verdict::Detect : Verdict::Either, normal ? "dtmf-twist-normal" : "dtmf-twist-reverse");
    file.parameters = {{"direction", normal ? "normal" : "reverse"}, {"twist_db", std::to_string(db)}};
    return file;
}

// Both tones from -3 to -60 dBm0 (two tones of more than -2.89 dBm0 pass full scale).
SuiteFile Level(std::size_t index, std::uint64_t seed) {
    const int dbm0 = -3 - static_cast<int>(index);
    const Verdict verdict = dbm0 >= -36 ? Verdict::Detect : dbm0 < -55 ? Verdict::Reject : Verdict::Either;
    const std::string keys = DrawnKeys(seed, 4);
    SuiteFile file = KeysFile("level", index, {SetLevel(dbm0, 2), ToneMs(50), BreakMs(50), Silence(50), DtmfKeys(keys)}, keys,
                              verdict, verdict == Verdict::Detect ? "dtmf-level-detect" : "dtmf-level-reject");
    file.parameters = {{"level_dbm0", std::to_string(dbm0)}};
    return file;
}

SuiteFile Duration(std::size_t index, std::uint64_t seed) {
    const int ms = 50 - static_cast<int>(index);
    const std::string keys = DrawnKeys(seed, 4);
    const Verdict verdict = ms >= 40 ? Verdict::Detect : ms <= 23 ? Verdict::Reject : Verdict::Either;
    SuiteFile file = KeysFile("duration", index,
                              {SetLevel(kKeyDbm0, 2), ToneMs(ms), BreakMs(100), Silence(50), DtmfKeys(keys)}, keys, verdict,
                              verdict == Verdict::Detect ? "dtmf-duration-detect" : "dtmf-duration-reject");
    file.parameters = {{"tone_ms", std::to_string(ms)}};
    return file;
}

SuiteFile Pause(std::size_t index, std::uint64_t seed) {
    const int ms = 50 - static_cast<int>(index);
    const std::string keys = DrawnKeys(seed, 4, true);
    SuiteFile file = KeysFile("pause", index,
                              {SetLevel(kKeyDbm0, 2), ToneMs(50), BreakMs(ms), Silence(50), DtmfKeys(keys), Silence(100)}, keys,
                              ms >= 40 ? Verdict::Detect : Verdict::Either, "dtmf-pause-detect");
    file.parameters = {{"pause_ms", std::to_string(ms)}};
    return file;
}

// Ten keys at -4 dBm0 a tone under white noise from -4 dBm0 down to -40 dBm0.
SuiteFile Noise(std::size_t index, std::uint64_t seed) {
    const int noise = -4 - static_cast<int>(index);
    const double snr = kNoiseKeysPowerDbm0 - noise;
    const std::string keys = DrawnKeys(seed, 10);
    SuiteFile file = KeysFile("noise", index, {SetLevel(-4.0, 2), ToneMs(50), BreakMs(50), Silence(50), DtmfKeys(keys)}, keys,
                              snr >= 26.0 ? Verdict::Detect : Verdict::Either, "dtmf-noise");
    file.impairments.noiseDbm0 = noise;
    file.impairments.seed = seed;
    file.parameters = {{"noise_dbm0", std::to_string(noise)}, {"snr_db", Decimal(snr, 2)}};
    return file;
}

// Keys at -15 dBm0 a tone under 350+440 Hz dial tone from -30 to -5 dBm0 a tone.
SuiteFile DialTone(std::size_t index, std::uint64_t seed) {
    const int dial = -30 + static_cast<int>(index);
    const std::string keys = DrawnKeys(seed, 4);
    SuiteFile file = KeysFile(
        "dial-tone", index,
        {SetLevel(-15.0, 2), ToneMs(50), BreakMs(50), Silence(100), DtmfKeys(keys), Silence(100)}, keys, Verdict::Detect, "dtmf-dial-tone");
    file.mix = {SetLevel(dial, 2), PlanTone("us", "dial", 600)};
    file.parameters = {{"dial_dbm0", std::to_string(dial)}, {"dial_above_keys_db", std::to_string(dial + 15)}};
    return file;
}

// A key sounding 100 ms, broken in its middle for 0 to 20 ms.
SuiteFile Interruption(std::size_t index, std::uint64_t seed) {
    const int ms = static_cast<int>(index);
    const std::string key = DrawnKeys(seed, 1);
    SuiteFile file = KeysFile("interruption", index, {SetLevel(kKeyDbm0, 2), ToneMs(100), BreakMs(100), Silence(100), DtmfKeys(key)},
                              key, ms <= 10 ? Verdict::Detect : Verdict::Either, "dtmf-interruption");
    if (ms > 0) {
        file.impairments.dropoutMs = ms;
        file.impairments.dropoutEveryMs = Rounded(150.0 - ms / 2.0, 1);
    }
    file.parameters = {{"break_ms", std::to_string(ms)}};
    return file;
}

// What a no-keys file sounds: silence (under noise), a tone of the us plan, a modem tone or a
// single tone of the keypad.
struct NotKeys {
    const char* signal;
    enum { Quiet, Noise, Plan, Modem, Single } kind;
    const char* plan;
    MODEM_TONE modem;
    double hz;
    std::int32_t ms;
};
constexpr std::array<NotKeys, 15> kNotKeys = {{
    {"silence", NotKeys::Quiet, "", MT_CNG, 0.0, 1000},
    {"white noise -20 dBm0", NotKeys::Noise, "", MT_CNG, 0.0, 1000},
    {"us dial tone", NotKeys::Plan, "dial", MT_CNG, 0.0, 1000},
    {"us ring-back tone", NotKeys::Plan, "ringback", MT_CNG, 0.0, 2500},
    {"us busy tone", NotKeys::Plan, "busy", MT_CNG, 0.0, 1000},
    {"fax calling tone", NotKeys::Modem, "", MT_CNG, 0.0, 1000},
    {"answer tone", NotKeys::Modem, "", MT_ANS, 0.0, 1000},
    {"697 Hz", NotKeys::Single, "", MT_CNG, 697.0, 500},
    {"770 Hz", NotKeys::Single, "", MT_CNG, 770.0, 500},
    {"852 Hz", NotKeys::Single, "", MT_CNG, 852.0, 500},
    {"941 Hz", NotKeys::Single, "", MT_CNG, 941.0, 500},
    {"1209 Hz", NotKeys::Single, "", MT_CNG, 1209.0, 500},
    {"1336 Hz", NotKeys::Single, "", MT_CNG, 1336.0, 500},
    {"1477 Hz", NotKeys::Single, "", MT_CNG, 1477.0, 500},
    {"1633 Hz", NotKeys::Single, "", MT_CNG, 1633.0, 500},
}};

Script::Request SignalOf(const NotKeys& signal) {
    switch (signal.kind) {
        case NotKeys::Plan: return PlanTone("us", signal.plan, signal.ms);
        case NotKeys::Modem: return ModemTone(signal.modem, signal.ms);
        case NotKeys::Single: return Tone(signal.ms, 0, signal.hz);
        case NotKeys::Quiet:
        case NotKeys::Noise: break;
    }
    return Silence(signal.ms);
}

// Signals that are not keys, each tone at -10 dBm0: a stand-in for the talk-off tapes.
SuiteFile NoKeys(std::size_t index, std::uint64_t seed) {
    const NotKeys& signal = kNotKeys[index];
    const int tones = signal.kind == NotKeys::Plan ? 2 : 1;
    SuiteFile file = KeysFile("no-keys", index, {SetLevel(kKeyDbm0, tones), SignalOf(signal)}, "", Verdict::Reject, "dtmf-no-keys");
    if (signal.kind == NotKeys::Noise) {
        file.impairments.noiseDbm0 = -20.0;
        file.impairments.seed = seed;
    }
    file.parameters = {{"signal", signal.signal}};
    return file;
}

constexpr Family kFamilies[] = {
    {"decode", "every key 10 times, 50 ms on and off, -4 dBm0 a tone", 16, Decode, std::nullopt},
    {"bandwidth", "keys 1 5 9 D with one tone off by -6 % to +6 % in 0.1 % steps, -17 dBm0 a tone",
     2 * kBandwidthSteps * kBandwidthKeys.size(), Bandwidth,
     Figure{"detection bandwidth", "offset_percent", "%", 0.0, true, true, "series", false}},
    {"twist", "four keys, one group at -3 dBm0, the other 0 to 20 dB below it, both ways", 41, Twist,
     Figure{"twist accepted", "twist_db", "dB", 0.0, true, false, "direction", true}},
    {"level", "four keys, both tones from -3 to -60 dBm0", 58, Level,
     Figure{"levels detected", "level_dbm0", "dBm0", -3.0, false, true, "", false}},
    {"duration", "four keys, tones of 50 down to 10 ms, 100 ms apart, -10 dBm0 a tone", 41, Duration,
     Figure{"shortest tone", "tone_ms", "ms", 50.0, false, true, "", false}},
    {"pause", "a key four times, 50 ms tones with pauses of 50 down to 10 ms", 41, Pause,
     Figure{"shortest pause", "pause_ms", "ms", 50.0, false, true, "", false}},
    {"noise", "ten keys at -4 dBm0 a tone under white noise from -4 to -40 dBm0", 37, Noise,
     Figure{"S/N needed", "snr_db", "dB", 1000.0, false, true, "", false}},
    {"dial-tone", "four keys at -15 dBm0 a tone under dial tone (350+440 Hz) from -30 to -5 dBm0 a tone", 26, DialTone,
     Figure{"dial tone above the keys", "dial_above_keys_db", "dB", -1000.0, true, false, "", false}},
    {"interruption", "a key for 100 ms broken in its middle for 0 to 20 ms", 21, Interruption,
     Figure{"longest break bridged", "break_ms", "ms", 0.0, true, false, "", false}},
    {"no-keys", "silence, noise, call-progress and fax tones, single DTMF tones: no key", kNotKeys.size(), NoKeys, std::nullopt},
};

}  // namespace

std::span<const Family> DtmfFamilies() { return kFamilies; }

}  // namespace Quorvex::VarnelNet::Kit
