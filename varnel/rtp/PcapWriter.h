#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

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
    // Takes the next bytes of the file (a record comes in two pieces: its headers, its payload).
    using Write = std::function<void(const std::uint8_t* data, std::size_t length)>;

    static constexpr std::size_t kHeaderBytes = 24;
    // A record's bytes besides its datagram's payload, at most: its header, Ethernet, IPv6, UDP.
    static constexpr std::size_t kMostRecordOverhead = 16 + 14 + 40 + 8;

    // The headers of the datagrams from one endpoint to another (of one address family), made
    // once: a record patches in only its lengths, identification and checksums.
    class Route {
    public:
        Route(const Endpoint& from, const Endpoint& to);

    private:
        friend class PcapWriter;
        bool m_ipv6;
        std::size_t m_headerBytes;  // Ethernet, IP and UDP
        std::array<std::uint8_t, 14 + 40 + 8> m_header{};
        std::uint64_t m_ipSum = 0;   // of the IPv4 header without its lengths and identification
        std::uint64_t m_udpSum = 0;  // of the pseudo-header and the UDP header without the lengths
    };

    // Writes the global header through write.
    explicit PcapWriter(Write write);

    // Writes one record: a datagram along the route carrying payload, time-stamped at
    // `microseconds` since 1970 (0 to 2^32 seconds).
    void Record(std::uint64_t microseconds, const Route& route, std::span<const std::uint8_t> payload);

private:
    Write m_write;
    std::uint16_t m_identification = 1;
    std::array<std::uint8_t, kMostRecordOverhead> m_headers{};  // the record's, Ethernet, IP, UDP
};

}  // namespace Quorvex::VarnelNet::Rtp
