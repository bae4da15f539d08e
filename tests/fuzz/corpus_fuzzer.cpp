// What `varnel corpus` and `varnel suite` render: a corpus recipe (JSON), or "suite NAME SEED INDEX"
// for one file of a built-in suite. A recipe that is taken gives clips that render within their
// ranges; the first clips (or the suite's file) are rendered with a budget.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzScript.h"
#include "testkit/Corpus.h"
#include "varnel/script/RequestError.h"

using namespace Quorvex::VarnelNet;

namespace {

constexpr std::uint64_t kMaxBytes = 1 << 20;
constexpr std::size_t kClips = 3;

void RenderClip(const Render::Job& job) {
    Script::Rendering rendering(job.options, job.requests);
    if (rendering.TotalBytes() > kMaxBytes) return;
    std::uint8_t block[4096];
    std::uint64_t total = 0;
    for (std::size_t n; (n = rendering.Pull(block)) > 0;) total += n;
    Fuzz::Require(total == rendering.TotalBytes(), "a clip rendered other than measured");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (input.rfind("suite ", 0) == 0) {
        const Kit::Suite* suite = Kit::FindSuite(Fuzz::Field(input.substr(6), 0));
        if (!suite) return 0;
        const std::size_t index = Fuzz::UInt32(Fuzz::Field(input.substr(6), 2)) % Kit::FileCount(*suite);
        RenderClip(Kit::JobOf(Kit::FileAt(*suite, index, Fuzz::UInt32(Fuzz::Field(input.substr(6), 1))), Kit::SuiteEncoding::MuLaw));
        return 0;
    }
    Kit::CorpusRecipe recipe;
    try {
        recipe = Kit::ReadCorpusRecipe(input);
    } catch (const Kit::CorpusError& e) {
        Fuzz::Require(*e.what() != '\0', "a refusal without its reason");
        return 0;
    }
    for (std::size_t i = 0; i < recipe.clips && i < kClips; ++i) {
        try {
            RenderClip(Kit::ClipAt(recipe, i).job);
        } catch (const Script::RequestError& e) {
            Fuzz::Require(false, e.what());
        }
    }
    return 0;
}
