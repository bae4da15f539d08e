#pragma once

#include <cstdint>
#include <optional>

#include "varnel/signal/SplitMix64.h"

namespace Quorvex::VarnelNet::Rtp {

// Where an RTP stream starts: its synchronisation source, its first sequence number and its
// first timestamp, which RFC 3550 wants random.
struct StreamStart {
    std::uint32_t ssrc = 0;
    std::uint16_t sequence = 0;
    std::uint32_t timestamp = 0;
};

// The starts of a session's streams, drawn in order (the audio stream's first, then the text
// stream's) from SplitMix64 (Steele, Lea and Flood, 2014) seeded with `seed`: each value is
// the high bits of the next 64-bit output (the SSRC and the timestamp its top 32 bits, the
// sequence number its top 16). The same seed gives the same streams on every build; without a
// seed the generator starts from the system's random source.
class StreamStarts {
public:
    explicit StreamStarts(std::optional<std::uint64_t> seed);
    StreamStart Next();

private:
    SplitMix64 m_words;
};

}  // namespace Quorvex::VarnelNet::Rtp
