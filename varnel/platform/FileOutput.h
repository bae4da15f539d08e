#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Quorvex::VarnelNet {

// A file created for writing with buffered appends and in-place patches of bytes already
// written. Any failure is remembered: Close() reports whether every byte reached the file.
class FileOutput {
public:
    FileOutput() = default;
    FileOutput(const FileOutput&) = delete;
    FileOutput& operator=(const FileOutput&) = delete;
    ~FileOutput();

    // Creates or truncates the file. Fails when it cannot be created or another writer holds it.
    bool Create(const std::string& path);
    bool IsOpen() const { return m_fd >= 0; }

    bool Append(const void* data, std::size_t length);
    // Overwrites bytes already appended, starting at offset.
    bool Patch(std::uint64_t offset, const void* data, std::size_t length);
    // Bytes appended since Create.
    std::uint64_t Size() const { return m_size; }

    // Flushes and closes; false if any write since Create failed. Harmless when not open.
    bool Close();

private:
    bool Flush();
    bool WriteAll(const std::uint8_t* data, std::size_t length);

    int m_fd = -1;
    bool m_failed = false;
    std::uint64_t m_size = 0;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_used = 0;
};

}  // namespace Quorvex::VarnelNet
