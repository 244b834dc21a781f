#include "platform/FolderSearch.h"

#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <dirent.h>

#include <cerrno>
#include <cstring>

#include "platform/CodePage.h"
#include "platform/FileTime.h"
#include "platform/Paths.h"
#include "platform/SystemCalls.h"
#include "platform/linux/SystemCallTable.h"

namespace norvane {

namespace {

constexpr int kOpenFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// How a file system keeps the DOS hidden and system bits, if it does.
enum DosKind { kNoDos = 0, kDosIoctl = 1, kDosXattrNtfs = 2, kDosXattrCifs = 3 };

int DosKindOf(int fd) {
    struct statfs fs {};
    if (fstatfs(fd, &fs) != 0) return kNoDos;
    switch (static_cast<unsigned long>(fs.f_type)) {
        case 0x4d44: return kDosIoctl;        // vfat, msdos
        case 0x2011BAB0UL: return kDosIoctl;  // exfat (newer kernels answer the call)
        case 0x5346544eUL:
        case 0x7366746eUL: return kDosXattrNtfs;  // ntfs, ntfs3
        case 0xFF534D42UL:
        case 0xFE534D42UL: return kDosXattrCifs;  // cifs, smb2
        default: return kNoDos;
    }
}

int FdOf(FolderHandle handle) { return static_cast<int>(handle); }

FolderHandle HandleOf(int fd) { return static_cast<FolderHandle>(fd); }

FolderHandle Opened(int fd, std::uint32_t* error) {
    if (fd < 0) *error = WinErrorFromErrno(errno);
    return fd < 0 ? FolderHandle::kNone : HandleOf(fd);
}

}  // namespace

struct FolderSearch::State {
    DIR* dir = nullptr;
    int fd = -1;
    bool skipDots = false;
    int dosKind = kNoDos;  // which way this file system keeps DOS attributes

    std::uint32_t DosAttributes(const std::string& rawName);
};

void FolderSearch::Close() {
    if (m_pState == nullptr) return;
    Sys().closeDir(m_pState->dir);  // closes its descriptor too
    delete m_pState;
    m_pState = nullptr;
}

namespace {

// The search of an open folder descriptor (taken over, closed on failure).
std::uint32_t Start(int fd, bool isRoot, FolderSearch::State** state) {
    if (fd < 0) return WinErrorFromErrno(errno);
    DIR* dir = Sys().fdOpenDir(fd);
    if (dir == nullptr) {
        const int error = errno;
        ::close(fd);
        return WinErrorFromErrno(error);
    }
    *state = new FolderSearch::State{dir, fd, isRoot, DosKindOf(fd)};
    return ERROR_SUCCESS;
}

}  // namespace

std::uint32_t FolderSearch::Open(const std::string& rawPath) {
    Close();
    if (rawPath.empty()) return Fail(ERROR_PATH_NOT_FOUND);
    return Fail(Start(Sys().openAt(AT_FDCWD, rawPath.c_str(), kOpenFolderFlags), IsRootFolder(rawPath), &m_pState));
}

std::uint32_t FolderSearch::OpenAt(const FolderSearch& parent, const std::string& rawName) {
    return OpenAt(parent.Handle(), rawName.c_str());
}

std::uint32_t FolderSearch::OpenAt(FolderHandle parent, const char* rawName) {
    Close();
    return Fail(Start(Sys().openAt(FdOf(parent), rawName, kOpenFolderFlags | O_NOFOLLOW), false, &m_pState));
}

FolderHandle FolderSearch::Handle() const { return m_pState == nullptr ? FolderHandle::kNone : HandleOf(m_pState->fd); }

FolderHandle OpenFolderHandle(const char* rawPath, std::uint32_t* error) {
    return Opened(Sys().openAt(AT_FDCWD, rawPath, kOpenFolderFlags), error);
}

FolderHandle OpenSubfolderHandle(FolderHandle parent, const char* rawName, std::uint32_t* error) {
    return Opened(Sys().openAt(FdOf(parent), rawName, kOpenFolderFlags | O_NOFOLLOW), error);
}

void CloseFolderHandle(FolderHandle handle) {
    if (handle != FolderHandle::kNone) ::close(FdOf(handle));
}

bool FolderSearch::Identity(FolderIdentity* identity) const {
    struct statx stx {};
    if (m_pState == nullptr || ::statx(m_pState->fd, "", AT_EMPTY_PATH, STATX_INO, &stx) != 0) return false;
    identity->device = makedev(stx.stx_dev_major, stx.stx_dev_minor);
    identity->inode = stx.stx_ino;
    identity->mountRoot =
        (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) == 0 || (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    return true;
}

FolderHandle FolderSearch::KeepHandle() const {
    const int fd = m_pState == nullptr ? -1 : fcntl(m_pState->fd, F_DUPFD_CLOEXEC, 0);
    return fd < 0 ? FolderHandle::kNone : HandleOf(fd);
}

std::uint32_t FolderSearch::State::DosAttributes(const std::string& rawName) {
    std::uint32_t attributes = 0;
    if (dosKind == kDosIoctl) {
        int entryFd = ::openat(fd, rawName.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (entryFd >= 0) {
            __u32 value = 0;
            if (ioctl(entryFd, FAT_IOCTL_GET_ATTRIBUTES, &value) == 0) {
                attributes = value;
            } else if (errno == ENOTTY || errno == EINVAL) {
                dosKind = kNoDos;  // a driver without the call: ask no more in this folder
            }
            ::close(entryFd);
        }
    } else if (dosKind != kNoDos) {
        // The value is a little-endian number of one to four bytes.
        unsigned char value[4] = {};
        std::string path = "/proc/self/fd/" + std::to_string(fd) + "/" + rawName;
        const char* name = dosKind == kDosXattrNtfs ? "system.dos_attrib" : "system.cifs_attrib";
        ssize_t n = lgetxattr(path.c_str(), name, value, sizeof value);
        for (ssize_t i = 0; i < n && i < 4; ++i) attributes |= static_cast<std::uint32_t>(value[i]) << (8 * i);
    }
    return attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
}

bool FolderSearch::Next(FindData* data) {
    if (m_pState == nullptr) {
        if (m_nLastError == ERROR_SUCCESS) m_nLastError = ERROR_NO_MORE_FILES;
        return false;
    }
    State& state = *m_pState;
    for (;;) {
        errno = 0;
        struct dirent* entry = Sys().readDir(state.dir);
        if (entry == nullptr) {
            m_nLastError = errno != 0 ? WinErrorFromErrno(errno) : ERROR_NO_MORE_FILES;
            return false;
        }
        if (m_pStop != nullptr && m_pStop->load(std::memory_order_relaxed)) {
            m_nLastError = ERROR_OPERATION_ABORTED;
            return false;
        }
        const char* name = entry->d_name;
        bool dot = name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
        if (dot && state.skipDots) continue;

        data->rawName.assign(name);
        data->dwFileAttributes = 0;
        data->fileSize = 0;
        data->ftLastWriteTime = 0;
        data->regularFile = false;
        data->symbolicLink = false;
        data->statError = 0;
        bool isDirectory = dot || entry->d_type == DT_DIR;
        if (!dot && (!isDirectory || m_bStatDirectories)) {
            struct stat st {};
            if (Sys().fstatAt(state.fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
                isDirectory = S_ISDIR(st.st_mode);
                data->regularFile = S_ISREG(st.st_mode);
                data->symbolicLink = S_ISLNK(st.st_mode);
                data->fileSize = static_cast<std::uint64_t>(st.st_size);
                data->ftLastWriteTime = FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
            } else if (errno == ENOENT) {
                continue;  // gone since the folder was read
            } else {
                data->statError = errno;
                data->regularFile = entry->d_type == DT_REG;
                data->symbolicLink = entry->d_type == DT_LNK;
            }
            // Otherwise listed with what the folder itself tells.
        }
        if (isDirectory) data->dwFileAttributes |= FILE_ATTRIBUTE_DIRECTORY;
        if (name[0] == '.') data->dwFileAttributes |= FILE_ATTRIBUTE_HIDDEN;
        if (state.dosKind != kNoDos && !dot) data->dwFileAttributes |= state.DosAttributes(data->rawName);

        data->cFileName = FileNameToCodePage(data->rawName, FileSystemCodePage());
        return true;
    }
}

}  // namespace norvane
