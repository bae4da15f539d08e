#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "varnel/rtp/Endpoint.h"

namespace Quorvex::VarnelNet::Rtp {

// The headers UDP datagrams travel under on Ethernet: an Ethernet II frame (locally
// administered addresses 02:00:00:00:00:01 to :02) holding IPv4 (don't fragment, TTL 64, DSCP
// EF as voice media have it, an identification counting from 1, the header checksum) or IPv6
// (hop limit 64, the same traffic class) and UDP with its checksum over the pseudo-header.
class DatagramFramer {
public:
    // The headers' sizes and the numbers that name what they carry.
    static constexpr std::size_t kEthernetBytes = 14;
    static constexpr std::size_t kIpv4Bytes = 20;  // without options
    static constexpr std::size_t kIpv6Bytes = 40;  // without extension headers
    static constexpr std::size_t kUdpBytes = 8;
    static constexpr std::uint16_t kEtherTypeIpv4 = 0x0800;
    static constexpr std::uint16_t kEtherTypeIpv6 = 0x86DD;
    static constexpr std::uint8_t kUdpProtocol = 17;
    // Ethernet, IPv6 and UDP: the most header bytes a datagram gets.
    static constexpr std::size_t kMostHeaderBytes = kEthernetBytes + kIpv6Bytes + kUdpBytes;

    // The headers of the datagrams from one endpoint to another (of one address family), made
    // once: a datagram patches in only its lengths, identification and checksums.
    class Route {
    public:
        Route(const Endpoint& from, const Endpoint& to);

    private:
        friend class DatagramFramer;
        bool m_ipv6;
        std::size_t m_headerBytes;  // Ethernet, IP and UDP
        std::array<std::uint8_t, kMostHeaderBytes> m_header{};
        std::uint64_t m_ipSum = 0;   // of the IPv4 header without its lengths and identification
        std::uint64_t m_udpSum = 0;  // of the pseudo-header and the UDP header without the lengths
    };

    // The headers of the next datagram along the route carrying payload, which go before it
    // in the frame; valid until the next call.
    std::span<const std::uint8_t> Headers(const Route& route, std::span<const std::uint8_t> payload);

private:
    std::uint16_t m_identification = 1;
    std::array<std::uint8_t, kMostHeaderBytes> m_headers{};
};

}  // namespace Quorvex::VarnelNet::Rtp
