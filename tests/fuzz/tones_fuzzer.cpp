// The tone-step notation ("350|440@1000,0@500"): the whole input is one notation, given to
// the engine's GenerateTones (each byte one UTF-16 unit) and as a tones: request of the request
// language, whose canonical text must parse back to the same steps; what either accepts is
// queued and pulled.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Drain.h"
#include "FuzzScript.h"
#include "varnel/script/Parser.h"
#include "varnel/script/Printer.h"
#include "varnel/script/RequestError.h"

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

void RenderAsRequest(std::string_view notation) {
    Script::Request request;
    try {
        request = Script::ParseRequest("tones:" + std::string(notation));
    } catch (const Script::RequestError&) {
        return;
    }
    Fuzz::Require(Script::ParseRequest(Script::Print(request)) == request, "a tones: request that does not print back");
    Varnel varnel;
    varnel.GenerateBegin();
    try {
        varnel.Generate(request);
    } catch (const Exception&) {
        // Refused by the component.
    }
    Fuzz::PullBudget budget(kMaxPullBytes, kMaxPulls);
    Fuzz::Drain(varnel, budget, true);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view notation(reinterpret_cast<const char*>(data), size);
    RenderWithEngine(notation);
    RenderAsRequest(notation);
    return 0;
}
