#pragma once

// Helpers for the suites that hand the engine's files to third-party tools: running shell
// commands and a scratch directory that is removed with everything in it.

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace varnel_test {

// Wraps text in single quotes for /bin/sh.
inline std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs a shell command and returns its exit status; stdout and stderr go to output, byte for
// byte (NULs included).
inline int RunShell(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    char chunk[512];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) output.append(chunk, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline bool OnPath(const char* tool) {
    return std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) == 0;
}

// In CI (the environment variable CI is set), where the decoders are installed, a missing one is
// a failure; elsewhere the test is skipped. Leaves the calling (void) function either way.
#define VARNEL_REQUIRE_TOOL(tool)                                                        \
    do {                                                                                 \
        if (!::varnel_test::OnPath(tool)) {                                              \
            if (std::getenv("CI") != nullptr) FAIL() << (tool) << " is not on PATH in CI"; \
            GTEST_SKIP() << (tool) << " is not on PATH";                                 \
        }                                                                                \
    } while (false)

// The same for spandsp's receivers, which a suite links when libspandsp-dev is there
// (VARNEL_HAVE_SPANDSP).
#define VARNEL_REQUIRE_SPANDSP()                                                          \
    do {                                                                                  \
        if (!VARNEL_HAVE_SPANDSP) {                                                       \
            if (std::getenv("CI") != nullptr) FAIL() << "built without spandsp in CI";    \
            GTEST_SKIP() << "built without spandsp (libspandsp-dev)";                     \
        }                                                                                 \
    } while (false)

// A new directory under the system temporary directory; path() is empty when it could not be
// made.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "varnel-interop-XXXXXX").string();
        if (mkdtemp(pattern.data())) m_path = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

}  // namespace varnel_test
