#pragma once

#include <string>
#include <string_view>

#include "varnel/engine/SettingsCatalog.h"
#include "varnel/options/OptionRow.h"
#include "varnel/script/Request.h"

namespace Quorvex::VarnelNet::Cli {

// The settings as options of the tool: "--NAME VALUE" for every row of the settings catalog
// (varnel/engine/SettingsCatalog.h), "--NAME" and "--no-NAME" for a flag.

// The setting of that option ("rate", "tty-rate", ...) with its value; throws UsageError for a
// value that does not fit the setting, naming the option ("--rate: '0' is not ...").
Script::Set ParseOption(std::string_view name, std::string_view value);

// The value the tool starts from: its own default (the render defaults), or the component's.
SettingValue ToolDefault(const SettingSpec& spec);

// The flag setting that "--no-NAME" turns off, or nullptr when name is not "no-" and a flag.
const SettingSpec* NegatedFlag(std::string_view name);

// The help text of a setting's option, a row of the option registry: "-L, --NAME VALUE", what
// it does and the tool's default (with the component's where they differ), in one line or more.
std::string SettingHelp(const VarnelNet::Option::OptionRow& row);

}  // namespace Quorvex::VarnelNet::Cli
