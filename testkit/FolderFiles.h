#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "varnel/render/ByteSink.h"

namespace Quorvex::VarnelNet::Kit {

// A folder that cannot be made, a file of it that cannot be written, or one that cannot be
// read. what() is the system's reason.
class FileError : public std::runtime_error {
public:
    enum class Act { MakeFolder, Write, Read };
    FileError(Act act, std::string path, const std::string& reason)
        : std::runtime_error(reason), m_act(act), m_path(std::move(path)) {}
    Act Action() const { return m_act; }
    const std::string& Path() const { return m_path; }

private:
    Act m_act;
    std::string m_path;
};

// Makes the folder and those above it. Throws FileError.
void MakeFolder(const std::string& folder);

// Removes a file left by an earlier run (a manifest), if there is one. Throws FileError.
void RemoveFile(const std::filesystem::path& path);

// Writes a whole file (a manifest), replacing an old one only once it is complete, with the
// flush to disk a single output gets. Throws FileError.
void WriteText(const std::filesystem::path& path, const std::string& text);

// One of the many files of a suite or corpus: written under a hidden name and renamed when
// complete, without the flush to disk (a folder of thousands of files would wait on it); an
// unfinished one is removed. Throws FileError.
class ClipFile final : public Render::ByteSink {
public:
    explicit ClipFile(std::filesystem::path path);
    ~ClipFile() override;
    ClipFile(const ClipFile&) = delete;
    ClipFile& operator=(const ClipFile&) = delete;
    void Write(const void* data, std::size_t length) override;
    void Finish() override;

private:
    [[noreturn]] void Fail(int error) const;

    std::filesystem::path m_path;
    std::filesystem::path m_part;
    std::FILE* m_file = nullptr;
};

}  // namespace Quorvex::VarnelNet::Kit
