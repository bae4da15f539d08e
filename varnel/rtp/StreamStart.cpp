#include "varnel/rtp/StreamStart.h"

#include <random>

namespace Quorvex::VarnelNet::Rtp {

namespace {

std::uint64_t SystemSeed() {
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

}  // namespace

StreamStarts::StreamStarts(std::optional<std::uint64_t> seed) : m_words(seed ? *seed : SystemSeed()) {}

StreamStart StreamStarts::Next() {
    StreamStart start;
    start.ssrc = static_cast<std::uint32_t>(m_words.Next() >> 32);
    start.sequence = static_cast<std::uint16_t>(m_words.Next() >> 48);
    start.timestamp = static_cast<std::uint32_t>(m_words.Next() >> 32);
    return start;
}

}  // namespace Quorvex::VarnelNet::Rtp
