// The tone-pattern notation of the tone tables ("400*25/400,0/200,!950/330,0"): the whole
// input is one pattern, parsed by the signal core, queued by the engine's GeneratePattern (each
// byte one UTF-16 unit) and as a pattern: request of the request language, whose canonical text
// must parse back to the same pattern; what is accepted is pulled.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Drain.h"
#include "FuzzScript.h"
#include "varnel/script/Parser.h"
#include "varnel/script/Printer.h"
#include "varnel/script/RequestError.h"
#include "varnel/signal/TonePattern.h"

namespace {

using namespace Quorvex::VarnelNet;

constexpr std::int64_t kMaxPullBytes = 4 << 20;
constexpr int kMaxPulls = 64;
constexpr std::int32_t kDurationMs = 2000;
constexpr std::int32_t kSampleRate = 8000;

void Parse(std::string_view text) {
    TonePattern pattern;
    std::string error;
    if (ParseTonePattern(text, pattern, error)) {
        Fuzz::Require(!pattern.elements.empty(), "an accepted pattern without elements");
        PatternSteps(pattern, kDurationMs);
    } else {
        Fuzz::Require(pattern.elements.empty() && !error.empty(), "a refused pattern without its text");
    }
}

void RenderWithEngine(std::string_view text) {
    CVarnel engine;
    engine.set_SampleRate(kSampleRate);
    engine.GenerateBegin(nullptr);
    const std::u16string wide(text.begin(), text.end());
    std::int32_t id = 0;
    engine.GeneratePattern(wide.c_str(), kDurationMs, &id);
    Fuzz::PullBudget budget(kMaxPullBytes, kMaxPulls);
    Fuzz::Drain(engine, budget, true);
}

void RenderAsRequest(std::string_view text) {
    Script::Request request;
    try {
        request = Script::ParseRequest("pattern:" + std::string(text));
    } catch (const Script::RequestError&) {
        return;
    }
    Fuzz::Require(Script::ParseRequest(Script::Print(request)) == request, "a pattern that does not print back");
    Varnel varnel;
    varnel.SampleRate(kSampleRate);
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
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Parse(text);
    RenderWithEngine(text);
    RenderAsRequest(text);
    return 0;
}
