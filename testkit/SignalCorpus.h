#pragma once

#include <span>
#include <string_view>

#include "testkit/Corpus.h"

namespace Quorvex::VarnelNet::Kit {

// The clips of Caller-ID and TTY corpora (ClipAt renders DTMF ones itself): each clip's
// standard or mode, its message or text and its values drawn from the recipe with a generator
// seeded with the recipe's seed and the clip's index.

// "bell-sdmf", "bell-mdmf", "bell-vmwi", "etsi-dtas", "etsi" (no alert: the audio of a message
// after the first ring or a ring-pulse alert), "bt", "ntt", "dtmf".
std::span<const std::string_view> CallerIdStandards();

Clip CallerIdClipAt(const CorpusRecipe& recipe, std::size_t index);
Clip TtyClipAt(const CorpusRecipe& recipe, std::size_t index);

}  // namespace Quorvex::VarnelNet::Kit
