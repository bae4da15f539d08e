#include "cli/Settings.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "cli/Numbers.h"
#include "cli/Text.h"
#include "cli/UsageError.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

constexpr std::size_t kHelpColumn = 25;

const SettingSpec& SpecOf(std::string_view name) {
    const SettingSpec* spec = SettingsCatalog::ByOption(name);
    if (!spec) throw UsageError("unknown setting '" + std::string(name) + "'");
    return *spec;
}

// "8 or 16", "one of sdmf|mdmf|raw".
std::string Choices(const SettingSpec& spec) {
    if (spec.keywords.size() == 2) {
        return std::string(spec.keywords[0].word) + " or " + std::string(spec.keywords[1].word);
    }
    std::string choices = "one of ";
    for (std::size_t i = 0; i < spec.keywords.size(); ++i) choices.append(i == 0 ? "" : "|").append(spec.keywords[i].word);
    return choices;
}

[[noreturn]] void NotAChoice(const SettingSpec& spec, std::string_view value, const std::string& what) {
    throw UsageError(what + ": '" + Printable(value) + "' is not " + Choices(spec));
}

std::int32_t ParseKeyword(const SettingSpec& spec, std::string_view value, const std::string& what) {
    for (const SettingKeyword& k : spec.keywords) {
        if (k.word == value) return k.value;
    }
    NotAChoice(spec, value, what);
}

// Keywords that are numbers match by value, so that "74.2" and "74.20" name the same rate.
std::int32_t ParseNumberKeyword(const SettingSpec& spec, std::string_view value, const std::string& what) {
    float number = 0.0f;
    try {
        number = ParseFloat(value, what);
    } catch (const UsageError&) {
        NotAChoice(spec, value, what);
    }
    for (const SettingKeyword& k : spec.keywords) {
        float word = 0.0f;
        std::from_chars(k.word.data(), k.word.data() + k.word.size(), word);
        if (std::fabs(number - word) < 0.001f) return k.value;
    }
    NotAChoice(spec, value, what);
}

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
    std::string text = " (" + ValueText(spec, tool);
    if (own) text += "; the component's default is " + ValueText(spec, spec.defaultValue);
    return text + ")";
}

const std::string kNegation = "no-";

}  // namespace

const std::vector<Setting>& ToolDefaults() {
    static const std::vector<Setting> defaults = {ParseSetting("cid-timing", "exact"),
                                                  ParseSetting("tty-figs-after-space", "1")};
    return defaults;
}

SettingValue ToolDefault(const SettingSpec& spec) {
    for (const Setting& setting : ToolDefaults()) {
        if (setting.spec == &spec) return setting.value;
    }
    return spec.defaultValue;
}

std::string ValueText(const SettingSpec& spec, const SettingValue& value) {
    switch (spec.kind) {
        case SettingKind::Integer: return std::to_string(value.integer);
        case SettingKind::Number: {
            char text[32];
            std::snprintf(text, sizeof text, "%g", static_cast<double>(value.number));
            return text;
        }
        case SettingKind::Keyword:
        case SettingKind::NumberKeyword:
        case SettingKind::Flag: break;
    }
    const std::string_view word = SettingsCatalog::KeywordOf(spec, value.integer);
    return word.empty() ? std::to_string(value.integer) : std::string(word);
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

std::string SettingNames() {
    std::string names;
    for (const SettingSpec* spec : SettingsCatalog::All()) {
        names.append(names.empty() ? "" : ", ").append(spec->option);
    }
    return names;
}

Setting ParseSetting(std::string_view name, std::string_view value, std::string_view prefix) {
    const SettingSpec& spec = SpecOf(name);
    Setting s;
    s.spec = &spec;
    s.text = Printable(std::string(name) + "=" + std::string(value));
    const std::string what = std::string(prefix) + std::string(name);
    switch (spec.kind) {
        case SettingKind::Integer: s.value.integer = ParseInt32(value, what); break;
        case SettingKind::Number: s.value.number = ParseFloat(value, what); break;
        case SettingKind::Keyword:
        case SettingKind::Flag: s.value.integer = ParseKeyword(spec, value, what); break;
        case SettingKind::NumberKeyword: s.value.integer = ParseNumberKeyword(spec, value, what); break;
    }
    if (&spec == &SettingsCatalog::kAmplitude && s.value.number > 0.0f) {
        throw UsageError(what + ": '" + Printable(value) + "' is above 0 dB, the full scale: the level must be 0 or below");
    }
    return s;
}

void ApplySetting(Varnel& varnel, const Setting& setting) { varnel.Set(*setting.spec, setting.value); }

bool ChangesFormat(const Setting& setting) { return setting.spec->format; }

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
