#include "varnel/rtp/StreamStart.h"

#include <random>

namespace Quorvex::VarnelNet::Rtp {

namespace {

std::uint64_t SystemSeed() {
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

}  // namespace

StreamStarts::StreamStarts(std::optional<std::uint64_t> seed) : m_state(seed ? *seed : SystemSeed()) {}

std::uint64_t StreamStarts::NextWord() {
    m_state += 0x9E3779B97F4A7C15ULL;
    std::uint64_t z = m_state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

StreamStart StreamStarts::Next() {
    StreamStart start;
    start.ssrc = static_cast<std::uint32_t>(NextWord() >> 32);
    start.sequence = static_cast<std::uint16_t>(NextWord() >> 48);
    start.timestamp = static_cast<std::uint32_t>(NextWord() >> 32);
    return start;
}

}  // namespace Quorvex::VarnelNet::Rtp
