// Enumerates one folder like FindFirstFile/FindNextFile: each entry with its
// name, attributes, size and last-write time; failures as Windows codes.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/WinTypes.h"

namespace norvane {

// An open folder whose entries can be reached through it, whatever its path:
// a descriptor on Linux; on Windows the folder's full path, which the handle
// holds. kNone when there is none. Each handle is closed once, with
// CloseFolderHandle.
enum class FolderHandle : std::intptr_t { kNone = -1 };

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
    ~FolderSearch() { Close(); }
    FolderSearch(const FolderSearch&) = delete;
    FolderSearch& operator=(const FolderSearch&) = delete;

    // Opens a folder by its path (the top of a scan); 0 or an error code.
    std::uint32_t Open(const std::string& rawPath);
    // Opens a subfolder relative to an open folder, so that depth is not
    // limited by the length of a path; 0 or an error code.
    std::uint32_t OpenAt(const FolderSearch& parent, const std::string& rawName);
    std::uint32_t OpenAt(FolderHandle parent, const char* rawName);

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

    // The open folder (for reads relative to it), or kNone.
    FolderHandle Handle() const;
    // A handle of the open folder that outlives Close (the caller's to
    // close), or kNone.
    FolderHandle KeepHandle() const;
    void Close();

    // The system's own state of one search.
    struct State;

private:
    std::uint32_t Fail(std::uint32_t error) {
        m_nLastError = error;
        return error;
    }

    State* m_pState = nullptr;
    bool m_bStatDirectories = true;
    const std::atomic<bool>* m_pStop = nullptr;
    std::uint32_t m_nLastError = 0;
};

// Folders kept open by a scan: the top by its path (links followed), a
// subfolder by its name in an open folder (a link is not followed). kNone
// with *error (a Windows error code) on failure.
FolderHandle OpenFolderHandle(const char* rawPath, std::uint32_t* error);
FolderHandle OpenSubfolderHandle(FolderHandle parent, const char* rawName, std::uint32_t* error);
void CloseFolderHandle(FolderHandle handle);

}  // namespace norvane
