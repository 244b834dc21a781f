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
    int (*makeDir)(const char* path, mode_t mode);
};

// The table in use; tests replace entries and put the old ones back.
SystemCalls& Sys();
// The real calls.
const SystemCalls& RealSystemCalls();

// The Windows error code the scan acts on for an errno value: ENOENT and
// ENOTDIR give 3, EACCES and EPERM 5, ENOMEDIUM 21, EEXIST 183, EIO 30, ...
std::uint32_t WinErrorFromErrno(int error);

// The system's text for an error code, as FormatMessage gives it, in the
// code page, ending with a line feed.
std::string SystemErrorText(std::uint32_t code);

}  // namespace norvane
