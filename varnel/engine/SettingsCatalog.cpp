#include "varnel/engine/SettingsCatalog.h"

#include <array>
#include <cmath>

#include "varnel/engine/CVarnel.h"
#include "varnel/engine/Enumerations.h"
#include "varnel/engine/ErrorTexts.h"

// Each row names only what differs from SettingSpec's defaults; g++ 12 would warn about every
// member a designated initializer leaves to its default.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace Quorvex::VarnelNet::SettingsCatalog {

namespace {

constexpr std::array<SettingKeyword, 2> kBitsWords = {{{"8", 8}, {"16", 16}}};
constexpr std::array<SettingKeyword, 3> kEncodingWords = {{{"pcm", ENC_PCM}, {"ulaw", ENC_MuLaw}, {"alaw", ENC_ALaw}}};
constexpr std::array<SettingKeyword, 8> kTtyModeWords = {{{"baudot", Baudot_Mode},
                                                          {"ascii7", ASCII7_Mode},
                                                          {"ascii8", ASCII8_Mode},
                                                          {"0", 0},
                                                          {"1", 1},
                                                          {"2", 2},
                                                          {"3", 3},
                                                          {"4", 4}}};
constexpr std::array<SettingKeyword, 6> kTtyRateWords = {{{"45.45", BR_45_45_Baud},
                                                          {"50", BR_50_Baud},
                                                          {"56.92", BR_56_92_Baud},
                                                          {"74.20", BR_74_20_Baud},
                                                          {"100", BR_100_Baud},
                                                          {"110", BR_110_Baud}}};
constexpr std::array<SettingKeyword, 3> kCidFormatWords = {{{"sdmf", CID_SDMF}, {"mdmf", CID_MDMF}, {"raw", CID_RAW}}};
constexpr std::array<SettingKeyword, 2> kCidTimingWords = {{{"whole", CBT_WholeSamples}, {"exact", CBT_Exact}}};
constexpr std::array<SettingKeyword, 2> kFlagWords = {{{"0", 0}, {"1", 1}}};
constexpr std::array<SettingKeyword, 5> kCidStandardWords = {
    {{"bell", CS_Bell202}, {"etsi", CS_ETSI}, {"bt", CS_BT}, {"ntt", CS_NTT}, {"dtmf", CS_DTMF}}};
constexpr std::array<SettingKeyword, 3> kCidAlertWords = {
    {{"none", CA_None}, {"dtas", CA_DTAS}, {"offhook", CA_OffHook}}};

}  // namespace

constinit const SettingSpec kSampleRate{
    .name = "SampleRate", .option = "rate", .kind = SettingKind::Integer,
    .minimum = 1, .maximum = kMaxSampleRate, .defaultValue = {.integer = 11025},
    .refusal = ErrorText::kSampleRate, .format = true, .unit = "HZ",
    .description = "sample rate, 1 to 16777216",
    .getInteger = &CVarnel::get_SampleRate, .setInteger = &CVarnel::set_SampleRate};

// Refused without a text of its own.
constinit const SettingSpec kBitsPerSample{
    .name = "BitsPerSample", .option = "bits", .kind = SettingKind::Keyword, .keywords = kBitsWords,
    .keywordsOnly = true, .defaultValue = {.integer = 16}, .format = true,
    .description = "bits per sample of PCM",
    .getInteger = &CVarnel::get_BitsPerSample, .setInteger = &CVarnel::set_BitsPerSample};

constinit const SettingSpec kEncoding{
    .name = "Encoding", .option = "encoding", .kind = SettingKind::Keyword, .keywords = kEncodingWords,
    .keywordsOnly = true, .defaultValue = {.integer = ENC_PCM}, .refusal = ErrorText::kEncoding, .format = true,
    .description = "PCM, or G.711 mu-law or A-law: one byte a sample",
    .getInteger = &CVarnel::get_Encoding, .setInteger = &CVarnel::set_Encoding};

// A level above full scale is not refused: the setter stores -1 dB instead.
constinit const SettingSpec kAmplitude{
    .name = "Amplitude", .option = "amplitude", .kind = SettingKind::Number, .defaultValue = {.number = -6.0f},
    .refusal = ErrorText::kAmplitudeNaN, .unit = "DB", .description = "level in dB relative to full scale",
    .getNumber = &CVarnel::get_Amplitude, .setNumber = &CVarnel::set_Amplitude};

// The DTMF times store any value; a request refuses negative ones when it is queued.
constinit const SettingSpec kDtmfToneTime{
    .name = "DTMF_ToneTime", .option = "dtmf-tone", .kind = SettingKind::Integer,
    .renderMinimum = 0, .defaultValue = {.integer = 80},
    .unit = "MS", .description = "DTMF tone time",
    .getInteger = &CVarnel::get_DTMF_ToneTime, .setInteger = &CVarnel::set_DTMF_ToneTime};

constinit const SettingSpec kDtmfBreakTime{
    .name = "DTMF_BreakTime", .option = "dtmf-break", .kind = SettingKind::Integer,
    .renderMinimum = 0, .defaultValue = {.integer = 150},
    .unit = "MS", .description = "DTMF break time",
    .getInteger = &CVarnel::get_DTMF_BreakTime, .setInteger = &CVarnel::set_DTMF_BreakTime};

constinit const SettingSpec kDtmfPauseTime{
    .name = "DTMF_PauseTime", .option = "dtmf-pause", .kind = SettingKind::Integer,
    .renderMinimum = 0, .defaultValue = {.integer = 400},
    .unit = "MS", .description = "DTMF pause time for ','",
    .getInteger = &CVarnel::get_DTMF_PauseTime, .setInteger = &CVarnel::set_DTMF_PauseTime};

// 3 and 4 are Baudot with the second and third figures tables. Refused without a text.
constinit const SettingSpec kTtyMode{
    .name = "TTY_Mode", .option = "tty-mode", .kind = SettingKind::Keyword, .keywords = kTtyModeWords,
    .minimum = 0, .maximum = 4, .defaultValue = {.integer = Baudot_Mode},
    .description = "TTY coding; 3 and 4: Baudot with other figures tables",
    .getInteger = &CVarnel::get_TTY_Mode, .setInteger = &CVarnel::set_TTY_Mode};

// Stores any index; the TTY encoder keeps 45.45 baud for one it does not know.
constinit const SettingSpec kTtyRate{
    .name = "TTY_Rate", .option = "tty-rate", .kind = SettingKind::NumberKeyword, .keywords = kTtyRateWords,
    .defaultValue = {.integer = BR_45_45_Baud}, .description = "TTY bit rate in baud",
    .getInteger = &CVarnel::get_TTY_Rate, .setInteger = &CVarnel::set_TTY_Rate};

// Stores any value; GenerateCallerID refuses one it does not know.
constinit const SettingSpec kCidFormat{
    .name = "CID_Format", .option = "cid-format", .kind = SettingKind::Keyword, .keywords = kCidFormatWords,
    .defaultValue = {.integer = CID_MDMF}, .description = "Caller-ID message layout",
    .getInteger = &CVarnel::get_CID_Format, .setInteger = &CVarnel::set_CID_Format};

constinit const SettingSpec kCidBitTiming{
    .name = "CID_BitTiming", .option = "cid-timing", .kind = SettingKind::Keyword, .keywords = kCidTimingWords,
    .keywordsOnly = true, .defaultValue = {.integer = CBT_WholeSamples}, .description = "Caller-ID bit timing",
    .getInteger = &CVarnel::get_CID_BitTiming, .setInteger = &CVarnel::set_CID_BitTiming};

constinit const SettingSpec kTtyFigsAfterSpace{
    .name = "TTY_FigsAfterSpace", .option = "tty-figs-after-space", .kind = SettingKind::Flag,
    .keywords = kFlagWords, .keywordsOnly = true, .defaultValue = {.integer = 0},
    .description = "send FIGS again before the first figure after a space",
    .getInteger = &CVarnel::get_TTY_FigsAfterSpace, .setInteger = &CVarnel::set_TTY_FigsAfterSpace};

constinit const SettingSpec kCidStandard{
    .name = "CID_Standard", .option = "cid-standard", .kind = SettingKind::Keyword, .keywords = kCidStandardWords,
    .keywordsOnly = true, .defaultValue = {.integer = CS_Bell202}, .refusal = ErrorText::kCidStandard,
    .description = "Caller-ID standard: Bell 202, ETSI, BT, NTT or DTMF",
    .getInteger = &CVarnel::get_CID_Standard, .setInteger = &CVarnel::set_CID_Standard};

constinit const SettingSpec kCidAlert{
    .name = "CID_Alert", .option = "cid-alert", .kind = SettingKind::Keyword, .keywords = kCidAlertWords,
    .keywordsOnly = true, .defaultValue = {.integer = CA_None}, .refusal = ErrorText::kCidAlert,
    .description = "before Caller-ID: nothing, the dual-tone alert (BT's standard always has it), or call waiting",
    .getInteger = &CVarnel::get_CID_Alert, .setInteger = &CVarnel::set_CID_Alert};

// The high group's level above the low group's; the low group keeps the level set.
constinit const SettingSpec kDtmfTwist{
    .name = "DTMF_Twist", .option = "dtmf-twist", .kind = SettingKind::Number, .lowest = -20.0f, .highest = 20.0f,
    .defaultValue = {.number = 0.0f}, .refusal = ErrorText::kDtmfTwist, .unit = "DB",
    .description = "DTMF high-group level above the low group's, -20 to 20",
    .getNumber = &CVarnel::get_DTMF_Twist, .setNumber = &CVarnel::set_DTMF_Twist};

constinit const SettingSpec kToneModulationDepth{
    .name = "TONE_ModulationDepth", .option = "tone-modulation-depth", .kind = SettingKind::Integer,
    .minimum = 0, .maximum = 100, .defaultValue = {.integer = 90}, .refusal = ErrorText::kModulationDepth,
    .unit = "PERCENT", .description = "depth of the F*M tones of patterns and tone plans",
    .getInteger = &CVarnel::get_TONE_ModulationDepth, .setInteger = &CVarnel::set_TONE_ModulationDepth};

constinit const SettingSpec kToneLevelPerTone{
    .name = "TONE_LevelPerTone", .option = "level-per-tone", .kind = SettingKind::Flag, .keywords = kFlagWords,
    .keywordsOnly = true, .defaultValue = {.integer = 0}, .refusal = ErrorText::kLevelPerTone,
    .description = "Amplitude is the level of each tone, not of the mean of the tones sounding together",
    .getInteger = &CVarnel::get_TONE_LevelPerTone, .setInteger = &CVarnel::set_TONE_LevelPerTone};

namespace {

constexpr std::array<const SettingSpec*, 17> kAll = {
    &kSampleRate, &kBitsPerSample, &kEncoding, &kAmplitude, &kDtmfToneTime, &kDtmfBreakTime, &kDtmfPauseTime,
    &kTtyMode,    &kTtyRate,       &kCidFormat, &kCidBitTiming, &kTtyFigsAfterSpace, &kCidStandard, &kCidAlert,
    &kDtmfTwist,  &kToneModulationDepth, &kToneLevelPerTone};

}  // namespace

std::span<const SettingSpec* const> All() { return kAll; }

const SettingSpec* ByOption(std::string_view option) {
    for (const SettingSpec* setting : kAll) {
        if (setting->option == option) return setting;
    }
    return nullptr;
}

bool Accepts(const SettingSpec& setting, std::int32_t value) {
    if (!setting.keywordsOnly) return setting.minimum <= value && value <= setting.maximum;
    for (const SettingKeyword& keyword : setting.keywords) {
        if (keyword.value == value) return true;
    }
    return false;
}

bool Accepts(const SettingSpec& setting, float value) {
    return !std::isnan(value) && setting.lowest <= value && value <= setting.highest;
}

std::string_view KeywordOf(const SettingSpec& setting, std::int32_t value) {
    for (const SettingKeyword& keyword : setting.keywords) {
        if (keyword.value == value) return keyword.word;
    }
    return {};
}

HRESULT Apply(CVarnel& engine, const SettingSpec& setting, const SettingValue& value) {
    if (setting.kind == SettingKind::Number) {
        return setting.setNumber ? (engine.*setting.setNumber)(value.number) : E_INVALIDARG;
    }
    return setting.setInteger ? (engine.*setting.setInteger)(value.integer) : E_INVALIDARG;
}

HRESULT Read(CVarnel& engine, const SettingSpec& setting, SettingValue* value) {
    if (!value) return E_INVALIDARG;
    if (setting.kind == SettingKind::Number) {
        return setting.getNumber ? (engine.*setting.getNumber)(&value->number) : E_INVALIDARG;
    }
    return setting.getInteger ? (engine.*setting.getInteger)(&value->integer) : E_INVALIDARG;
}

}  // namespace Quorvex::VarnelNet::SettingsCatalog
