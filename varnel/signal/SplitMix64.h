#pragma once

#include <cstdint>

namespace Quorvex::VarnelNet {

// SplitMix64 (Steele, Lea and Flood, 2014): a 64-bit state advanced by 0x9E3779B97F4A7C15 and
// mixed by two xor-shift-multiply rounds. The same seed gives the same numbers on every build:
// the line's noise and the RTP streams' starts are drawn from it.
class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next();
    // Uniform in [0, 1): the top 53 bits of the next number.
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

private:
    std::uint64_t m_state;
};

}  // namespace Quorvex::VarnelNet
