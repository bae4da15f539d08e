#include "varnel/platform/FileTarget.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Quorvex::VarnelNet {

namespace {

constexpr int kMaxLinkHops = 40;
// Room left in a file name for the temporary name's '.' prefix and ".XXXXXX" suffix.
constexpr std::size_t kLongestNamePart = NAME_MAX - 8;
constexpr int kTemporarySuffix = 6;
constexpr int kTemporaryAttempts = 100;
constexpr char kNameCharacters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr const char* kInUse = "The file is in use by another writer";

std::string ErrnoText() { return std::strerror(errno); }

// Everything up to and including the last '/', or "" for a name in the working folder.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The path with its symbolic links followed, so that a link's target is what gets replaced.
// Stops at the first name that is not a link (or does not exist).
std::string ResolveLinks(std::string path) {
    std::vector<char> target(PATH_MAX);
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return path;
        const std::string link(target.data(), static_cast<std::size_t>(n));
        path = link.front() == '/' ? link : FolderOf(path) + link;
    }
    return path;
}

}  // namespace

FileTarget::~FileTarget() { Discard(); }

bool FileTarget::Refuse(const std::string& reason) {
    m_reason = reason;
    Discard();
    return false;
}

bool FileTarget::Open(const std::string& path) {
    Discard();
    m_reason.clear();
    const std::string target = ResolveLinks(path);
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        m_fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        return m_fd >= 0 || Refuse(ErrnoText());
    }
    return OpenRegular(target);
}

bool FileTarget::OpenRegular(const std::string& target) {
    m_target = target;
    m_targetFd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (m_targetFd < 0 && errno != ENOENT) return Refuse(ErrnoText());
    if (m_targetFd >= 0 && ::flock(m_targetFd, LOCK_EX | LOCK_NB) != 0) {
        return Refuse(errno == EWOULDBLOCK ? kInUse : ErrnoText());
    }
    if (!CreateTemporary()) return false;
    if (m_targetFd < 0) {
        // A new name: nothing is made there until Commit; its writer holds it by the temporary.
        return !AnotherWriterHolds() || Refuse(kInUse);
    }
    // The new file gets the old one's permissions (a new name gets those of a file created).
    struct stat info {};
    if (::fstat(m_targetFd, &info) != 0 || ::fchmod(m_fd, info.st_mode & 0777) != 0) return Refuse(ErrnoText());
    return true;
}

bool FileTarget::CreateTemporary() {
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kNameCharacters - 2);
    const std::string prefix = TemporaryPrefix();
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        std::string path = prefix;
        for (int i = 0; i < kTemporarySuffix; ++i) path += kNameCharacters[pick(random)];
        // Created as any new file is, so the mode comes from the umask.
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_temporary = path;
            return ::flock(m_fd, LOCK_EX | LOCK_NB) == 0 || Refuse(ErrnoText());
        }
        if (errno != EEXIST) return Refuse(ErrnoText());
    }
    return Refuse(ErrnoText());
}

std::string FileTarget::TemporaryPrefix() const {
    const std::string folder = FolderOf(m_target);
    return folder + "." + m_target.substr(folder.size()).substr(0, kLongestNamePart) + ".";
}

bool FileTarget::AnotherWriterHolds() const {
    const std::string folder = FolderOf(m_target);
    const std::string prefix = TemporaryPrefix().substr(folder.size());
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return false;
    bool held = false;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + kTemporarySuffix || name.compare(0, prefix.size(), prefix) != 0) continue;
        if (folder + name == m_temporary) continue;
        const int fd = ::open((folder + name).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) continue;
        held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        ::close(fd);
        if (held) break;
    }
    ::closedir(dir);
    return held;
}

bool FileTarget::Commit() {
    if (!IsOpen()) return false;
    const int fd = m_fd;
    m_fd = -1;
    if (m_temporary.empty()) return ::close(fd) == 0 || Refuse(ErrnoText());
    if (::fsync(fd) != 0) {
        m_reason = ErrnoText();
        ::close(fd);
        Discard();
        return false;
    }
    if (::close(fd) != 0 || ::rename(m_temporary.c_str(), m_target.c_str()) != 0) return Refuse(ErrnoText());
    m_temporary.clear();
    ReleaseTarget();
    return true;
}

void FileTarget::Discard() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.empty()) ::unlink(m_temporary.c_str());
    m_temporary.clear();
    ReleaseTarget();
}

void FileTarget::ReleaseTarget() {
    if (m_targetFd >= 0) ::close(m_targetFd);
    m_targetFd = -1;
    m_target.clear();
}

}  // namespace Quorvex::VarnelNet
