#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "varnel/script/Labels.h"

namespace Quorvex::VarnelNet::Script {

// Where a rendering sounds: the samples within a label other than a silence (a key's tone time,
// a tone's on-time, an FSK message's bits), of every label list followed, so that a tone's own
// zero crossings count and its off-time, a key's break and a pattern's pauses do not. The lists
// grow as the engines report each request's symbols, which they do before its first sample.
class SoundingSpans {
public:
    // The labels of a rendering, read as they are added.
    void Follow(const std::vector<Label>& labels);
    // Sets in[i] to whether sample first + i sounds. The blocks come in order, each once the
    // requests it overlaps have started.
    void Mark(std::uint64_t first, std::span<std::uint8_t> in);

private:
    struct Source {
        const std::vector<Label>* labels;
        std::size_t taken;
    };
    struct Span {
        std::uint64_t first;
        std::uint64_t end;  // the sample after its last
    };
    std::vector<Source> m_sources;
    std::vector<Span> m_open;  // sounding spans not yet passed
};

}  // namespace Quorvex::VarnelNet::Script
