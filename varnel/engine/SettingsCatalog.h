#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <string_view>

#include "varnel/platform/HResult.h"

namespace Quorvex::VarnelNet {

class CVarnel;

// How a setting's value is written, and which type carries it.
enum class SettingKind : std::uint8_t {
    Integer,        // a 32-bit integer
    Number,         // a 32-bit float
    Keyword,        // an integer named by one of the keywords
    NumberKeyword,  // an integer named by one of the keywords, which are numbers compared as
                    // numbers ("74.2" names the same value as "74.20")
    Flag,           // 0 or 1; as a tool option without a value it means 1
};

struct SettingKeyword {
    std::string_view word;
    std::int32_t value;
};

// A setting's value: `number` for SettingKind::Number, `integer` for every other kind.
struct SettingValue {
    std::int32_t integer = 0;
    float number = 0.0f;
};

// One setting of the engine, described once: the engine's accessors check their values
// against it, the component applies it by row, and the command-line tool takes its option
// name, words and parsing from it.
struct SettingSpec {
    std::string_view name;                     // the component property, e.g. "SampleRate"
    std::string_view option;                   // the tool's option and set: name, e.g. "rate"
    SettingKind kind = SettingKind::Integer;
    std::span<const SettingKeyword> keywords;  // the words of the keyword kinds and of Flag
    // The integers the engine stores: those from minimum to maximum, or with keywordsOnly
    // only the keywords' values. A Number is stored unless it is NaN.
    std::int32_t minimum = std::numeric_limits<std::int32_t>::min();
    std::int32_t maximum = std::numeric_limits<std::int32_t>::max();
    // The floats a SettingKind::Number stores: those from lowest to highest, never NaN.
    float lowest = -std::numeric_limits<float>::infinity();
    float highest = std::numeric_limits<float>::infinity();
    bool keywordsOnly = false;
    // The least integer requests render with, where the engine stores lower ones and refuses
    // them only when a request is queued (the DTMF times): front ends refuse those as soon as
    // the setting is written.
    std::int32_t renderMinimum = std::numeric_limits<std::int32_t>::min();
    SettingValue defaultValue;
    // The text stored with E_INVALIDARG when a value is refused; nullptr: the error store is
    // left as it was.
    const char* refusal = nullptr;
    // Part of the output format: refused with E_FAIL while a file generation is open.
    bool format = false;
    std::string_view unit;         // the value's placeholder in the tool's help, e.g. "HZ"
    std::string_view description;  // what it does, for the tool's help
    HRESULT (CVarnel::*getInteger)(std::int32_t*) = nullptr;
    HRESULT (CVarnel::*setInteger)(std::int32_t) = nullptr;
    HRESULT (CVarnel::*getNumber)(float*) = nullptr;
    HRESULT (CVarnel::*setNumber)(float) = nullptr;
};

namespace SettingsCatalog {

// The highest sample rate: every integer up to it is exact as a float.
inline constexpr std::int32_t kMaxSampleRate = 16777216;

extern const SettingSpec kSampleRate;
extern const SettingSpec kBitsPerSample;
extern const SettingSpec kEncoding;
extern const SettingSpec kAmplitude;
extern const SettingSpec kDtmfToneTime;
extern const SettingSpec kDtmfBreakTime;
extern const SettingSpec kDtmfPauseTime;
extern const SettingSpec kTtyMode;
extern const SettingSpec kTtyRate;
extern const SettingSpec kCidFormat;
extern const SettingSpec kCidBitTiming;
extern const SettingSpec kTtyFigsAfterSpace;
extern const SettingSpec kCidStandard;
extern const SettingSpec kCidAlert;
extern const SettingSpec kDtmfTwist;
extern const SettingSpec kToneModulationDepth;
extern const SettingSpec kToneLevelPerTone;

// Every setting, in the order the tool's help lists them.
std::span<const SettingSpec* const> All();

// The setting with that tool option name, or nullptr.
const SettingSpec* ByOption(std::string_view option);

// Whether the engine stores the value (SettingKind::Number takes the float overload).
bool Accepts(const SettingSpec& setting, std::int32_t value);
bool Accepts(const SettingSpec& setting, float value);

// The keyword naming the value, or an empty text when none does.
std::string_view KeywordOf(const SettingSpec& setting, std::int32_t value);

// Calls the setting's engine setter with the value of its kind; E_INVALIDARG for a row without
// a setter.
HRESULT Apply(CVarnel& engine, const SettingSpec& setting, const SettingValue& value);

// Calls the setting's engine getter into the member of its kind; E_INVALIDARG for a row
// without a getter or a null value.
HRESULT Read(CVarnel& engine, const SettingSpec& setting, SettingValue* value);

}  // namespace SettingsCatalog

}  // namespace Quorvex::VarnelNet
