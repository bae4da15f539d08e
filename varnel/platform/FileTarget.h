#pragma once

#include <string>

namespace Quorvex::VarnelNet {

// Where a file is written. A regular file, or a name that does not exist yet, is replaced as a
// whole: the bytes go to a temporary file in the same folder (".NAME.XXXXXX"), which Commit
// renames over the target; until then, and after Discard, the old file is untouched and a new
// name does not exist. A second writer of the same file is refused: an existing target is
// locked (flock) while it is written, and a new name is held by its writer's locked temporary
// file (a killed writer leaves its temporary file unlocked, and it holds nothing). A symbolic
// link is followed: its target is replaced, not the link. Devices and pipes are written as
// they are.
//
// Failures keep the operating system's reason (strerror of the first call that failed).
class FileTarget {
public:
    FileTarget() = default;
    FileTarget(const FileTarget&) = delete;
    FileTarget& operator=(const FileTarget&) = delete;
    ~FileTarget();

    // Opens the target for writing; false (with Reason()) when it cannot be written.
    bool Open(const std::string& path);
    bool IsOpen() const { return m_fd >= 0; }
    // The descriptor the bytes go to: the temporary file, or the device.
    int Descriptor() const { return m_fd; }

    // Makes what was written the target: a temporary file is flushed to the disk and renamed
    // over it. False (with Reason()) when that failed; the old file is then untouched.
    bool Commit();
    // Drops what was written: the temporary file is removed, and so is the empty file that
    // held a new name. Harmless when nothing is open.
    void Discard();

    const std::string& Reason() const { return m_reason; }

private:
    bool Refuse(const std::string& reason);
    bool OpenRegular(const std::string& target);
    // Creates and locks the temporary file beside the target.
    bool CreateTemporary();
    // The temporary files' names up to their random suffix: FOLDER/.NAME.
    std::string TemporaryPrefix() const;
    // Whether another writer's locked temporary file holds the target's name.
    bool AnotherWriterHolds() const;
    // Unlocks the target.
    void ReleaseTarget();

    int m_fd = -1;             // the temporary file, or the device
    int m_targetFd = -1;       // an existing target, locked; -1 for a new name or a device
    std::string m_target;      // the path replaced at Commit, links resolved
    std::string m_temporary;   // empty for a device
    std::string m_reason;
};

}  // namespace Quorvex::VarnelNet
