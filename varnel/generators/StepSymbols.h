#pragma once

#include <cstddef>
#include <cstdint>

#include "varnel/generators/Symbols.h"
#include "varnel/signal/ToneSequence.h"

namespace Quorvex::VarnelNet {

// A played step of a cadence as a symbol: a tone with its frequencies, or silence, numbered by
// its step; first is its first sample, samples how many it plays.
Symbol StepSymbol(const ToneSequence::Step& step, std::size_t index, std::int64_t first, std::int64_t samples);

}  // namespace Quorvex::VarnelNet
