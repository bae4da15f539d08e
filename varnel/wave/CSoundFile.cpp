#include "varnel/wave/CSoundFile.h"

namespace Quorvex::VarnelNet {

CSoundFile::CSoundFile(const std::string& fileName, const WAVEFORMATEX& format) : m_header(format) {
    SetFormatTag(format.wFormatTag);
    SetBitsPerSample(format.wBitsPerSample);
    SetSamplesPerSec(format.nSamplesPerSec);
    SetChannels(format.nChannels);
    if (!m_file.Create(fileName)) return;
    const std::vector<std::uint8_t> header = m_header.Unsettled();
    if (!m_file.Append(header.data(), header.size())) m_file.Discard();
}

CSoundFile::~CSoundFile() { Close(); }

int CSoundFile::Write(const void* data, int length) {
    if (!IsOpen() || length < 0) return -1;
    const std::uint64_t dataBytes = m_file.Size() - m_header.Size();
    if (dataBytes + static_cast<std::uint64_t>(length) > MaxDataBytes()) {
        m_refused = true;
        return -1;
    }
    return m_file.Append(data, static_cast<std::size_t>(length)) ? length : -1;
}

bool CSoundFile::Close() {
    if (!IsOpen()) return true;
    if (m_refused) {
        m_file.Discard();
        return false;
    }
    const std::uint64_t dataBytes = m_file.Size() - m_header.Size();
    if (WaveHeader::PadBytes(dataBytes) != 0) {
        const std::uint8_t pad = 0;
        m_file.Append(&pad, 1);
    }
    const std::vector<std::uint8_t> header = m_header.Settled(dataBytes);
    m_file.Patch(0, header.data(), header.size());
    return m_file.Close();
}

std::string CSoundFile::Reason() const {
    if (m_refused) return "The audio passes the 4 GiB that the size fields of a WAV file can describe";
    return m_file.Reason();
}

}  // namespace Quorvex::VarnelNet
