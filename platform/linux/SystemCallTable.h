// The system calls of folder enumeration on Linux pass through this one
// table, so that tests can make them fail (tests run as root, where
// permissions deny nothing). Linux only: the seam of the Linux
// implementation, not part of the platform's interface.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

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

}  // namespace norvane
