#include "varnel/rtp/PcapSavefile.h"

#include <algorithm>
#include <stdexcept>

#include "varnel/rtp/ByteOrder.h"

namespace Quorvex::VarnelNet::Rtp {

PcapSavefile::PcapSavefile(Write write, std::uint32_t linkType, std::size_t mostHeaderBytes)
    : m_write(std::move(write)), m_record(kRecordHeaderBytes + mostHeaderBytes) {
    std::uint8_t header[kHeaderBytes] = {};
    PutLittle32(header, kMagicMicroseconds);
    PutLittle16(header + 4, kVersionMajor);
    PutLittle16(header + 6, kVersionMinor);
    // thiszone and sigfigs stay 0
    PutLittle32(header + 16, kSnapshotLength);
    PutLittle32(header + 20, linkType);
    m_write(header, sizeof header);
}

void PcapSavefile::Record(std::uint64_t microseconds, std::span<const std::uint8_t> headers,
                          std::span<const std::uint8_t> payload) {
    if (kRecordHeaderBytes + headers.size() > m_record.size()) throw std::length_error("a packet's headers past their room");
    const auto length = static_cast<std::uint32_t>(headers.size() + payload.size());
    std::uint8_t* record = m_record.data();
    PutLittle32(record, static_cast<std::uint32_t>(microseconds / 1000000));
    PutLittle32(record + 4, static_cast<std::uint32_t>(microseconds % 1000000));
    PutLittle32(record + 8, length);
    PutLittle32(record + 12, length);
    std::copy(headers.begin(), headers.end(), record + kRecordHeaderBytes);
    m_write(record, kRecordHeaderBytes + headers.size());
    m_write(payload.data(), payload.size());
}

}  // namespace Quorvex::VarnelNet::Rtp
