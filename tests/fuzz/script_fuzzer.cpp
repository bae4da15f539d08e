// Scripts of the request language: the whole input is one script. Whatever parses must print
// back to the same requests, one by one and as a whole script; it is then rendered as the tool
// renders it, with labels that must lie within the samples rendered, and queued all or nothing
// by the component's GenerateScript, within a budget.

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

void CheckPrinting(const Script::Requests& requests) {
    std::string script;
    for (const Script::Entry& entry : requests) {
        const std::string text = Script::Print(entry.request);
        Fuzz::Require(Script::ParseRequest(text) == entry.request, "a request that does not print back");
        script.append(Script::Quote(text)).append("\n");
    }
    const Script::Requests again = Script::ParseScript(script);
    Fuzz::Require(again.size() == requests.size(), "a printed script with another number of requests");
    for (std::size_t i = 0; i < again.size(); ++i) {
        Fuzz::Require(again[i].request == requests[i].request, "a printed script that does not parse back");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Script::Requests requests;
    try {
        requests = Script::ParseScript(text);
    } catch (const Script::RequestError& e) {
        Fuzz::Require(!e.Reason().empty(), "a refusal without its reason");
        return 0;
    }
    CheckPrinting(requests);
    try {
        Fuzz::PullBudget budget(kMaxPullBytes, kMaxPulls);
        Script::RenderOptions options;
        options.labels = true;
        Fuzz::Drain(options, requests, budget);
    } catch (const Script::RequestError&) {
    }
    // ttyfile: would read the named file: only scripts without one go to the component.
    for (const Script::Entry& entry : requests) {
        if (std::holds_alternative<Script::TtyFile>(entry.request)) return 0;
    }
    Varnel varnel;
    varnel.GenerateBegin();
    const std::int64_t before = varnel.QueuedBytes();
    try {
        varnel.GenerateScript(text);
    } catch (const ArgumentException&) {
        Fuzz::Require(varnel.QueuedBytes() == before, "a refused script queued something");
    }
    Fuzz::PullBudget budget(kMaxPullBytes, kMaxPulls);
    Fuzz::Drain(varnel, budget, true);
    return 0;
}
