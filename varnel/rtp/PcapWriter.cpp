#include "varnel/rtp/PcapWriter.h"

#include <cstring>

#include "varnel/rtp/ByteOrder.h"

namespace Quorvex::VarnelNet::Rtp {

namespace {

constexpr std::size_t kRecordHeader = 16;
constexpr std::size_t kEthernet = 14;
constexpr std::size_t kIpv4 = 20;
constexpr std::size_t kIpv6 = 40;
constexpr std::size_t kUdp = 8;
constexpr std::uint8_t kUdpProtocol = 17;
constexpr std::uint8_t kExpeditedForwarding = 46 << 2;  // DSCP EF in the TOS / traffic class byte
constexpr std::uint8_t kHops = 64;
constexpr std::uint32_t kSnapshotLength = 65535;
constexpr std::uint32_t kLinkEthernet = 1;

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

std::size_t PcapWriter::RecordBytes(bool ipv6, std::size_t payloadBytes) {
    return kRecordHeader + kEthernet + (ipv6 ? kIpv6 : kIpv4) + kUdp + payloadBytes;
}

PcapWriter::PcapWriter(Write write) : m_write(std::move(write)) {
    std::uint8_t header[kHeaderBytes] = {};
    PutLittle32(header, 0xA1B2C3D4);
    PutLittle16(header + 4, 2);
    PutLittle16(header + 6, 4);
    // thiszone and sigfigs stay 0
    PutLittle32(header + 16, kSnapshotLength);
    PutLittle32(header + 20, kLinkEthernet);
    m_write(header, sizeof header);
    m_frame.reserve(RecordBytes(true, 2048));
}

void PcapWriter::Record(std::uint64_t microseconds, const Endpoint& from, const Endpoint& to,
                        std::span<const std::uint8_t> payload) {
    const bool ipv6 = to.ipv6;
    const std::size_t ipBytes = ipv6 ? kIpv6 : kIpv4;
    const std::size_t udpLength = kUdp + payload.size();
    const std::size_t frameBytes = kEthernet + ipBytes + udpLength;
    m_frame.resize(kRecordHeader + frameBytes);
    std::uint8_t* record = m_frame.data();
    PutLittle32(record, static_cast<std::uint32_t>(microseconds / 1000000));
    PutLittle32(record + 4, static_cast<std::uint32_t>(microseconds % 1000000));
    PutLittle32(record + 8, static_cast<std::uint32_t>(frameBytes));
    PutLittle32(record + 12, static_cast<std::uint32_t>(frameBytes));

    std::uint8_t* ethernet = record + kRecordHeader;
    const std::uint8_t destinationMac[6] = {0x02, 0, 0, 0, 0, 0x02};
    const std::uint8_t sourceMac[6] = {0x02, 0, 0, 0, 0, 0x01};
    std::memcpy(ethernet, destinationMac, 6);
    std::memcpy(ethernet + 6, sourceMac, 6);
    PutBig16(ethernet + 12, ipv6 ? 0x86DD : 0x0800);

    std::uint8_t* ip = ethernet + kEthernet;
    std::uint8_t* udp = ip + ipBytes;
    std::uint64_t pseudo = 0;
    if (ipv6) {
        PutBig32(ip, 0x60000000U | static_cast<std::uint32_t>(kExpeditedForwarding) << 20);
        PutBig16(ip + 4, static_cast<std::uint16_t>(udpLength));
        ip[6] = kUdpProtocol;
        ip[7] = kHops;
        std::memcpy(ip + 8, from.address.data(), 16);
        std::memcpy(ip + 24, to.address.data(), 16);
        pseudo = Add(pseudo, ip + 8, 32);
    } else {
        ip[0] = 0x45;
        ip[1] = kExpeditedForwarding;
        PutBig16(ip + 2, static_cast<std::uint16_t>(ipBytes + udpLength));
        PutBig16(ip + 4, m_identification++);
        PutBig16(ip + 6, 0x4000);  // don't fragment
        ip[8] = kHops;
        ip[9] = kUdpProtocol;
        PutBig16(ip + 10, 0);
        std::memcpy(ip + 12, from.address.data(), 4);
        std::memcpy(ip + 16, to.address.data(), 4);
        Store(ip + 10, Add(0, ip, kIpv4), false);
        pseudo = Add(pseudo, ip + 12, 8);
    }
    std::uint8_t protocolAndLength[4] = {0, kUdpProtocol};
    PutBig16(protocolAndLength + 2, static_cast<std::uint16_t>(udpLength));
    pseudo = Add(pseudo, protocolAndLength, 4);

    PutBig16(udp, from.port);
    PutBig16(udp + 2, to.port);
    PutBig16(udp + 4, static_cast<std::uint16_t>(udpLength));
    PutBig16(udp + 6, 0);
    std::memcpy(udp + kUdp, payload.data(), payload.size());
    Store(udp + 6, Add(pseudo, udp, udpLength), true);  // 0 would mean "no checksum"
    m_write(m_frame.data(), m_frame.size());
}

}  // namespace Quorvex::VarnelNet::Rtp
