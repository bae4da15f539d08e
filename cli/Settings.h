#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "varnel/Varnel.h"

namespace Quorvex::VarnelNet::Cli {

// The component settings the tool can change, by their option names.
enum class SettingName {
    Amplitude,          // --amplitude DB        -> Amplitude
    Rate,               // --rate HZ             -> SampleRate
    Bits,               // --bits 8|16           -> BitsPerSample
    DtmfTone,           // --dtmf-tone MS        -> DTMF_ToneTime
    DtmfBreak,          // --dtmf-break MS       -> DTMF_BreakTime
    DtmfPause,          // --dtmf-pause MS       -> DTMF_PauseTime
    TtyMode,            // --tty-mode            -> TTY_Mode
    TtyRate,            // --tty-rate            -> TTY_Rate
    CidFormat,          // --cid-format          -> CID_Format
    CidTiming,          // --cid-timing          -> CID_BitTiming
    TtyFigsAfterSpace,  // --tty-figs-after-space -> TTY_FigsAfterSpace
};

// One setting with its value: `number` for the amplitude, `integer` for everything else
// (enumerations as their numeric value).
struct Setting {
    SettingName name = SettingName::Amplitude;
    std::int32_t integer = 0;
    float number = 0.0f;
    std::string text;  // as written, "NAME=VALUE", for messages
};

// The setting of that long-option name ("amplitude", "tty-rate", ...); throws UsageError for an
// unknown name or a value that does not fit the setting. Messages name the setting as prefix +
// name ("--rate", "set:rate").
Setting ParseSetting(std::string_view name, std::string_view value, std::string_view prefix = "--");

// True when the name is one of the settings (so "--NAME VALUE" is a setting option).
bool IsSettingName(std::string_view name);

// Sets it on the component; the component's exceptions pass through.
void ApplySetting(Varnel& varnel, const Setting& setting);

// True for the settings that change the sample format (rate, bits).
bool ChangesFormat(const Setting& setting);

}  // namespace Quorvex::VarnelNet::Cli
