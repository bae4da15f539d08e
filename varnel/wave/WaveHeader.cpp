#include "varnel/wave/WaveHeader.h"

#include <cstring>
#include <utility>

namespace Quorvex::VarnelNet {

namespace {

constexpr std::size_t kFormatOffset = 20;
constexpr std::size_t kAfterFormat = kFormatOffset + sizeof(WAVEFORMATEX);  // 38
constexpr std::size_t kFactBytes = 12;                                      // "fact", 4, count
constexpr std::size_t kDataHeadBytes = 8;                                   // "data", size

// Appends to a header under construction.
class HeaderBuilder {
public:
    explicit HeaderBuilder(std::size_t size) : m_bytes(size) {}
    void Tag(const char (&tag)[5]) { Bytes(tag, 4); }
    void U32(std::uint32_t value) {
        const std::uint8_t le[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                    static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
        Bytes(le, 4);
    }
    void Bytes(const void* data, std::size_t length) {
        std::memcpy(m_bytes.data() + m_at, data, length);
        m_at += length;
    }
    std::vector<std::uint8_t> Take() { return std::move(m_bytes); }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_at = 0;
};

}  // namespace

WaveHeader::WaveHeader(const WAVEFORMATEX& format)
    : m_format(format),
      m_hasFact(format.wFormatTag != WAVE_FORMAT_PCM),
      m_size(kAfterFormat + (m_hasFact ? kFactBytes : 0) + kDataHeadBytes) {}

std::vector<std::uint8_t> WaveHeader::Build(std::uint32_t riffSize, std::uint32_t samples,
                                            std::uint32_t dataSize) const {
    HeaderBuilder header(m_size);
    header.Tag("RIFF");
    header.U32(riffSize);
    header.Tag("WAVE");
    header.Tag("fmt ");
    header.U32(static_cast<std::uint32_t>(sizeof(WAVEFORMATEX)));
    header.Bytes(&m_format, sizeof(WAVEFORMATEX));
    if (m_hasFact) {
        header.Tag("fact");
        header.U32(4);
        header.U32(samples);
    }
    header.Tag("data");
    header.U32(dataSize);
    return header.Take();
}

std::vector<std::uint8_t> WaveHeader::Settled(std::uint64_t dataBytes) const {
    const std::uint64_t align = m_format.nBlockAlign == 0 ? 1 : m_format.nBlockAlign;
    const std::uint64_t riffSize = m_size - 8 + dataBytes + PadBytes(dataBytes);
    return Build(static_cast<std::uint32_t>(riffSize), static_cast<std::uint32_t>(dataBytes / align),
                 static_cast<std::uint32_t>(dataBytes));
}

std::vector<std::uint8_t> WaveHeader::Unsettled() const {
    return Build(0, 0, static_cast<std::uint32_t>(sizeof(WAVEFORMATEX)));
}

}  // namespace Quorvex::VarnelNet
