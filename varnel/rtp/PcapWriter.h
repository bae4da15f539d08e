#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "varnel/rtp/Endpoint.h"

namespace Quorvex::VarnelNet::Rtp {

// libpcap's classic savefile, as readers such as Wireshark and SIPp take it: the global header
// once (microsecond time stamps, version 2.4, link type 1 Ethernet, snapshot length 65535,
// written least significant byte first), then one record per datagram: its time stamp, captured
// length equal to its length, and an Ethernet II frame (locally administered addresses
// 02:00:00:00:00:01 to :02) holding IPv4 (don't fragment, TTL 64, DSCP EF as voice media
// have it, an identification counting from 1, the header checksum) or IPv6 (hop limit 64, the
// same traffic class) and UDP with its checksum over the pseudo-header.
class PcapWriter {
public:
    using Write = std::function<void(const std::uint8_t* data, std::size_t length)>;

    static constexpr std::size_t kHeaderBytes = 24;
    // The frame's bytes around a UDP payload of `payloadBytes`, and the record's own header.
    static std::size_t RecordBytes(bool ipv6, std::size_t payloadBytes);

    // Writes the global header through write.
    explicit PcapWriter(Write write);

    // Writes one record: a datagram from `from` to `to` (both of one address family) carrying
    // payload, time-stamped at `microseconds` since 1970 (0 to 2^32 seconds).
    void Record(std::uint64_t microseconds, const Endpoint& from, const Endpoint& to, std::span<const std::uint8_t> payload);

private:
    Write m_write;
    std::uint16_t m_identification = 1;
    std::vector<std::uint8_t> m_frame;
};

}  // namespace Quorvex::VarnelNet::Rtp
