// Enumerates one folder like FindFirstFile/FindNextFile: each entry with its
// name, attributes, size and last-write time; failures as Windows codes.
#pragma once

#include <dirent.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/WinTypes.h"

namespace norvane {

struct FindData {
    std::uint32_t dwFileAttributes = 0;  // directory 0x10, hidden 0x2, system 0x4
    std::uint64_t fileSize = 0;
    FILETIME ftLastWriteTime = 0;
    std::string rawName;        // the bytes the file system gave
    std::string cFileName;      // the name in the code page
    bool regularFile = false;   // a regular file (the only kind ever opened)
    bool symbolicLink = false;  // a symbolic link (never followed)
    // The errno of a failed look at the entry (its size and time are then
    // 0, and its kind is what the folder itself tells); EACCES says the
    // folder may be listed but not entered.
    int statError = 0;
};

// What a folder is, whatever the path it was reached by.
struct FolderIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    // The root of a mount (a bind mount included); true where the system
    // cannot tell.
    bool mountRoot = true;
};

class FolderSearch {
public:
    FolderSearch() = default;
    ~FolderSearch();
    FolderSearch(const FolderSearch&) = delete;
    FolderSearch& operator=(const FolderSearch&) = delete;

    // Opens a folder by its path (the top of a scan); 0 or an error code.
    std::uint32_t Open(const std::string& rawPath);
    // Opens a subfolder relative to an open folder, so that depth is not
    // limited by the length of a path; 0 or an error code.
    std::uint32_t OpenAt(const FolderSearch& parent, const std::string& rawName);
    std::uint32_t OpenAt(int parentFd, const char* rawName);

    // The next entry; false at the end (LastError() is then 18) or on an
    // error (LastError() says which). An empty folder yields "." and ".."
    // first, as on Windows; the root yields neither.
    bool Next(FindData* data);
    std::uint32_t LastError() const { return m_nLastError; }

    // With false, directories are given without their size and time (saves
    // a stat per folder entry when only files need them).
    void SetStatDirectories(bool stat) { m_bStatDirectories = stat; }
    // Next gives up (LastError() 995) once *pStop is set, looked at between
    // the system calls of an entry: a stopped scan makes no call it can do
    // without. Any thread may set it.
    void SetStopFlag(const std::atomic<bool>* pStop) { m_pStop = pStop; }

    // The open folder's identity; false when it cannot be had.
    bool Identity(FolderIdentity* identity) const;

    // The descriptor of the open folder (for reads relative to it), or -1.
    int Fd() const { return m_nFd; }
    // A descriptor of the open folder that outlives Close (the caller's to
    // close), or -1.
    int DuplicateFd() const;
    void Close();

private:
    std::uint32_t Start(int fd, bool isRoot);
    std::uint32_t DosAttributes(const std::string& rawName);

    DIR* m_pDir = nullptr;
    int m_nFd = -1;
    bool m_bSkipDots = false;
    bool m_bStatDirectories = true;
    int m_nDosKind = 0;  // which way this file system keeps DOS attributes
    const std::atomic<bool>* m_pStop = nullptr;
    std::uint32_t m_nLastError = 0;
};

// Descriptors of folders kept open by a scan, through the system-call table:
// the top by its path (links followed), a subfolder by its name in an open
// folder (a link is not followed). -1 with errno set on failure.
int OpenFolderDescriptor(const char* rawPath);
int OpenSubfolderDescriptor(int parentFd, const char* rawName);
void CloseDescriptor(int fd);

}  // namespace norvane
