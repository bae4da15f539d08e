#include "varnel/render/ByteSink.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace Quorvex::VarnelNet::Render {

FileSink::FileSink(std::string path, const char* refusal) : m_path(std::move(path)), m_refusal(refusal) {
    if (!m_file.Create(m_path)) Fail();
}

FileSink::~FileSink() { m_file.Discard(); }

void FileSink::Fail() {
    const std::string reason = std::string(m_refusal) + " (" + m_file.Reason() + ")";
    m_file.Discard();
    throw OutputFailure(m_path, reason);
}

void FileSink::Write(const void* data, std::size_t length) {
    if (!m_file.Append(data, length)) Fail();
}

void FileSink::Finish() {
    if (!m_file.Close()) Fail();
}

DescriptorSink::DescriptorSink(int fd, std::string name, std::function<void()> interrupted)
    : m_fd(fd), m_name(std::move(name)), m_interrupted(std::move(interrupted)) {}

void DescriptorSink::Write(const void* data, std::size_t length) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (length > 0) {
        const ssize_t n = ::write(m_fd, bytes, length);
        if (n < 0 && errno == EINTR) {
            if (m_interrupted) m_interrupted();
            continue;
        }
        if (n <= 0) throw OutputFailure(m_name, std::strerror(n < 0 ? errno : EIO));
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
}

void MemorySink::Write(const void* data, std::size_t length) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    m_bytes.insert(m_bytes.end(), bytes, bytes + length);
}

}  // namespace Quorvex::VarnelNet::Render
