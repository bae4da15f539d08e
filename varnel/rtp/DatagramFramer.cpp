#include "varnel/rtp/DatagramFramer.h"

#include <cstring>

#include "varnel/rtp/ByteOrder.h"

namespace Quorvex::VarnelNet::Rtp {

namespace {

constexpr std::size_t kEthernet = DatagramFramer::kEthernetBytes;
constexpr std::size_t kIpv4 = DatagramFramer::kIpv4Bytes;
constexpr std::size_t kIpv6 = DatagramFramer::kIpv6Bytes;
constexpr std::size_t kUdp = DatagramFramer::kUdpBytes;
constexpr std::uint8_t kHops = 64;

// The one's complement sum of RFC 1071 over bytes that are 16-bit words in network order (an
// odd last byte padded with zero), added to sum. The sum comes out the same in either byte
// order, so the words are added as native 32-bit words (two of them a load) into 64 bits and
// folded at the end:
// stored back in native order (Store), the result is in network order.
std::uint64_t Add(std::uint64_t sum, const std::uint8_t* data, std::size_t length) {
    for (; length >= 8; data += 8, length -= 8) {
        std::uint64_t words;
        std::memcpy(&words, data, 8);
        sum += (words & 0xFFFFFFFF) + (words >> 32);
    }
    if (length >= 4) {
        std::uint32_t word;
        std::memcpy(&word, data, 4);
        sum += word;
        data += 4;
        length -= 4;
    }
    if (length > 0) {
        std::uint8_t last[4] = {};
        std::memcpy(last, data, length);
        std::uint32_t word;
        std::memcpy(&word, last, 4);
        sum += word;
    }
    return sum;
}

// Stores the complement of the folded sum (0 as 0xFFFF where zeroIsAll, as UDP needs).
void Store(std::uint8_t* at, std::uint64_t sum, bool zeroIsAll) {
    sum = (sum & 0xFFFFFFFF) + (sum >> 32);
    sum = (sum & 0xFFFF) + (sum >> 16);
    sum = (sum & 0xFFFF) + (sum >> 16);
    sum = (sum & 0xFFFF) + (sum >> 16);
    auto checksum = static_cast<std::uint16_t>(~sum & 0xFFFF);
    if (checksum == 0 && zeroIsAll) checksum = 0xFFFF;
    std::memcpy(at, &checksum, 2);
}

}  // namespace

DatagramFramer::Route::Route(const Endpoint& from, const Endpoint& to)
    : m_ipv6(to.ipv6), m_headerBytes(kEthernet + (to.ipv6 ? kIpv6 : kIpv4) + kUdp) {
    std::uint8_t* ethernet = m_header.data();
    const std::uint8_t destinationMac[6] = {0x02, 0, 0, 0, 0, 0x02};
    const std::uint8_t sourceMac[6] = {0x02, 0, 0, 0, 0, 0x01};
    std::memcpy(ethernet, destinationMac, 6);
    std::memcpy(ethernet + 6, sourceMac, 6);
    PutBig16(ethernet + 12, m_ipv6 ? kEtherTypeIpv6 : kEtherTypeIpv4);
    std::uint8_t* ip = ethernet + kEthernet;
    if (m_ipv6) {
        PutBig32(ip, 0x60000000U | static_cast<std::uint32_t>(kExpeditedForwarding) << 20);
        ip[6] = kUdpProtocol;
        ip[7] = kHops;
        std::memcpy(ip + 8, from.address.data(), 16);
        std::memcpy(ip + 24, to.address.data(), 16);
        m_udpSum = Add(0, ip + 8, 32);
    } else {
        ip[0] = 0x45;
        ip[1] = kExpeditedForwarding;
        PutBig16(ip + 6, 0x4000);  // don't fragment
        ip[8] = kHops;
        ip[9] = kUdpProtocol;
        std::memcpy(ip + 12, from.address.data(), 4);
        std::memcpy(ip + 16, to.address.data(), 4);
        m_ipSum = Add(0, ip, kIpv4);
        m_udpSum = Add(0, ip + 12, 8);
    }
    const std::uint8_t protocol[2] = {0, kUdpProtocol};
    m_udpSum = Add(m_udpSum, protocol, 2);
    std::uint8_t* udp = m_header.data() + m_headerBytes - kUdp;
    PutBig16(udp, from.port);
    PutBig16(udp + 2, to.port);
    m_udpSum = Add(m_udpSum, udp, 4);
}

std::span<const std::uint8_t> DatagramFramer::Headers(const Route& route, std::span<const std::uint8_t> payload) {
    const std::size_t udpLength = kUdp + payload.size();
    std::uint8_t* frame = m_headers.data();
    std::memcpy(frame, route.m_header.data(), route.m_headerBytes);

    std::uint8_t* ip = frame + kEthernet;
    std::uint8_t* udp = frame + route.m_headerBytes - kUdp;
    if (route.m_ipv6) {
        PutBig16(ip + 4, static_cast<std::uint16_t>(udpLength));
    } else {
        PutBig16(ip + 2, static_cast<std::uint16_t>(kIpv4 + udpLength));
        PutBig16(ip + 4, m_identification++);
        Store(ip + 10, Add(route.m_ipSum, ip + 2, 4), false);
    }
    PutBig16(udp + 4, static_cast<std::uint16_t>(udpLength));
    // The length counts twice: in the pseudo-header and in the UDP header.
    const std::uint64_t lengths = Add(Add(route.m_udpSum, udp + 4, 2), udp + 4, 2);
    Store(udp + 6, Add(lengths, payload.data(), payload.size()), true);  // 0 would mean "no checksum"
    return std::span<const std::uint8_t>(frame, route.m_headerBytes);
}

}  // namespace Quorvex::VarnelNet::Rtp
