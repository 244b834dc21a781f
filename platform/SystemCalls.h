// The system calls of folder enumeration pass through this one table, so
// that tests can make them fail (tests run as root, where permissions deny
// nothing).
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <string>

namespace norvane {

struct SystemCalls {
    int (*openAt)(int dirFd, const char* name, int flags);
    DIR* (*fdOpenDir)(int fd);
    struct dirent* (*readDir)(DIR* dir);
    int (*closeDir)(DIR* dir);
    int (*fstatAt)(int dirFd, const char* name, struct stat* st, int flags);
};

// The table in use; tests replace entries and put the old ones back.
SystemCalls& Sys();
// The real calls.
const SystemCalls& RealSystemCalls();

// The Windows error code that matches an errno value. The scan acts on
// some: ENOENT and ENOTDIR give 3, EACCES and EPERM 5, ENOMEDIUM 21; the
// others only choose the text that tells the user why. EIO is a read fault
// (30), or with bWriting an I/O device error (1117). An errno without a
// match gives 31, the device's general failure.
std::uint32_t WinErrorFromErrno(int error, bool bWriting = false);

// The text a Japanese Windows gives for an error code, in UTF-8, without a
// line end ("エラー" and the number for a code without one). Together with
// WinErrorFromErrno, the one place that says why something failed: the
// window's boxes, the lister's messages and the scan's diagnostics.
std::string SystemErrorTextUtf8(std::uint32_t code);

// The same in the code page, ending with a line feed, as the scan reports it.
std::string SystemErrorText(std::uint32_t code);

// The text for an errno value (UTF-8, no line end).
std::string ErrnoText(int error, bool bWriting = false);

}  // namespace norvane
