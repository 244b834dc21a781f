// The few Windows types and codes that the program's dialogs are defined
// with: command ids, message-box styles and outcomes, colour values and list
// column alignments.
#pragma once

#include <cstdint>

namespace norvane {

using BOOL = int;
using UINT = unsigned int;
using DWORD = std::uint32_t;
using LPARAM = std::intptr_t;
using COLORREF = std::uint32_t;

constexpr COLORREF RGB(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16);
}
constexpr unsigned GetRValue(COLORREF c) { return c & 0xFFu; }
constexpr unsigned GetGValue(COLORREF c) { return (c >> 8) & 0xFFu; }
constexpr unsigned GetBValue(COLORREF c) { return (c >> 16) & 0xFFu; }

// Command ids every dialog shares, and the dialog and message-box outcomes.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;
inline constexpr int IDC_STATIC = -1;

// Message-box styles: buttons, then icon.
inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_YESNO = 0x4;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;
inline constexpr UINT MB_ICONINFORMATION = 0x40;

// Help commands handed to WinHelp.
inline constexpr UINT HELP_CONTEXT = 0x0001;

// List column alignments.
inline constexpr int LVCFMT_LEFT = 0;
inline constexpr int LVCFMT_RIGHT = 1;

}  // namespace norvane
