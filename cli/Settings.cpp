#include "cli/Settings.h"

#include "cli/Text.h"
#include "cli/UsageError.h"
#include "varnel/script/RequestError.h"
#include "varnel/script/SettingText.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

constexpr std::size_t kHelpColumn = 25;

// The value's placeholder in the help: the unit, or the words to choose from.
std::string Placeholder(const SettingSpec& spec) {
    switch (spec.kind) {
        case SettingKind::Keyword:
        case SettingKind::NumberKeyword: {
            std::string words;
            for (const SettingKeyword& k : spec.keywords) words.append(words.empty() ? "" : "|").append(k.word);
            return words;
        }
        case SettingKind::Flag: return "";
        case SettingKind::Integer:
        case SettingKind::Number: break;
    }
    return std::string(spec.unit);
}

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
    try {
        return Script::ParseSetting(*SettingsCatalog::ByOption(name), value, "--" + std::string(name));
    } catch (const Script::RequestError& e) {
        throw UsageError(e.what());
    }
}

bool IsSettingName(std::string_view name) { return SettingsCatalog::ByOption(name) != nullptr; }

const SettingSpec* NegatedFlag(std::string_view name) {
    if (name.substr(0, kNegation.size()) != kNegation) return nullptr;
    const SettingSpec* spec = SettingsCatalog::ByOption(name.substr(kNegation.size()));
    return spec && spec->kind == SettingKind::Flag ? spec : nullptr;
}

bool IsFlagSetting(std::string_view name) {
    const SettingSpec* spec = SettingsCatalog::ByOption(name);
    return spec && spec->kind == SettingKind::Flag;
}

std::string SettingHelp(const SettingSpec& spec, char shortOption) {
    std::string line(6, ' ');
    if (shortOption) {
        line[2] = '-';
        line[3] = shortOption;
        line[4] = ',';
    }
    line.append("--").append(spec.option);
    if (const std::string placeholder = Placeholder(spec); !placeholder.empty()) line.append(" ").append(placeholder);
    // The description, wrapped in its column, starts on the option's line when there is room.
    const std::string description = Wrapped(std::string(spec.description) + DefaultText(spec), kHelpColumn);
    if (line.size() < kHelpColumn) return line + description.substr(line.size());
    return line + "\n" + description;
}

}  // namespace Quorvex::VarnelNet::Cli
