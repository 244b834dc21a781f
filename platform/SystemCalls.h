// Why a system call failed: Windows error codes, errno values, and the texts
// the user is shown for them.
#pragma once

#include <cstdint>
#include <string>

namespace norvane {

// The Windows error code that matches an errno value. The scan acts on
// some: ENOENT and ENOTDIR give 3, EACCES and EPERM 5, ENOMEDIUM 21; the
// others only choose the text that tells the user why. EIO is a read fault
// (30), or with bWriting an I/O device error (1117). An errno without a
// match gives 31, the device's general failure.
std::uint32_t WinErrorFromErrno(int error, bool bWriting = false);

// The text a Japanese Windows gives for an error code, in UTF-8, without a
// line end ("エラー" and the number for a code without one): the system's own
// Japanese text where it has one (Windows), else the program's table. Together with
// WinErrorFromErrno, the one place that says why something failed: the
// window's boxes, the lister's messages and the scan's diagnostics.
std::string SystemErrorTextUtf8(std::uint32_t code);

// The same in the code page, ending with a line feed, as the scan reports it.
std::string SystemErrorText(std::uint32_t code);

// The text for an errno value (UTF-8, no line end).
std::string ErrnoText(int error, bool bWriting = false);

// The system's own Japanese text for a Windows error code (UTF-8, no line
// end); empty where the system has none (always on Linux).
std::string SystemMessageUtf8(std::uint32_t code);

}  // namespace norvane
