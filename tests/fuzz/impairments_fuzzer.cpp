// Impairments and mixes: each line is "NAME VALUE" for an impairment option (--noise, --dropout,
// ...), "mix SCRIPT", "mix-dbm0 LEVEL" or "script SCRIPT" (the requests; several lines add up).
// What parses is rendered with labels within a budget, twice in blocks of different sizes:
// both must give the bytes measured, the same bytes, and labels within them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzScript.h"
#include "varnel/platform/DecimalText.h"
#include "varnel/script/Parser.h"
#include "varnel/script/Rendering.h"
#include "varnel/script/RequestError.h"

namespace {

using namespace Quorvex::VarnelNet;

constexpr std::size_t kMaxCommands = 32;
constexpr std::uint64_t kMaxBytes = 1 << 20;

// The bytes of a rendering pulled in blocks of `block` bytes, or nothing past the budget.
std::vector<std::uint8_t> Render(const Script::RenderOptions& options, const Script::Requests& requests, std::size_t block) {
    Script::Rendering rendering(options, requests);
    if (rendering.TotalBytes() > kMaxBytes) return {};
    std::vector<std::uint8_t> bytes, piece(block);
    for (std::size_t n; (n = rendering.Pull(piece)) > 0;) {
        Fuzz::Require(n <= block, "a pull reported more bytes than it was offered");
        bytes.insert(bytes.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n));
    }
    Fuzz::Require(bytes.size() == rendering.TotalBytes(), "the bytes rendered differ from the bytes measured");
    const std::uint64_t samples = rendering.TotalBytes() / rendering.Format().nBlockAlign;
    for (const Script::Label& label : rendering.Labels()) {
        Fuzz::Require(label.first < label.end && label.end <= samples, "a label outside the samples rendered");
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Script::RenderOptions options;
    options.labels = true;
    std::string script;
    try {
        for (const Fuzz::Command& command :
             Fuzz::ParseScript(std::string_view(reinterpret_cast<const char*>(data), size), kMaxCommands)) {
            if (command.word == "script") {
                script.append(command.args).append("\n");
            } else if (command.word == "mix") {
                options.mix = Script::Mix{Script::ParseScript(command.args), {}};
            } else if (command.word == "mix-dbm0" && options.mix) {
                float level = 0.0f;
                if (ReadDecimal(command.args, level) == DecimalRead::Number) options.mix->dbm0 = level;
            } else {
                Script::SetImpairment(options.impairments, command.word, command.args);
            }
        }
        const Script::Requests requests = Script::ParseScript(script);
        const std::vector<std::uint8_t> once = Render(options, requests, 8192);
        Fuzz::Require(once == Render(options, requests, 333), "blocks of another size gave other bytes");
    } catch (const Script::RequestError& e) {
        Fuzz::Require(!e.Reason().empty(), "a refusal without its reason");
    }
    return 0;
}
