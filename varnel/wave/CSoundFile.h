#pragma once

#include <cstdint>
#include <string>

#include "varnel/platform/FileOutput.h"
#include "varnel/wave/CSoundBase.h"
#include "varnel/wave/WaveHeader.h"

namespace Quorvex::VarnelNet {

// Writes a RIFF/WAVE file (the layout of WaveHeader): the header written at once, the samples
// appended by Write, and the chunk sizes settled by Close. A regular file is replaced only by a
// complete file: until Close succeeds the old one stays as it was (FileOutput).
class CSoundFile : public CSoundBase {
public:
    // Creates the file and writes its header at once; IsOpen() tells whether that worked.
    CSoundFile(const std::string& fileName, const WAVEFORMATEX& format);
    // Close(): a file never closed is still settled and kept.
    ~CSoundFile() override;

    bool IsOpen() const { return m_file.IsOpen(); }

    // Appends to the "data" chunk. Returns length, or -1 when the file is not open, a write
    // failed, or the data would no longer fit the 32-bit size fields.
    int Write(const void* data, int length);

    // Settles the chunk sizes (and the sample count of "fact") and closes the file. Returns
    // false if any part of the file (header, data or sizes) could not be written, or data was
    // refused; the file written is then dropped and an old file keeps its place. Does nothing
    // when not open.
    bool Close();

    // Why creating, writing or closing failed: the operating system's reason ("No space left on
    // device"), or the 32-bit size limit. Empty while nothing failed.
    std::string Reason() const;

    std::uint64_t MaxDataBytes() const { return m_header.MaxDataBytes(); }

private:
    WaveHeader m_header;
    FileOutput m_file;
    bool m_refused = false;
};

}  // namespace Quorvex::VarnelNet
