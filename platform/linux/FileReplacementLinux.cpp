#include "platform/FileReplacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace norvane {

namespace {

// Links followed before a path counts as a loop, as the kernel counts them.
constexpr int kMaxLinkHops = 40;
constexpr std::size_t kCopyChunkBytes = std::size_t{256} << 10;

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

int ReadLink(const std::string& path, std::string* target) {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (n < 0) return errno;
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            *target = std::move(buffer);
            return 0;
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool WriteAllAt(int fd, const char* data, std::size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

// The first size bytes of fromFd at the same places in toFd.
int CopyBytes(int fromFd, int toFd, off_t size) {
    std::vector<char> buffer(kCopyChunkBytes);
    for (off_t offset = 0; offset < size;) {
        const auto want = static_cast<std::size_t>(std::min<off_t>(size - offset, static_cast<off_t>(buffer.size())));
        const ssize_t n = ::pread(fromFd, buffer.data(), want, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n == 0 ? EIO : errno;  // the source is shorter than it was
        if (!WriteAllAt(toFd, buffer.data(), static_cast<std::size_t>(n), offset)) return errno;
        offset += n;
    }
    return 0;
}

// A file without a name in the temporary folder.
int OpenAnonymousFile(int* fd) {
    const char* folder = std::getenv("TMPDIR");
    if (folder == nullptr || *folder == '\0') folder = "/tmp";
    *fd = ::open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (*fd >= 0) return 0;
    // File systems without O_TMPFILE: a named file, unlinked at once.
    std::string pattern = std::string(folder) + "/.norvane-XXXXXX";
    *fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (*fd < 0) return errno;
    ::unlink(pattern.c_str());
    return 0;
}

}  // namespace

// The Linux replacement; FileReplacement.h says what each call does.
class FileReplacement::Impl {
public:
    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl();

    int Open(const std::string& path, LinkRule rule = LinkRule::kFollow);
    int Fd() const { return m_nTempFd >= 0 ? m_nTempFd : m_nTargetFd; }
    bool IsOpen() const { return Fd() >= 0; }
    int WriteAt(std::uint64_t offset, const void* data, std::size_t size);
    int ReadAt(std::uint64_t offset, void* data, std::size_t size, std::size_t* got);
    int Truncate(std::uint64_t size);
    int Size(std::uint64_t* size) const;
    int Commit();
    void Abandon();
    bool TargetChanged() const { return m_bTargetChanged; }

private:
    enum class Mode { kClosed, kRename, kCopyBack, kDirect };

    int PrepareReplacement(const std::string& folder, const struct stat& st);
    int OpenExisting(const std::string& target, bool ownFileOnly);
    int OpenTemporary(const std::string& folder, const std::string& name);
    int OpenAnonymousTemporary();
    int CopyBack();
    int KeepOldContent(off_t size, int* fd);
    void CloseAll();

    Mode m_mode = Mode::kClosed;
    int m_nDirFd = -1;            // the target's folder
    int m_nTempFd = -1;           // the temporary file (named or anonymous)
    int m_nTargetFd = -1;         // the target itself (copy-back and direct writes)
    std::string m_strTempName;    // in the target's folder; empty when anonymous
    std::string m_strTargetName;  // the target's name in its folder
    bool m_bTargetChanged = false;
};

FileReplacement::FileReplacement() : m_pImpl(std::make_unique<Impl>()) {}

FileReplacement::~FileReplacement() = default;

int FileReplacement::Open(const std::string& path, LinkRule rule) { return m_pImpl->Open(path, rule); }

FileHandle FileReplacement::Handle() const { return static_cast<FileHandle>(m_pImpl->Fd()); }

int FileReplacement::WriteAt(std::uint64_t offset, const void* data, std::size_t size) {
    return m_pImpl->WriteAt(offset, data, size);
}

int FileReplacement::ReadAt(std::uint64_t offset, void* data, std::size_t size, std::size_t* got) {
    return m_pImpl->ReadAt(offset, data, size, got);
}

int FileReplacement::Truncate(std::uint64_t size) { return m_pImpl->Truncate(size); }

int FileReplacement::Size(std::uint64_t* size) const { return m_pImpl->Size(size); }

int FileReplacement::Commit() { return m_pImpl->Commit(); }

void FileReplacement::Abandon() { m_pImpl->Abandon(); }

bool FileReplacement::TargetChanged() const { return m_pImpl->TargetChanged(); }

FileHandle StandardOutputHandle() { return static_cast<FileHandle>(STDOUT_FILENO); }

long long WriteSome(FileHandle file, const void* data, std::size_t size, int* error) {
    const ssize_t written = ::write(static_cast<int>(file), data, size);
    if (written < 0) *error = errno;
    return written;
}

int ResolveFinalLink(const std::string& path, std::string* resolved, LinkRule rule) {
    std::string current = path;
    for (int hops = 0; hops <= kMaxLinkHops; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0) {
            // A link to a missing file names the file to create.
            if (errno != ENOENT) return errno;
            *resolved = std::move(current);
            return 0;
        }
        // Each link on the way, and the file at its end, must be the user's.
        if (rule == LinkRule::kOwnLinksOnly && hops > 0 && st.st_uid != ::geteuid()) return EACCES;
        if (!S_ISLNK(st.st_mode)) {
            *resolved = std::move(current);
            return 0;
        }
        if (rule == LinkRule::kOwnLinksOnly && st.st_uid != ::geteuid()) return EACCES;
        std::string target;
        if (const int error = ReadLink(current, &target); error != 0) return error;
        if (target.empty()) return ENOENT;
        if (target.front() != '/' && current.find('/') != std::string::npos) {
            target = FolderOf(current) + "/" + target;
        }
        current = std::move(target);
    }
    return ELOOP;
}

FileReplacement::Impl::~Impl() { Abandon(); }

int FileReplacement::Impl::Open(const std::string& path, LinkRule rule) {
    if (m_mode != Mode::kClosed) return EBUSY;
    m_bTargetChanged = false;
    if (path.empty()) return ENOENT;

    struct stat st {};
    const bool bExists = ::stat(path.c_str(), &st) == 0;
    if (!bExists && errno != ENOENT) return errno;
    std::string target;
    if (const int error = ResolveFinalLink(path, &target, rule); error != 0) return error;
    // Where the links lead elsewhere than to the file the path opens (the
    // links of /proc and /dev/fd name open files: pipes, terminals, deleted
    // files), or to no regular file, there is no place for a replacement: a
    // device or a pipe has no content to keep, and a folder fails here.
    struct stat targetSt {};
    if (bExists && (!S_ISREG(st.st_mode) || ::stat(target.c_str(), &targetSt) != 0 || targetSt.st_dev != st.st_dev ||
                    targetSt.st_ino != st.st_ino)) {
        m_nTargetFd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
        if (m_nTargetFd < 0) return errno;
        m_bTargetChanged = true;
        m_mode = Mode::kDirect;
        return 0;
    }
    const std::size_t slash = target.rfind('/');
    m_strTargetName = slash == std::string::npos ? target : target.substr(slash + 1);
    if (m_strTargetName.empty()) return EISDIR;
    const std::string folder = FolderOf(target);

    if (!bExists) {
        // A new file: it appears at the path only when committed.
        if (const int error = OpenTemporary(folder, m_strTargetName); error != 0) {
            CloseAll();
            return error;
        }
        m_mode = Mode::kRename;
        return 0;
    }

    if (const int error = OpenExisting(target, rule == LinkRule::kOwnLinksOnly && target != path); error != 0) {
        CloseAll();
        return error;
    }
    if (::fstat(m_nTargetFd, &st) != 0) {
        const int error = errno;
        CloseAll();
        return error;
    }
    if (!S_ISREG(st.st_mode)) {
        m_bTargetChanged = true;
        m_mode = Mode::kDirect;
        return 0;
    }

    return PrepareReplacement(folder, st);
}

// Opening the file for writing (without truncating it) asks the system
// whether it may be written; the descriptor also serves a copy in place.
// Non-blocking, so that a pipe swapped in meanwhile cannot hang the open.
// With ownFileOnly the links were followed already: a link swapped in
// meanwhile, or another user's file, is refused.
int FileReplacement::Impl::OpenExisting(const std::string& target, bool ownFileOnly) {
    m_nTargetFd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (ownFileOnly ? O_NOFOLLOW : 0));
    if (m_nTargetFd < 0) return errno == ELOOP && ownFileOnly ? EACCES : errno;
    struct stat st {};
    const int flags = ::fcntl(m_nTargetFd, F_GETFL);
    if (::fstat(m_nTargetFd, &st) != 0 || flags < 0 || ::fcntl(m_nTargetFd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return errno;
    }
    return ownFileOnly && st.st_uid != ::geteuid() ? EACCES : 0;
}

// An existing regular file: the bytes go to a temporary file beside it,
// renamed over it at commit when the rename keeps the file as its users know
// it, else copied into it.
int FileReplacement::Impl::PrepareReplacement(const std::string& folder, const struct stat& st) {
    const int tempError = OpenTemporary(folder, m_strTargetName);
    if (tempError != 0) {
        // The folder takes no new file, but the file may be written.
        if (OpenAnonymousTemporary() != 0) {
            CloseAll();
            return tempError;
        }
        m_mode = Mode::kCopyBack;
        return 0;
    }
    // A renamed file must look like the old one to everyone who uses it.
    bool bRenameKeepsFile = st.st_nlink == 1;
    struct stat tempSt {};
    if (::fstat(m_nTempFd, &tempSt) != 0) bRenameKeepsFile = false;
    if (bRenameKeepsFile && (tempSt.st_uid != st.st_uid || tempSt.st_gid != st.st_gid) &&
        ::fchown(m_nTempFd, st.st_uid, st.st_gid) != 0) {
        bRenameKeepsFile = false;
    }
    // After the owner, since a change of owner clears the set-id bits.
    if (bRenameKeepsFile && ::fchmod(m_nTempFd, st.st_mode & 07777) != 0) bRenameKeepsFile = false;
    if (!bRenameKeepsFile) {
        // The temporary file stays open, nameless, on the same disk.
        ::unlinkat(m_nDirFd, m_strTempName.c_str(), 0);
        m_strTempName.clear();
    }
    m_mode = bRenameKeepsFile ? Mode::kRename : Mode::kCopyBack;
    return 0;
}

int FileReplacement::Impl::Commit() {
    int error = 0;
    switch (m_mode) {
        case Mode::kClosed: return EBADF;
        case Mode::kDirect:
            // close() can report a write error the file system deferred.
            if (::close(m_nTargetFd) != 0) error = errno;
            m_nTargetFd = -1;
            break;
        case Mode::kRename:
            // The bytes reach the disk before the name does, so a crash leaves
            // the old file or the new one, never an empty one.
            if (::fsync(m_nTempFd) != 0) {
                error = errno;
            } else if (::renameat(m_nDirFd, m_strTempName.c_str(), m_nDirFd, m_strTargetName.c_str()) != 0) {
                error = errno;
                // A rename can be refused where a write is not (another user's
                // file in a sticky folder, a file mounted over).
                if (m_nTargetFd >= 0 && (error == EPERM || error == EACCES || error == EBUSY || error == EXDEV)) {
                    error = CopyBack();
                }
            } else {
                m_strTempName.clear();
                // Makes the rename itself durable; the new content is in place either way.
                if (::fsync(m_nDirFd) != 0) {}
            }
            break;
        case Mode::kCopyBack: error = CopyBack(); break;
    }
    CloseAll();
    return error;
}

void FileReplacement::Impl::Abandon() { CloseAll(); }

int FileReplacement::Impl::WriteAt(std::uint64_t offset, const void* data, std::size_t size) {
    if (!IsOpen()) return EBADF;
    if (!WriteAllAt(Fd(), static_cast<const char*>(data), size, static_cast<off_t>(offset))) return errno;
    if (m_nTempFd < 0) m_bTargetChanged = true;
    return 0;
}

int FileReplacement::Impl::ReadAt(std::uint64_t offset, void* data, std::size_t size, std::size_t* got) {
    *got = 0;
    if (!IsOpen()) return EBADF;
    auto* bytes = static_cast<char*>(data);
    while (*got < size) {
        const ssize_t n = ::pread(Fd(), bytes + *got, size - *got, static_cast<off_t>(offset + *got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) break;
        *got += static_cast<std::size_t>(n);
    }
    return 0;
}

int FileReplacement::Impl::Truncate(std::uint64_t size) {
    if (!IsOpen()) return EBADF;
    if (::ftruncate(Fd(), static_cast<off_t>(size)) != 0) return errno;
    if (m_nTempFd < 0) m_bTargetChanged = true;
    return 0;
}

int FileReplacement::Impl::Size(std::uint64_t* size) const {
    struct stat st {};
    if (!IsOpen()) return EBADF;
    if (::fstat(Fd(), &st) != 0) return errno;
    *size = static_cast<std::uint64_t>(st.st_size);
    return 0;
}

int FileReplacement::Impl::OpenTemporary(const std::string& folder, const std::string& name) {
    m_nDirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_nDirFd < 0) return errno;
    static std::atomic<unsigned> s_nCounter{0};
    // Hidden, and short enough for any name limit whatever the target's length.
    const std::string prefix = "." + name.substr(0, 100) + ".tmp-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string tempName = prefix + std::to_string(s_nCounter.fetch_add(1));
        // 0666 lets the umask decide, as for any file a user program creates.
        const int fd = ::openat(m_nDirFd, tempName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0) {
            m_nTempFd = fd;
            m_strTempName = std::move(tempName);
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

int FileReplacement::Impl::OpenAnonymousTemporary() { return OpenAnonymousFile(&m_nTempFd); }

// The new bytes go into the target in place, and its old content must
// outlive any failure. So the space they need is reserved first, and a disk
// that cannot hold them refuses before the target changes; and the old
// content is kept aside, to be put back when the copy fails all the same (a
// file system that cannot reserve space, or one that writes every block
// anew). Where neither can be had, the target is left alone.
int FileReplacement::Impl::CopyBack() {
    const off_t newSize = ::lseek(m_nTempFd, 0, SEEK_END);
    struct stat st {};
    if (newSize < 0 || ::fstat(m_nTargetFd, &st) != 0) return errno;
    bool bReserved = newSize == 0;
    if (!bReserved && ::fallocate(m_nTargetFd, FALLOC_FL_KEEP_SIZE, 0, newSize) == 0) {
        bReserved = true;
    } else if (!bReserved && errno != EOPNOTSUPP && errno != ENOSYS) {
        return errno;  // no room: nothing has changed
    }
    int backupFd = -1;
    const int backupError = KeepOldContent(st.st_size, &backupFd);
    if (backupError != 0 && !bReserved) return backupError;

    m_bTargetChanged = true;
    int error = CopyBytes(m_nTempFd, m_nTargetFd, newSize);
    if (error == 0 && (::ftruncate(m_nTargetFd, newSize) != 0 || ::fsync(m_nTargetFd) != 0)) error = errno;
    if (error != 0 && backupFd >= 0 && CopyBytes(backupFd, m_nTargetFd, st.st_size) == 0 &&
        ::ftruncate(m_nTargetFd, st.st_size) == 0 && ::fsync(m_nTargetFd) == 0) {
        m_bTargetChanged = false;  // the old content is back
    }
    CloseFd(backupFd);
    if (error != 0) return error;
    if (::close(m_nTargetFd) != 0) {
        m_nTargetFd = -1;
        return errno;
    }
    m_nTargetFd = -1;
    return 0;
}

// A copy of the target's first size bytes in a file of its own; the target
// is read through a descriptor of its own (the one held may only write).
int FileReplacement::Impl::KeepOldContent(off_t size, int* fd) {
    const int readFd = ::open(("/proc/self/fd/" + std::to_string(m_nTargetFd)).c_str(), O_RDONLY | O_CLOEXEC);
    // Without /proc, or a file the user may write but not read: the old
    // content cannot be kept, which the caller may only take as "not
    // supported".
    if (readFd < 0) return EOPNOTSUPP;
    int error = OpenAnonymousFile(fd);
    if (error == 0) error = CopyBytes(readFd, *fd, size);
    ::close(readFd);
    if (error != 0) CloseFd(*fd);
    return error;
}

void FileReplacement::Impl::CloseAll() {
    CloseFd(m_nTempFd);
    if (!m_strTempName.empty() && m_nDirFd >= 0) ::unlinkat(m_nDirFd, m_strTempName.c_str(), 0);
    m_strTempName.clear();
    CloseFd(m_nTargetFd);
    CloseFd(m_nDirFd);
    m_mode = Mode::kClosed;
}

}  // namespace norvane
