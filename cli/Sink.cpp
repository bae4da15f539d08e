#include "cli/Sink.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/Interrupt.h"
#include "cli/Failure.h"
#include "cli/Text.h"

namespace Quorvex::VarnelNet::Cli {

namespace {
constexpr const char* kStandardOutput = "standard output";
}

FileSink::FileSink(const std::string& path, const char* refusal) : m_path(path), m_refusal(refusal) {
    if (!m_file.Create(path)) Fail();
}

FileSink::~FileSink() { m_file.Discard(); }

void FileSink::Fail() {
    m_file.Discard();
    throw Failure(Printable(m_path), std::string(m_refusal) + " (" + m_file.Reason() + ")");
}

void FileSink::Write(const void* data, std::size_t length) {
    if (!m_file.Append(data, length)) Fail();
}

void FileSink::Finish() {
    if (!m_file.Close()) Fail();
}

StreamSink::StreamSink(std::FILE* stream) : m_fd(::fileno(stream)) { std::fflush(stream); }

void StreamSink::Write(const void* data, std::size_t length) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (length > 0) {
        const ssize_t n = ::write(m_fd, bytes, length);
        if (n < 0 && errno == EINTR) {
            StopIfInterrupted();
            continue;
        }
        if (n <= 0) throw Failure(kStandardOutput, std::strerror(n < 0 ? errno : EIO));
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
}

void StreamSink::Finish() {}

}  // namespace Quorvex::VarnelNet::Cli
