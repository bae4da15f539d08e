#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "varnel/Varnel.h"

namespace Quorvex::VarnelNet::Cli {

// One component setting with its value, parsed from an option or a set: request. Names, words
// and value kinds are those of the settings catalog (varnel/engine/SettingsCatalog.h). The level
// (amplitude) must be 0 dB or below: the component would take a positive one as -1 dB.
struct Setting {
    const SettingSpec* spec = nullptr;
    SettingValue value;
    std::string text;  // as written, "NAME=VALUE", for messages
};

// The setting of that option name ("amplitude", "tty-rate", ...); throws UsageError for an
// unknown name or a value that does not fit the setting. Messages name the setting as prefix +
// name ("--rate", "set:rate").
Setting ParseSetting(std::string_view name, std::string_view value, std::string_view prefix = "--");

// The settings the tool starts from where they differ from the component's defaults, so that
// real receivers decode what it renders: Caller-ID at exactly 1200 bit/s (cid-timing exact) and
// FIGS again after a space, as US TTYs expect (tty-figs-after-space 1).
const std::vector<Setting>& ToolDefaults();

// The value the tool starts from: its own default, or the component's.
SettingValue ToolDefault(const SettingSpec& spec);

// The value as its option is written: "8000", "-6", "mdmf", "1".
std::string ValueText(const SettingSpec& spec, const SettingValue& value);

// True when the name is one of the settings (so "--NAME VALUE" is a setting option).
bool IsSettingName(std::string_view name);

// The flag setting that "--no-NAME" turns off, or nullptr when name is not "no-" and a flag.
const SettingSpec* NegatedFlag(std::string_view name);

// True when "--NAME" is a setting option that takes no value (a flag: it means 1).
bool IsFlagSetting(std::string_view name);

// The option names of every setting, separated by ", ".
std::string SettingNames();

// Sets it on the component; the component's exceptions pass through.
void ApplySetting(Varnel& varnel, const Setting& setting);

// True for the settings that make up the output format (rate, bits, encoding).
bool ChangesFormat(const Setting& setting);

// The help text of a setting's option: "--NAME VALUE", what it does and the tool's default
// (with the component's where they differ), in one line or more; shortOption is its letter, or
// 0 when it has none.
std::string SettingHelp(const SettingSpec& setting, char shortOption);

}  // namespace Quorvex::VarnelNet::Cli
