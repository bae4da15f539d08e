#pragma once

#include <cstdint>
#include <string>

#include "varnel/platform/FileOutput.h"
#include "varnel/wave/CSoundBase.h"

namespace Quorvex::VarnelNet {

// Writes a RIFF/WAVE file: the header written at once, the samples appended by Write, and the
// chunk sizes settled by Close. PCM has a 46-byte header (an 18-byte "fmt " chunk, then
// "data"); any other format tag also gets a "fact" chunk with the sample count before "data",
// a 58-byte header.
class CSoundFile : public CSoundBase {
public:
    // Creates the file and writes its header at once; IsOpen() tells whether that worked.
    CSoundFile(const std::string& fileName, const WAVEFORMATEX& format);
    ~CSoundFile() override;

    bool IsOpen() const { return m_file.IsOpen(); }

    // Appends to the "data" chunk. Returns length, or -1 when the file is not open, a write
    // failed, or the data would no longer fit the 32-bit size fields.
    int Write(const void* data, int length);

    // Settles the chunk sizes (and the sample count of "fact") and closes the file. Returns
    // false if any part of the file (header, data or sizes) could not be written. Does nothing
    // when not open.
    bool Close();

    // The largest data chunk whose sizes still fit: the RIFF size counts the header after its
    // own field, the data and a pad byte.
    std::uint64_t MaxDataBytes() const { return 0xFFFFFFFFull - (m_headerBytes - 8) - 1; }

private:
    FileOutput m_file;
    std::uint64_t m_headerBytes = 0;  // where the data begins
    bool m_hasFact = false;
    bool m_refused = false;
};

}  // namespace Quorvex::VarnelNet
