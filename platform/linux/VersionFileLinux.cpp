#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FolderSearch.h"
#include "platform/VersionInfo.h"

namespace norvane {

namespace {

// A file read with pread: positioned reads never move a shared offset.
class FileByteSource : public ByteSource {
public:
    FileByteSource(int fd, std::uint64_t size) : m_nFd(fd), m_nSize(size) {}
    std::uint64_t Size() const override { return m_nSize; }
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const override {
        auto* out = static_cast<unsigned char*>(buffer);
        while (length > 0) {
            const ssize_t got = pread(m_nFd, out, length, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;  // an error, or the file shrank
            out += got;
            offset += static_cast<std::uint64_t>(got);
            length -= static_cast<std::size_t>(got);
        }
        return true;
    }

private:
    int m_nFd;
    std::uint64_t m_nSize;
};

int OpenAt(int dirFd, const char* rawName, int flags) {
    int fd = -1;
    do {
        fd = openat(dirFd, rawName, flags);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int OpenForVersion(int dirFd, const char* rawName) {
    // O_NONBLOCK: an entry swapped for a FIFO after the stat cannot block.
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    // Reading a version is no access the user made: keep atime when allowed
    // (only the owner, or a privileged process, may ask for that).
    const int fd = OpenAt(dirFd, rawName, kFlags | O_NOATIME);
    if (fd < 0 && errno == EPERM) return OpenAt(dirFd, rawName, kFlags);
    return fd;
}

bool ReadOpenedFile(int dirFd, const char* rawName, VS_FIXEDFILEINFO* info) {
    const int fd = OpenForVersion(dirFd, rawName);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
              static_cast<std::uint64_t>(st.st_size) >= kMinVersionResourceFileSize;
    if (ok) {
        const FileByteSource source(fd, static_cast<std::uint64_t>(st.st_size));
        ok = ReadFixedFileInfo(source, info);
    }
    close(fd);
    return ok;
}

}  // namespace

bool ReadFileVersionAt(FolderHandle folder, const char* rawName, VS_FIXEDFILEINFO* info) {
    const int dirFd = static_cast<int>(folder);
    if (info == nullptr) return false;
    *info = VS_FIXEDFILEINFO{};
    if (rawName == nullptr) return false;
    struct stat st {};
    if (fstatat(dirFd, rawName, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uint64_t>(st.st_size) < kMinVersionResourceFileSize)
        return false;
    return ReadOpenedFile(dirFd, rawName, info);
}

bool ReadRegularFileVersionAt(FolderHandle folder, const char* rawName, VS_FIXEDFILEINFO* info) {
    if (info == nullptr) return false;
    *info = VS_FIXEDFILEINFO{};
    if (rawName == nullptr) return false;
    return ReadOpenedFile(static_cast<int>(folder), rawName, info);
}

}  // namespace norvane
