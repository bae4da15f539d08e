#include "cli/TextInput.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "cli/Interrupt.h"
#include "cli/Session.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

// Everything the descriptor gives until its end; false with errno on a failure.
bool ReadAll(int fd, std::string& text) {
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n == 0) return true;
        if (n < 0) {
            if (errno != EINTR) return false;
            StopIfInterrupted();
            continue;
        }
        text.append(chunk, static_cast<std::size_t>(n));
    }
}

std::string ReadText(const Request& request) {
    std::string text;
    const bool standardInput = request.path == "-";
    const int fd = standardInput ? STDIN_FILENO : ::open(request.path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool ok = fd >= 0 && ReadAll(fd, text);
    const int error = errno;
    if (fd >= 0 && !standardInput) ::close(fd);
    if (!ok) throw Failure("request '" + request.text + "'", std::strerror(error));
    return text;
}

}  // namespace

void LoadTextFiles(std::vector<Request>& requests) {
    std::optional<std::string> standardInput;
    for (Request& request : requests) {
        if (request.kind != RequestKind::TtyFile) continue;
        if (request.path != "-") {
            request.keys = ReadText(request);
        } else {
            if (!standardInput) standardInput = ReadText(request);
            request.keys = *standardInput;
        }
    }
}

}  // namespace Quorvex::VarnelNet::Cli
