#include "varnel/options/Refusal.h"

#include "varnel/platform/PrintableText.h"

namespace Quorvex::VarnelNet::Option {

Refusal Together(std::string reason) {
    const std::size_t open = reason.find('{');
    std::string first = reason.substr(open + 1, reason.find('}', open) - open - 1);
    return Refusal{std::move(first), "", std::move(reason), {}, true};
}

std::string Spelled(const Refusal& refusal, std::string (*spell)(std::string_view name)) {
    return Script::SpellNames(refusal.reason, spell);
}

std::string NeutralText(const Refusal& refusal) {
    if (refusal.together) return Spelled(refusal, [](std::string_view name) { return std::string(name); });
    if (!refusal.remedies.empty()) {
        std::string text = refusal.option + ": " + refusal.reason + "; ";
        for (std::size_t i = 0; i < refusal.remedies.size(); ++i) text.append(i == 0 ? "" : " or ").append(refusal.remedies[i]);
        return text + (refusal.remedies.size() == 1 ? " is taken" : " are taken");
    }
    return refusal.option + ": '" + Printable(refusal.value) + "' " + refusal.reason;
}

OptionRefused::OptionRefused(Refusal refusal) : Script::RequestError(NeutralText(refusal)), m_refusal(std::move(refusal)) {}

void Refuse(std::string_view option, std::string_view value, std::string reason) {
    throw OptionRefused(Refusal{std::string(option), std::string(value), std::move(reason), {}});
}

}  // namespace Quorvex::VarnelNet::Option
