#include "varnel/facade/Refusals.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "varnel/facade/CAudioDataSource.h"

namespace Quorvex::VarnelNet::Refusal {

std::string ForDestination(const std::string& name) {
    return std::string("Destination must be a ") + kSondixControlTypeName + ", not " + name + ".";
}

namespace {

std::string NameOf(const SettingSpec& setting) {
    return setting.name.empty() ? std::string("This setting") : std::string(setting.name);
}

}  // namespace

std::string ForReading(const SettingSpec& setting) {
    return NameOf(setting) + " cannot be read: the engine has no getter for it.";
}

std::string ForSetting(const SettingSpec& setting) {
    const std::string name = NameOf(setting);
    if (!setting.setInteger && !setting.setNumber) return name + " cannot be set: the engine has no setter for it.";
    if (setting.kind == SettingKind::Number) {
        if (!std::isfinite(setting.lowest) || !std::isfinite(setting.highest)) return name + " must be a number.";
        char range[64];
        std::snprintf(range, sizeof range, " must be from %g to %g.", static_cast<double>(setting.lowest),
                      static_cast<double>(setting.highest));
        return name + range;
    }
    if (setting.keywordsOnly && !setting.keywords.empty()) {
        std::string text = name + " must be ";
        for (std::size_t i = 0; i < setting.keywords.size(); ++i) {
            if (i > 0) text += i + 1 == setting.keywords.size() ? " or " : ", ";
            const std::string value = std::to_string(setting.keywords[i].value);
            text += value;
            if (setting.keywords[i].word != value) text += " (" + std::string(setting.keywords[i].word) + ")";
        }
        return text + ".";
    }
    if (setting.minimum == std::numeric_limits<std::int32_t>::min() &&
        setting.maximum == std::numeric_limits<std::int32_t>::max()) {
        return name + " refused this value.";
    }
    return name + " must be from " + std::to_string(setting.minimum) + " to " + std::to_string(setting.maximum) + ".";
}

}  // namespace Quorvex::VarnelNet::Refusal
