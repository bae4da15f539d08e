#pragma once

#include <string>
#include <string_view>

#include "varnel/Varnel.h"

namespace Quorvex::VarnelNet::Cli {

// One component setting with its value, parsed from an option or a set: request. Names, words
// and value kinds are those of the settings catalog (varnel/engine/SettingsCatalog.h).
struct Setting {
    const SettingSpec* spec = nullptr;
    SettingValue value;
    std::string text;  // as written, "NAME=VALUE", for messages
};

// The setting of that option name ("amplitude", "tty-rate", ...); throws UsageError for an
// unknown name or a value that does not fit the setting. Messages name the setting as prefix +
// name ("--rate", "set:rate").
Setting ParseSetting(std::string_view name, std::string_view value, std::string_view prefix = "--");

// True when the name is one of the settings (so "--NAME VALUE" is a setting option).
bool IsSettingName(std::string_view name);

// True when "--NAME" is a setting option that takes no value (a flag: it means 1).
bool IsFlagSetting(std::string_view name);

// The option names of every setting, separated by ", ".
std::string SettingNames();

// Sets it on the component; the component's exceptions pass through.
void ApplySetting(Varnel& varnel, const Setting& setting);

// True for the settings that make up the output format (rate, bits, encoding).
bool ChangesFormat(const Setting& setting);

// The help text of a setting's option: "--NAME VALUE", what it does and its default, in one
// line or two; shortOption is its letter, or 0 when it has none.
std::string SettingHelp(const SettingSpec& setting, char shortOption);

}  // namespace Quorvex::VarnelNet::Cli
