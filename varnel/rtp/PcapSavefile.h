#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace Quorvex::VarnelNet::Rtp {

// libpcap's classic savefile, as readers such as Wireshark and SIPp take it: the file header
// once (microsecond time stamps, version 2.4, no time zone, the snapshot length, the link type),
// written least significant byte first, then one record per packet: its time stamp, captured
// length equal to its length, and the packet as given. What the packets hold is the caller's.
class PcapSavefile {
public:
    // Takes the next bytes of the file (a record comes in two pieces: its header with the
    // packet's headers, then the packet's payload).
    using Write = std::function<void(const std::uint8_t* data, std::size_t length)>;

    static constexpr std::size_t kHeaderBytes = 24;
    static constexpr std::size_t kRecordHeaderBytes = 16;
    static constexpr std::uint32_t kMagicMicroseconds = 0xA1B2C3D4;
    static constexpr std::uint16_t kVersionMajor = 2;
    static constexpr std::uint16_t kVersionMinor = 4;
    static constexpr std::uint32_t kSnapshotLength = 65535;
    static constexpr std::uint32_t kLinkTypeEthernet = 1;

    // Writes the file header through write, for packets of the link type whose headers take at
    // most mostHeaderBytes.
    PcapSavefile(Write write, std::uint32_t linkType, std::size_t mostHeaderBytes);

    // Writes one record: the packet made of headers (at most mostHeaderBytes) and payload,
    // time-stamped at `microseconds` since 1970 (0 to 2^32 seconds).
    void Record(std::uint64_t microseconds, std::span<const std::uint8_t> headers, std::span<const std::uint8_t> payload);

private:
    Write m_write;
    std::vector<std::uint8_t> m_record;  // the record's header, then the packet's headers
};

}  // namespace Quorvex::VarnelNet::Rtp
