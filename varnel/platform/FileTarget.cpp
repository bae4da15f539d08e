#include "varnel/platform/FileTarget.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Quorvex::VarnelNet {

namespace {

constexpr int kMaxLinkHops = 40;
// Room left in a file name for the temporary name's '.' prefix and ".XXXXXX" suffix.
constexpr std::size_t kLongestNamePart = NAME_MAX - 8;

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

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

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
    m_targetFd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    m_createdTarget = m_targetFd >= 0;
    if (m_targetFd < 0 && errno == EEXIST) m_targetFd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (m_targetFd < 0) return Refuse(ErrnoText());
    if (::flock(m_targetFd, LOCK_EX | LOCK_NB) != 0) {
        return Refuse(errno == EWOULDBLOCK ? "The file is in use by another writer" : ErrnoText());
    }
    struct stat info {};
    if (::fstat(m_targetFd, &info) != 0) return Refuse(ErrnoText());

    const std::string name = target.substr(FolderOf(target).size());
    std::string temporary = FolderOf(target) + "." + name.substr(0, kLongestNamePart) + ".XXXXXX";
    m_fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (m_fd < 0) return Refuse(ErrnoText());
    m_temporary = temporary;
    // The new file gets the old one's permissions, or those a newly created file gets.
    if (::fchmod(m_fd, info.st_mode & 0777) != 0) return Refuse(ErrnoText());
    return true;
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
    m_createdTarget = false;  // the new file stands there now
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

// Unlocks the target; the empty file made to hold a new name goes, unless someone replaced it.
void FileTarget::ReleaseTarget() {
    if (m_targetFd < 0) return;
    struct stat held {};
    struct stat named {};
    if (m_createdTarget && ::fstat(m_targetFd, &held) == 0 && ::stat(m_target.c_str(), &named) == 0 &&
        SameFile(held, named) && named.st_size == 0) {
        ::unlink(m_target.c_str());
    }
    ::close(m_targetFd);
    m_targetFd = -1;
    m_createdTarget = false;
    m_target.clear();
}

}  // namespace Quorvex::VarnelNet
