#include "varnel/wave/CSoundFile.h"

#include <array>
#include <cstring>

namespace Quorvex::VarnelNet {

namespace {

constexpr std::uint64_t kRiffSizeOffset = 4;
constexpr std::uint64_t kDataSizeOffset = 42;
constexpr std::uint64_t kHeaderBytes = 46;

void PutU32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

CSoundFile::CSoundFile(const std::string& fileName, const WAVEFORMATEX& format) {
    SetBitsPerSample(format.wBitsPerSample);
    SetSamplesPerSec(format.nSamplesPerSec);
    SetChannels(format.nChannels);
    if (!m_file.Create(fileName)) return;

    std::array<std::uint8_t, kHeaderBytes> header{};
    std::memcpy(&header[0], "RIFF", 4);                // size settled by Close
    std::memcpy(&header[8], "WAVE", 4);
    std::memcpy(&header[12], "fmt ", 4);
    PutU32(&header[16], sizeof(WAVEFORMATEX));
    std::memcpy(&header[20], &Format(), sizeof(WAVEFORMATEX));
    std::memcpy(&header[38], "data", 4);
    PutU32(&header[42], sizeof(WAVEFORMATEX));         // placeholder until Close
    if (!m_file.Append(header.data(), header.size())) m_file.Close();
}

CSoundFile::~CSoundFile() { Close(); }

int CSoundFile::Write(const void* data, int length) {
    if (!IsOpen() || length < 0) return -1;
    const std::uint64_t dataBytes = m_file.Size() - kHeaderBytes;
    if (dataBytes + static_cast<std::uint64_t>(length) > kMaxDataBytes) {
        m_refused = true;
        return -1;
    }
    return m_file.Append(data, static_cast<std::size_t>(length)) ? length : -1;
}

bool CSoundFile::Close() {
    if (!IsOpen()) return true;
    const std::uint64_t dataBytes = m_file.Size() - kHeaderBytes;
    if (dataBytes % 2 != 0) {
        const std::uint8_t pad = 0;
        m_file.Append(&pad, 1);
    }
    std::uint8_t size[4];
    PutU32(size, static_cast<std::uint32_t>(dataBytes));
    m_file.Patch(kDataSizeOffset, size, sizeof size);
    PutU32(size, static_cast<std::uint32_t>(m_file.Size() - 8));
    m_file.Patch(kRiffSizeOffset, size, sizeof size);
    const bool written = m_file.Close();
    return written && !m_refused;
}

}  // namespace Quorvex::VarnelNet
