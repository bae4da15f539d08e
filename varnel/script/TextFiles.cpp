#include "varnel/script/TextFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <system_error>

#include "varnel/platform/PrintableText.h"
#include "varnel/script/RequestError.h"

namespace Quorvex::VarnelNet::Script {

namespace {

[[noreturn]] void ThrowErrno() { throw std::system_error(errno, std::generic_category()); }

}  // namespace

std::string ReadWholeFile(const std::string& path, const std::function<void()>& onSignal) {
    const bool standardInput = path == "-";
    const int fd = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) ThrowErrno();
    std::string text;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            text.append(chunk, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) {
            if (onSignal) onSignal();
            continue;
        }
        const int error = errno;
        if (!standardInput) ::close(fd);
        if (n < 0) throw std::system_error(error, std::generic_category());
        return text;
    }
}

void LoadTextFiles(Requests& requests) {
    LoadTextFiles(requests, [](const std::string& path) { return ReadWholeFile(path); });
}

void LoadTextFiles(Requests& requests, const FileReader& read) {
    std::optional<std::string> standardInput;
    for (Entry& entry : requests) {
        auto* file = std::get_if<TtyFile>(&entry.request);
        if (!file) continue;
        try {
            if (file->path != "-") {
                file->text = read(file->path);
            } else {
                if (!standardInput) standardInput = read(file->path);
                file->text = *standardInput;
            }
        } catch (const std::system_error& e) {
            const std::string source = file->path == "-" ? "standard input" : "'" + Printable(file->path) + "'";
            throw RequestError("cannot read " + source + ": " + e.code().message(), entry.text, entry.index, entry.line);
        }
    }
}

}  // namespace Quorvex::VarnelNet::Script
