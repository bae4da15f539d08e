#include "varnel/script/SoundingSpans.h"

#include <algorithm>

namespace Quorvex::VarnelNet::Script {

void SoundingSpans::Follow(const std::vector<Label>& labels) { m_sources.push_back({&labels, 0}); }

void SoundingSpans::Mark(std::uint64_t first, std::span<std::uint8_t> in) {
    for (Source& source : m_sources) {
        for (; source.taken < source.labels->size(); ++source.taken) {
            const Label& label = (*source.labels)[source.taken];
            if (label.symbol != SymbolKind::Silence) m_open.push_back({label.first, label.end});
        }
    }
    std::fill(in.begin(), in.end(), std::uint8_t{0});
    const std::uint64_t end = first + in.size();
    std::size_t kept = 0;
    for (const Span& span : m_open) {
        if (span.first < end && span.end > first) {
            const std::uint64_t from = std::max(span.first, first) - first;
            const std::uint64_t to = std::min(span.end, end) - first;
            std::fill(in.begin() + static_cast<std::ptrdiff_t>(from), in.begin() + static_cast<std::ptrdiff_t>(to), std::uint8_t{1});
        }
        if (span.end > end) m_open[kept++] = span;
    }
    m_open.resize(kept);
}

}  // namespace Quorvex::VarnelNet::Script
