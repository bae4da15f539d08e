#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "varnel/platform/FileTarget.h"

namespace Quorvex::VarnelNet {

// A file written with buffered appends and in-place patches of bytes already written. A
// regular file is replaced only when every byte reached it (FileTarget): Close() keeps the
// new file when all went well and otherwise leaves the old one untouched. The first failure
// is remembered with its reason.
class FileOutput {
public:
    FileOutput() = default;
    FileOutput(const FileOutput&) = delete;
    FileOutput& operator=(const FileOutput&) = delete;
    ~FileOutput();

    // Opens the file for writing (see FileTarget). False, with Reason(), when it cannot be
    // created or another writer holds it.
    bool Create(const std::string& path);
    bool IsOpen() const { return m_target.IsOpen(); }

    bool Append(const void* data, std::size_t length);
    // Overwrites bytes already appended, starting at offset.
    bool Patch(std::uint64_t offset, const void* data, std::size_t length);
    // Bytes appended since Create.
    std::uint64_t Size() const { return m_size; }

    // Flushes and closes. The file written becomes the target when every write since Create
    // succeeded; otherwise it is dropped. Returns whether the target now holds every byte.
    // Harmless when not open.
    bool Close();
    // Closes and drops what was written; the old file stays as it was.
    void Discard();

    // Why the last Create, write or Close failed: the operating system's reason, such as
    // "No space left on device"; empty while nothing failed.
    const std::string& Reason() const { return m_reason; }

private:
    bool Flush();
    bool WriteAll(const std::uint8_t* data, std::size_t length);
    void Fail(const std::string& reason);

    FileTarget m_target;
    bool m_failed = false;
    std::string m_reason;
    std::uint64_t m_size = 0;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_used = 0;
};

}  // namespace Quorvex::VarnelNet
