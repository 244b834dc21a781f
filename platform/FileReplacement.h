// Writing a file anew without putting its old content at risk: the new bytes
// go to a temporary file, and only a complete one takes the target's place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace norvane {

// An open file to write to: a descriptor on Linux, a HANDLE on Windows.
enum class FileHandle : std::intptr_t { kNone = -1 };

// The process's standard output.
FileHandle StandardOutputHandle();

// Writes up to size bytes of data at the file's position: how many were
// written, or -1 with *error set (an errno value; EINTR when a signal
// interrupted the call).
long long WriteSome(FileHandle file, const void* data, std::size_t size, int* error);

// Which symbolic links a write follows.
enum class LinkRule {
    kFollow,
    // Only a link that belongs to the user the process runs as (its
    // effective user), to a file that belongs to that user or is still to be
    // made, as the kernel's protected-symlinks rule asks in shared folders:
    // a link another user planted cannot lead a write into the user's files.
    kOwnLinksOnly,
};

// One replacement of one file: Open, write to Handle(), then Commit or Abandon.
//
// - A missing target is created by Commit: nothing appears at the path before.
// - An existing regular file keeps its content until Commit. The temporary
//   file lies beside it and is renamed over it, after taking the file's mode,
//   owner and group. Where a rename would change the file for its other users
//   (its owner or group cannot be given to a new file, it has other hard links,
//   its folder takes no new file, or the rename is refused), Commit copies the
//   bytes into the file in place instead, once the space they need is
//   reserved, and with the old content kept aside to be put back should the
//   copy fail all the same; where neither can be had the commit is refused
//   and the file left alone. Only a failure of that copy whose old content
//   could not be put back leaves the file part-written (TargetChanged).
// - A symbolic link keeps its place: the file it names is replaced.
// - A target that is no regular file (a device, a pipe) is written directly.
// - Only a target that may be written is replaced: a file the process could
//   not open for writing is refused, as a direct write would be.
// Errors are errno values; 0 means success.
class FileReplacement {
public:
    FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;
    // Abandons what was not committed.
    ~FileReplacement();

    // With kOwnLinksOnly a link that is not the user's own, or that leads to
    // another user's file, is refused with EACCES, as the kernel refuses it.
    int Open(const std::string& path, LinkRule rule = LinkRule::kFollow);
    // Where the new bytes go; kNone unless open.
    FileHandle Handle() const;
    bool IsOpen() const { return Handle() != FileHandle::kNone; }
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
    bool TargetChanged() const;

    // The system's own part.
    class Impl;

private:
    std::unique_ptr<Impl> m_pImpl;
};

// The file a path names once symbolic links in its last part are followed
// (relative links against the folder of the link); the path itself when it is
// no link. Errors as errno values (ELOOP for a loop; with kOwnLinksOnly,
// EACCES for a link the rule refuses).
int ResolveFinalLink(const std::string& path, std::string* resolved, LinkRule rule = LinkRule::kFollow);

}  // namespace norvane
