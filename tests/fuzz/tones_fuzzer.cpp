// The tone-step notation ("350|440@1000,0@500"): the whole input is one notation, given to
// the engine's GenerateTones (each byte one UTF-16 unit) and to the tool's ParseToneNotation;
// what either accepts is queued and pulled.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Drain.h"
#include "FuzzScript.h"
#include "cli/Request.h"
#include "cli/Session.h"
#include "cli/UsageError.h"

namespace {

using namespace Quorvex::VarnelNet;

constexpr std::int64_t kMaxPullBytes = 4 << 20;
constexpr int kMaxPulls = 64;

void RenderWithEngine(std::string_view notation) {
    CVarnel engine;
    engine.GenerateBegin(nullptr);
    const std::u16string wide(notation.begin(), notation.end());
    engine.GenerateTones(wide.c_str());
    Fuzz::PullBudget budget(kMaxPullBytes, kMaxPulls);
    budget.Weigh(Fuzz::TonesPerStep(notation));
    Fuzz::Drain(engine, budget, true);
}

void RenderWithTool(std::string_view notation) {
    Cli::Request request;
    request.kind = Cli::RequestKind::Tones;
    try {
        request.steps = Cli::ParseToneNotation(notation);
    } catch (const Cli::UsageError&) {
        return;
    }
    Varnel varnel;
    varnel.GenerateBegin();
    try {
        Cli::QueueRequest(varnel, request);
    } catch (const Exception&) {
        // Refused by the component, as the tool reports it.
    }
    Fuzz::PullBudget budget(kMaxPullBytes, kMaxPulls);
    Fuzz::Drain(varnel, budget, true);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view notation(reinterpret_cast<const char*>(data), size);
    RenderWithEngine(notation);
    RenderWithTool(notation);
    return 0;
}
