#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "varnel/wave/CSoundBase.h"

namespace Quorvex::VarnelNet {

// The bytes of a RIFF/WAVE file before its samples: "RIFF" and its size, "WAVE", the "fmt "
// chunk holding the 18-byte format record, for any format but PCM a "fact" chunk with the
// sample count, and the head of the "data" chunk. PCM has a 46-byte header, G.711 a 58-byte
// one. A file of N bytes of samples is Size() + N bytes long, plus a zero pad byte when N is
// odd; the pad byte counts in the RIFF size, not in the data size.
class WaveHeader {
public:
    explicit WaveHeader(const WAVEFORMATEX& format);

    std::size_t Size() const { return m_size; }

    // The header of a file holding dataBytes of samples, at most MaxDataBytes().
    std::vector<std::uint8_t> Settled(std::uint64_t dataBytes) const;
    // The header written before the length is known, settled when the file is closed: RIFF
    // size 0, sample count 0 and data size 18 (the size the "fmt " chunk left behind).
    std::vector<std::uint8_t> Unsettled() const;

    // The largest data chunk whose sizes still fit the 32-bit fields: the RIFF size counts the
    // header after its own field, the data and a pad byte.
    std::uint64_t MaxDataBytes() const { return 0xFFFFFFFFull - (m_size - 8) - 1; }
    // The pad byte that follows an odd number of data bytes.
    static std::uint64_t PadBytes(std::uint64_t dataBytes) { return dataBytes % 2; }

private:
    std::vector<std::uint8_t> Build(std::uint32_t riffSize, std::uint32_t samples, std::uint32_t dataSize) const;

    WAVEFORMATEX m_format;
    bool m_hasFact;
    std::size_t m_size;
};

}  // namespace Quorvex::VarnelNet
