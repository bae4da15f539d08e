#include "varnel/platform/FileOutput.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace Quorvex::VarnelNet {

namespace {
constexpr std::size_t kBufferSize = 64 * 1024;
}

FileOutput::~FileOutput() { Close(); }

bool FileOutput::Create(const std::string& path) {
    Discard();
    m_failed = false;
    m_reason.clear();
    m_size = 0;
    m_used = 0;
    if (!m_target.Open(path)) {
        m_failed = true;
        m_reason = m_target.Reason();
        return false;
    }
    m_buffer.resize(kBufferSize);
    return true;
}

void FileOutput::Fail(const std::string& reason) {
    if (!m_failed) m_reason = reason;
    m_failed = true;
}

bool FileOutput::WriteAll(const std::uint8_t* data, std::size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(m_target.Descriptor(), data, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            Fail(n < 0 ? std::strerror(errno) : std::strerror(ENOSPC));
            return false;
        }
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

bool FileOutput::Flush() {
    if (m_used > 0 && !m_failed) WriteAll(m_buffer.data(), m_used);
    m_used = 0;
    return !m_failed;
}

bool FileOutput::Append(const void* data, std::size_t length) {
    if (!IsOpen() || m_failed) return false;
    if (length == 0) return true;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    m_size += length;
    if (m_used + length > m_buffer.size()) {
        if (!Flush()) return false;
        if (length >= m_buffer.size()) return WriteAll(bytes, length);
    }
    std::memcpy(m_buffer.data() + m_used, bytes, length);
    m_used += length;
    return true;
}

bool FileOutput::Patch(std::uint64_t offset, const void* data, std::size_t length) {
    if (!IsOpen() || !Flush()) return false;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (length > 0) {
        const ssize_t n = ::pwrite(m_target.Descriptor(), bytes, length, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            Fail(n < 0 ? std::strerror(errno) : std::strerror(ENOSPC));
            return false;
        }
        bytes += n;
        offset += static_cast<std::uint64_t>(n);
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

bool FileOutput::Close() {
    if (!IsOpen()) return !m_failed;
    if (Flush() && !m_target.Commit()) Fail(m_target.Reason());
    if (m_failed) m_target.Discard();
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    return !m_failed;
}

void FileOutput::Discard() {
    m_target.Discard();
    m_used = 0;
    m_buffer.clear();
    m_buffer.shrink_to_fit();
}

}  // namespace Quorvex::VarnelNet
