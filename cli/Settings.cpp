#include "cli/Settings.h"

#include "cli/Text.h"
#include "varnel/options/OptionRegistry.h"
#include "cli/RefusalText.h"
#include "varnel/script/SettingText.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

constexpr std::size_t kHelpColumn = 25;

// "(-6)", or where the tool differs from the component "(exact; the component's default is
// whole)"; a flag says how to turn it off.
std::string DefaultText(const SettingSpec& spec) {
    const SettingValue tool = ToolDefault(spec);
    const bool own = tool.integer != spec.defaultValue.integer || tool.number != spec.defaultValue.number;
    if (spec.kind == SettingKind::Flag) {
        if (tool.integer == 0) return "";
        return std::string(" (on; --no-") + std::string(spec.option) + " turns it off" +
               (own ? ", the component's default" : "") + ")";
    }
    std::string text = " (" + Script::ValueText(spec, tool);
    if (own) text += "; the component's default is " + Script::ValueText(spec, spec.defaultValue);
    return text + ")";
}

const std::string kNegation = "no-";

}  // namespace

SettingValue ToolDefault(const SettingSpec& spec) {
    for (const Script::Set& setting : Script::RenderDefaults()) {
        if (setting.spec == &spec) return setting.value;
    }
    return spec.defaultValue;
}

Script::Set ParseOption(std::string_view name, std::string_view value) {
    Script::Set setting;
    Worded([&] { setting = Script::ParseSetting(*SettingsCatalog::ByOption(name), value, "--" + std::string(name)); });
    return setting;
}

const SettingSpec* NegatedFlag(std::string_view name) {
    if (name.substr(0, kNegation.size()) != kNegation) return nullptr;
    const SettingSpec* spec = SettingsCatalog::ByOption(name.substr(kNegation.size()));
    return spec && spec->kind == SettingKind::Flag ? spec : nullptr;
}

std::string SettingHelp(const VarnelNet::Option::OptionRow& row) {
    const SettingSpec& spec = VarnelNet::Option::SettingOf(row);
    std::string line(6, ' ');
    if (row.letter) {
        line[2] = '-';
        line[3] = row.letter;
        line[4] = ',';
    }
    line.append("--").append(spec.option);
    if (!row.placeholder.empty()) line.append(" ").append(row.placeholder);
    // The description, wrapped in its column, starts on the option's line when there is room.
    const std::string description = Wrapped(std::string(spec.description) + DefaultText(spec), kHelpColumn);
    if (line.size() < kHelpColumn) return line + description.substr(line.size());
    return line + "\n" + description;
}

}  // namespace Quorvex::VarnelNet::Cli
