#include "varnel/platform/FileOutput.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Quorvex::VarnelNet {

namespace {
constexpr std::size_t kBufferSize = 64 * 1024;
}

FileOutput::~FileOutput() { Close(); }

bool FileOutput::Create(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    // A regular file is locked before it is truncated, so that a file another writer holds is
    // left intact. Devices and pipes are written as they are.
    struct stat info {};
    if (::fstat(fd, &info) != 0 ||
        (S_ISREG(info.st_mode) && (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd, 0) != 0))) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_failed = false;
    m_size = 0;
    m_used = 0;
    m_buffer.resize(kBufferSize);
    return true;
}

bool FileOutput::WriteAll(const std::uint8_t* data, std::size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(m_fd, data, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

bool FileOutput::Flush() {
    if (m_used > 0 && !WriteAll(m_buffer.data(), m_used)) m_failed = true;
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
        if (length >= m_buffer.size()) {
            if (!WriteAll(bytes, length)) m_failed = true;
            return !m_failed;
        }
    }
    std::memcpy(m_buffer.data() + m_used, bytes, length);
    m_used += length;
    return true;
}

bool FileOutput::Patch(std::uint64_t offset, const void* data, std::size_t length) {
    if (!IsOpen() || !Flush()) return false;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (length > 0) {
        const ssize_t n = ::pwrite(m_fd, bytes, length, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_failed = true;
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
    Flush();
    if (::close(m_fd) != 0) m_failed = true;
    m_fd = -1;
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    return !m_failed;
}

}  // namespace Quorvex::VarnelNet
