#include "varnel/script/SettingText.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "varnel/engine/CVarnel.h"
#include "varnel/platform/DecimalText.h"
#include "varnel/platform/PrintableText.h"
#include "varnel/script/RequestError.h"
#include "varnel/script/Words.h"

namespace Quorvex::VarnelNet::Script {

namespace {

// The largest magnitude a number setting takes: every integer up to it is exact as a float.
constexpr double kLargestNumber = 16777216.0;

// "8 or 16", "one of sdmf|mdmf|raw".
std::string Choices(const SettingSpec& spec) {
    if (spec.keywords.size() == 2) {
        return std::string(spec.keywords[0].word) + " or " + std::string(spec.keywords[1].word);
    }
    std::string choices = "one of ";
    for (std::size_t i = 0; i < spec.keywords.size(); ++i) choices.append(i == 0 ? "" : "|").append(spec.keywords[i].word);
    return choices;
}

[[noreturn]] void Refuse(std::string_view what, std::string_view value, const std::string& expected) {
    throw RequestError(std::string(what) + ": '" + Printable(value) + "' is not " + expected);
}

std::string Range(double lowest, double highest) {
    return "from " + ShortestText(lowest) + " to " + ShortestText(highest);
}

std::int32_t ReadKeyword(const SettingSpec& spec, std::string_view value, std::string_view what) {
    for (const SettingKeyword& k : spec.keywords) {
        if (SameWord(k.word, value)) return k.value;
    }
    Refuse(what, value, Choices(spec));
}

// Keywords that are numbers match by value, so that "74.2" and "74.20" name the same rate.
std::int32_t ReadNumberKeyword(const SettingSpec& spec, std::string_view value, std::string_view what) {
    double number = 0.0;
    if (ReadDecimal(value, number) == DecimalRead::Number) {
        for (const SettingKeyword& k : spec.keywords) {
            double word = 0.0;
            ReadDecimal(k.word, word);
            if (std::fabs(number - word) < 0.001) return k.value;
        }
    }
    Refuse(what, value, Choices(spec));
}

std::int32_t ReadInteger(const SettingSpec& spec, std::string_view value, std::string_view what) {
    const double lowest = std::max(spec.minimum, spec.renderMinimum);
    const double highest = spec.maximum;
    double number = 0.0;
    if (ReadDecimal(value, number) != DecimalRead::Number || number != std::trunc(number)) {
        Refuse(what, value, "an integer " + Range(lowest, highest));
    }
    if (number < lowest || number > highest) Refuse(what, value, "an integer " + Range(lowest, highest));
    return static_cast<std::int32_t>(number);
}

float ReadNumber(const SettingSpec& spec, std::string_view value, std::string_view what) {
    const double lowest = std::max<double>(spec.lowest, -kLargestNumber);
    const double highest = std::min<double>(spec.highest, kLargestNumber);
    float number = 0.0f;
    if (ReadDecimal(value, number) != DecimalRead::Number) Refuse(what, value, "a number " + Range(lowest, highest));
    if (number < lowest || number > highest) Refuse(what, value, "a number " + Range(lowest, highest));
    return number;
}

// A name as compared: lower case, '_' for '-'.
std::string Folded(std::string_view name) {
    std::string folded;
    for (const char c : name) folded += c == '-' ? '_' : c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return folded;
}

// The property's name in Python's spelling: "CID_BitTiming" is "cid_bit_timing".
std::string SnakeCase(std::string_view property) {
    std::string snake;
    for (std::size_t i = 0; i < property.size(); ++i) {
        const char c = property[i];
        const bool upper = c >= 'A' && c <= 'Z';
        if (upper && i > 0 && property[i - 1] >= 'a' && property[i - 1] <= 'z') snake += '_';
        snake += upper ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return snake;
}

// The option ("cid-standard", also "cid_standard"), the property ("CID_Standard") or its Python
// spelling ("cid_bit_timing" for "CID_BitTiming"), without regard to case.
bool NameMatches(const SettingSpec& spec, std::string_view name) {
    const std::string folded = Folded(name);
    return folded == Folded(spec.option) || folded == Folded(spec.name) || folded == SnakeCase(spec.name);
}

}  // namespace

const SettingSpec* FindSetting(std::string_view name) {
    for (const SettingSpec* spec : SettingsCatalog::All()) {
        if (NameMatches(*spec, name)) return spec;
    }
    return nullptr;
}

Set ParseSetting(const SettingSpec& spec, std::string_view value, std::string_view what) {
    Set s;
    s.spec = &spec;
    switch (spec.kind) {
        case SettingKind::Integer: s.value.integer = ReadInteger(spec, value, what); break;
        case SettingKind::Number: s.value.number = ReadNumber(spec, value, what); break;
        case SettingKind::Keyword:
        case SettingKind::Flag: s.value.integer = ReadKeyword(spec, value, what); break;
        case SettingKind::NumberKeyword: s.value.integer = ReadNumberKeyword(spec, value, what); break;
    }
    if (&spec == &SettingsCatalog::kAmplitude && s.value.number > 0.0f) {
        throw RequestError(std::string(what) + ": '" + Printable(value) +
                           "' is above 0 dB, the full scale: the level must be 0 or below");
    }
    return s;
}

std::string ValueText(const SettingSpec& spec, const SettingValue& value) {
    switch (spec.kind) {
        case SettingKind::Integer: return std::to_string(value.integer);
        case SettingKind::Number: return ShortestText(value.number);
        case SettingKind::Keyword:
        case SettingKind::NumberKeyword:
        case SettingKind::Flag: break;
    }
    const std::string_view word = SettingsCatalog::KeywordOf(spec, value.integer);
    return word.empty() ? std::to_string(value.integer) : std::string(word);
}

Set ParseNamedSetting(std::string_view name, std::string_view value) {
    const SettingSpec* spec = FindSetting(name);
    if (!spec) throw RequestError("unknown setting '" + Printable(name) + "' (" + SettingNames() + ")");
    return ParseSetting(*spec, value, name);
}

std::string SettingNames() {
    std::string names;
    for (const SettingSpec* spec : SettingsCatalog::All()) names.append(names.empty() ? "" : ", ").append(spec->option);
    return names;
}

SettingValues::SettingValues() {
    for (const SettingSpec* spec : SettingsCatalog::All()) m_values.push_back(spec->defaultValue);
}

SettingValues SettingValues::Of(CVarnel& engine) {
    SettingValues values;
    const auto all = SettingsCatalog::All();
    for (std::size_t i = 0; i < all.size(); ++i) SettingsCatalog::Read(engine, *all[i], &values.m_values[i]);
    return values;
}

const SettingValue& SettingValues::Get(const SettingSpec& spec) const {
    const auto all = SettingsCatalog::All();
    return m_values[static_cast<std::size_t>(std::find(all.begin(), all.end(), &spec) - all.begin())];
}

void SettingValues::Apply(const Set& setting) {
    const auto all = SettingsCatalog::All();
    m_values[static_cast<std::size_t>(std::find(all.begin(), all.end(), setting.spec) - all.begin())] = setting.value;
}

HRESULT SettingValues::ApplyTo(CVarnel& engine) const {
    const auto all = SettingsCatalog::All();
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (const HRESULT hr = SettingsCatalog::Apply(engine, *all[i], m_values[i]); FAILED(hr)) return hr;
    }
    return S_OK;
}

const std::vector<Set>& RenderDefaults() {
    static const std::vector<Set> defaults = {
        ParseSetting(SettingsCatalog::kCidBitTiming, "exact", "cid-timing"),
        ParseSetting(SettingsCatalog::kTtyFigsAfterSpace, "1", "tty-figs-after-space")};
    return defaults;
}

}  // namespace Quorvex::VarnelNet::Script
