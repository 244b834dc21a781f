// Writing a file anew without putting its old content at risk: the new bytes
// go to a temporary file, and only a complete one takes the target's place.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace norvane {

// One replacement of one file: Open, write to Fd(), then Commit or Abandon.
//
// - A missing target is created by Commit: nothing appears at the path before.
// - An existing regular file keeps its content until Commit. The temporary
//   file lies beside it and is renamed over it, after taking the file's mode,
//   owner and group. Where a rename would change the file for its other users
//   (its owner or group cannot be given to a new file, it has other hard links,
//   its folder takes no new file, or the rename is refused), Commit copies the
//   bytes into the file in place instead; only a failure during that copy can
//   leave the file part-written (TargetChanged says so).
// - A symbolic link keeps its place: the file it names is replaced.
// - A target that is no regular file (a device, a pipe) is written directly.
// - Only a target that may be written is replaced: a file the process could
//   not open for writing is refused, as a direct write would be.
// Errors are errno values; 0 means success.
class FileReplacement {
public:
    FileReplacement() = default;
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;
    // Abandons what was not committed.
    ~FileReplacement();

    int Open(const std::string& path);
    // Where the new bytes go; -1 unless open.
    int Fd() const { return m_nTempFd >= 0 ? m_nTempFd : m_nTargetFd; }
    bool IsOpen() const { return Fd() >= 0; }
    // Random access to the new bytes, for a writer that goes back over what
    // it wrote (a database). Errors as errno values. ReadAt gives fewer bytes
    // than asked only at the end (*got says how many).
    int WriteAt(std::uint64_t offset, const void* data, std::size_t size);
    int ReadAt(std::uint64_t offset, void* data, std::size_t size, std::size_t* got);
    int Truncate(std::uint64_t size);
    int Size(std::uint64_t* size) const;
    // Puts the written bytes in the target's place and closes everything.
    int Commit();
    // Drops the written bytes: the target stays as it was (a new one is not
    // created) and no temporary file remains.
    void Abandon();
    // True when the target itself has been written to, so a failure may have
    // left it incomplete: always for a direct write, and when the in-place
    // copy of Commit failed.
    bool TargetChanged() const { return m_bTargetChanged; }

private:
    enum class Mode { kClosed, kRename, kCopyBack, kDirect };

    int PrepareReplacement(const std::string& folder, const struct stat& st);
    int OpenTemporary(const std::string& folder, const std::string& name);
    int OpenAnonymousTemporary();
    int CopyBack();
    void CloseAll();

    Mode m_mode = Mode::kClosed;
    int m_nDirFd = -1;            // the target's folder
    int m_nTempFd = -1;           // the temporary file (named or anonymous)
    int m_nTargetFd = -1;         // the target itself (copy-back and direct writes)
    std::string m_strTempName;    // in the target's folder; empty when anonymous
    std::string m_strTargetName;  // the target's name in its folder
    bool m_bTargetChanged = false;
};

// The file a path names once symbolic links in its last part are followed
// (relative links against the folder of the link); the path itself when it is
// no link. Errors as errno values (ELOOP for a loop).
int ResolveFinalLink(const std::string& path, std::string* resolved);

}  // namespace norvane
