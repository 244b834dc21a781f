// The Windows headers for the Windows implementation of platform/, and what
// its files share: texts between UTF-8 (the bytes of names on Windows) and
// UTF-16 (what the system takes), long paths, error codes as errno values.
// The program's own names of Windows types and codes (WinTypes.h) come
// first: <windows.h> makes macros of some of them.
#pragma once

#include "platform/WinTypes.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// A name of the program's own (platform/Threads.h).
#undef YieldProcessor

#include <string>
#include <string_view>

namespace norvane {

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

// A path the system takes at any length: made absolute, with "\\?\" (or
// "\\?\UNC\" for a share) before it, "/" turned into "\".
std::wstring LongPath(std::string_view utf8Path);

// The errno value closest to a Windows error code (for the interfaces that
// report errno values).
int ErrnoFromWinError(DWORD error);

// A FILETIME as the program keeps it.
inline std::uint64_t Ticks(const ::FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace norvane
