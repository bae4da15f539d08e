#include "cli/RefusalText.h"

#include "varnel/options/OptionRegistry.h"
#include "varnel/platform/PrintableText.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

// "-r 8000", "--ptime 20".
std::string AsOption(const std::string& option, const std::string& value) {
    for (const VarnelNet::Option::OptionRow* row : VarnelNet::Option::Find(option)) {
        if (row->letter) return std::string{'-', row->letter, ' '} + value;
    }
    return "--" + option + " " + value;
}

}  // namespace

std::string ToolName(std::string_view name) { return "--" + std::string(name); }

std::string RefusalText(const VarnelNet::Option::Refusal& refusal) {
    if (refusal.together) return Spelled(refusal, ToolName);
    if (refusal.remedies.empty()) return "--" + refusal.option + ": '" + Printable(refusal.value) + "' " + refusal.reason;
    std::string text = refusal.reason + "; give ";
    for (std::size_t i = 0; i < refusal.remedies.size(); ++i) {
        text.append(i == 0 ? "" : " or ").append(AsOption(refusal.option, refusal.remedies[i]));
    }
    return text;
}

}  // namespace Quorvex::VarnelNet::Cli
