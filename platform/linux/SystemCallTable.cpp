#include "platform/linux/SystemCallTable.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "platform/SystemCalls.h"

namespace norvane {

namespace {

int RealOpenAt(int dirFd, const char* name, int flags) { return ::openat(dirFd, name, flags); }

const SystemCalls kReal = {RealOpenAt, ::fdopendir, ::readdir, ::closedir, ::fstatat};

SystemCalls g_calls = kReal;

}  // namespace

SystemCalls& Sys() { return g_calls; }

const SystemCalls& RealSystemCalls() { return kReal; }

// The texts of the table in SystemCalls.cpp serve.
std::string SystemMessageUtf8(std::uint32_t /*code*/) { return {}; }

}  // namespace norvane
