#include "varnel/wave/CSoundFile.h"

#include <array>
#include <cstring>

namespace Quorvex::VarnelNet {

namespace {

constexpr std::uint64_t kRiffSizeOffset = 4;
constexpr std::uint64_t kFormatOffset = 20;
constexpr std::uint64_t kAfterFormat = kFormatOffset + sizeof(WAVEFORMATEX);  // 38
constexpr std::uint64_t kFactBytes = 12;                                     // "fact", 4, count
constexpr std::uint64_t kLongestHeader = kAfterFormat + kFactBytes + 8;      // 58

void PutU32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

CSoundFile::CSoundFile(const std::string& fileName, const WAVEFORMATEX& format) {
    SetFormatTag(format.wFormatTag);
    SetBitsPerSample(format.wBitsPerSample);
    SetSamplesPerSec(format.nSamplesPerSec);
    SetChannels(format.nChannels);
    m_hasFact = Format().wFormatTag != WAVE_FORMAT_PCM;
    m_headerBytes = kAfterFormat + (m_hasFact ? kFactBytes : 0) + 8;
    if (!m_file.Create(fileName)) return;

    std::array<std::uint8_t, kLongestHeader> header{};
    std::memcpy(&header[0], "RIFF", 4);  // size settled by Close
    std::memcpy(&header[8], "WAVE", 4);
    std::memcpy(&header[12], "fmt ", 4);
    PutU32(&header[16], sizeof(WAVEFORMATEX));
    std::memcpy(&header[kFormatOffset], &Format(), sizeof(WAVEFORMATEX));
    std::uint64_t at = kAfterFormat;
    if (m_hasFact) {
        std::memcpy(&header[at], "fact", 4);
        PutU32(&header[at + 4], 4);  // the sample count after it is settled by Close
        at += kFactBytes;
    }
    std::memcpy(&header[at], "data", 4);
    PutU32(&header[at + 4], sizeof(WAVEFORMATEX));  // placeholder until Close
    if (!m_file.Append(header.data(), m_headerBytes)) m_file.Close();
}

CSoundFile::~CSoundFile() { Close(); }

int CSoundFile::Write(const void* data, int length) {
    if (!IsOpen() || length < 0) return -1;
    const std::uint64_t dataBytes = m_file.Size() - m_headerBytes;
    if (dataBytes + static_cast<std::uint64_t>(length) > MaxDataBytes()) {
        m_refused = true;
        return -1;
    }
    return m_file.Append(data, static_cast<std::size_t>(length)) ? length : -1;
}

bool CSoundFile::Close() {
    if (!IsOpen()) return true;
    const std::uint64_t dataBytes = m_file.Size() - m_headerBytes;
    if (dataBytes % 2 != 0) {
        const std::uint8_t pad = 0;
        m_file.Append(&pad, 1);
    }
    std::uint8_t size[4];
    PutU32(size, static_cast<std::uint32_t>(dataBytes));
    m_file.Patch(m_headerBytes - 4, size, sizeof size);
    if (m_hasFact) {
        const std::uint64_t align = Format().nBlockAlign == 0 ? 1 : Format().nBlockAlign;
        PutU32(size, static_cast<std::uint32_t>(dataBytes / align));
        m_file.Patch(kAfterFormat + 8, size, sizeof size);
    }
    PutU32(size, static_cast<std::uint32_t>(m_file.Size() - 8));
    m_file.Patch(kRiffSizeOffset, size, sizeof size);
    const bool written = m_file.Close();
    return written && !m_refused;
}

}  // namespace Quorvex::VarnelNet
