#include "testkit/FolderFiles.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include <unistd.h>

#include "varnel/platform/FileOutput.h"

namespace Quorvex::VarnelNet::Kit {

namespace fs = std::filesystem;

void MakeFolder(const std::string& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) throw FileError(FileError::Act::MakeFolder, folder, error.message());
}

void RemoveFile(const fs::path& path) {
    // unlink, not fs::remove: a folder in the file's place is refused, not removed.
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        throw FileError(FileError::Act::Write, path.string(), std::strerror(errno));
    }
}

void WriteText(const fs::path& path, const std::string& text) {
    FileOutput file;
    const auto fail = [&] {
        const std::string reason = file.Reason();
        file.Discard();
        throw FileError(FileError::Act::Write, path.string(), reason);
    };
    if (!file.Create(path.string())) fail();
    file.Append(text.data(), text.size());
    if (!file.Close()) fail();
}

ClipFile::ClipFile(fs::path path) : m_path(std::move(path)), m_part(m_path) {
    m_part.replace_filename(".");
    m_part += m_path.filename();
    m_part += ".part";
    m_file = std::fopen(m_part.c_str(), "wb");
    if (!m_file) Fail(errno);
}

ClipFile::~ClipFile() {
    if (!m_file) return;
    std::fclose(m_file);
    std::error_code ignored;
    fs::remove(m_part, ignored);
}

void ClipFile::Write(const void* data, std::size_t length) {
    if (std::fwrite(data, 1, length, m_file) != length) Fail(errno);
}

void ClipFile::Finish() {
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (!closed || std::rename(m_part.c_str(), m_path.c_str()) != 0) {
        const int error = errno;
        std::error_code ignored;
        fs::remove(m_part, ignored);
        Fail(error);
    }
}

void ClipFile::Fail(int error) const { throw FileError(FileError::Act::Write, m_path.string(), std::strerror(error)); }

}  // namespace Quorvex::VarnelNet::Kit
