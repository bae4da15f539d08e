#pragma once

#include <cstdint>
#include <string>

#include "varnel/platform/FileOutput.h"
#include "varnel/wave/CSoundBase.h"

namespace Quorvex::VarnelNet {

// Writes a RIFF/WAVE file: a 46-byte header (an 18-byte "fmt " chunk) written at once,
// PCM data appended by Write, and the chunk sizes settled by Close.
class CSoundFile : public CSoundBase {
public:
    // Creates the file and writes its header at once; IsOpen() tells whether that worked.
    CSoundFile(const std::string& fileName, const WAVEFORMATEX& format);
    ~CSoundFile() override;

    bool IsOpen() const { return m_file.IsOpen(); }

    // Appends to the "data" chunk. Returns length, or -1 when the file is not open, a write
    // failed, or the data would no longer fit the 32-bit size fields.
    int Write(const void* data, int length);

    // Settles the chunk sizes and closes the file. Returns false if any part of the file
    // (header, data or sizes) could not be written. Does nothing when not open.
    bool Close();

    // The largest data chunk whose sizes still fit: the RIFF size counts the header after its
    // own field (38 bytes), the data and a pad byte.
    static constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - 38 - 1;

private:
    FileOutput m_file;
    bool m_refused = false;
};

}  // namespace Quorvex::VarnelNet
