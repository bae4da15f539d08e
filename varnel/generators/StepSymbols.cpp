#include "varnel/generators/StepSymbols.h"

#include <algorithm>

namespace Quorvex::VarnelNet {

Symbol StepSymbol(const ToneSequence::Step& step, std::size_t index, std::int64_t first, std::int64_t samples) {
    Symbol symbol{.kind = step.toneCount > 0 ? SymbolKind::Tone : SymbolKind::Silence,
                  .first = first,
                  .last = first + samples - 1,
                  .index = static_cast<std::int32_t>(index)};
    symbol.toneCount = std::clamp(step.toneCount, 0, 3);
    for (int k = 0; k < symbol.toneCount; ++k) symbol.hz[static_cast<std::size_t>(k)] = step.tones[static_cast<std::size_t>(k)].hz;
    return symbol;
}

}  // namespace Quorvex::VarnelNet
