// The engine's request operations, settings and pulls, driven by a script of EngineScript
// commands, e.g.
//
//   rate 96000
//   tone-time 11184810
//   begin
//   dtmf ,
//   pull 1000
//   pull 1000

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "EngineScript.h"

namespace {

constexpr std::size_t kMaxCommands = 256;
constexpr std::int64_t kMaxPullBytes = 4 << 20;
constexpr int kMaxPulls = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace Quorvex::VarnelNet;
    CVarnel engine;
    Fuzz::PullBudget budget(kMaxPullBytes, kMaxPulls);
    Fuzz::EngineScript script(engine, budget);
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const Fuzz::Command& command : Fuzz::ParseScript(text, kMaxCommands)) script.Run(command);
    return 0;
}
