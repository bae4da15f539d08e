#include "varnel/signal/AsyncFramer.h"

#include <bit>

namespace Quorvex::VarnelNet {

void AsyncFrame::Append(FskSymbols& symbols, std::uint32_t value) const {
    const std::uint32_t data = value & ((1u << dataBits) - 1u);
    symbols.push_back(FskSymbol::kSpace);
    for (int k = 0; k < dataBits; ++k) symbols.push_back(static_cast<std::uint8_t>((data >> k) & 1u));
    if (parity != Parity::None) {
        const bool odd = (std::popcount(data) & 1) != 0;
        // Even parity makes the ones even, odd parity makes them odd.
        symbols.push_back(static_cast<std::uint8_t>((parity == Parity::Even) == odd ? 1 : 0));
    }
    symbols.push_back(FskSymbol::kMark);
    if (stopBits == StopBits::Two) symbols.push_back(FskSymbol::kMark);
    if (stopBits == StopBits::OneAndHalf) symbols.push_back(FskSymbol::kMark | FskSymbol::kHalf);
}

void AppendMarks(FskSymbols& symbols, int count) { symbols.insert(symbols.end(), static_cast<std::size_t>(count), FskSymbol::kMark); }

void AppendAlternating(FskSymbols& symbols, int count) {
    for (int k = 0; k < count; ++k) symbols.push_back(static_cast<std::uint8_t>(k % 2));
}

void AppendSilence(FskSymbols& symbols, int count) {
    symbols.insert(symbols.end(), static_cast<std::size_t>(count), FskSymbol::kSilent);
}

}  // namespace Quorvex::VarnelNet
