// Code page conversions through the system's own tables.
#include "platform/windows/Win32.h"

#include <string>

#include "platform/CodePage.h"
#include "platform/SystemHooks.h"

namespace norvane {

namespace {

UINT WindowsCodePage(int codePage) { return codePage == kCodePageShiftJis ? 932 : CP_UTF8; }

// The UTF-16 of text; false when some of it is no character of codePage.
bool ToWide(std::string_view text, int codePage, std::wstring* wide) {
    wide->clear();
    if (text.empty()) return true;
    const UINT cp = WindowsCodePage(codePage);
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0) return false;
    wide->resize(static_cast<std::size_t>(length));
    return MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, text.data(), size, wide->data(), length) == length;
}

// UTF-16 into codePage; what it cannot hold becomes "?" (no look-alike
// put in its place).
void AppendFromWide(std::wstring_view wide, int codePage, std::string& out) {
    if (wide.empty()) return;
    const UINT cp = WindowsCodePage(codePage);
    const DWORD flags = cp == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* defaultChar = cp == CP_UTF8 ? nullptr : "?";
    const int size = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(cp, flags, wide.data(), size, nullptr, 0, defaultChar, nullptr);
    if (length <= 0) return;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(length));
    WideCharToMultiByte(cp, flags, wide.data(), size, out.data() + at, length, defaultChar, nullptr);
}

}  // namespace

std::string ConvertText(std::string_view text, int fromCodePage, int toCodePage) {
    std::string out;
    std::wstring wide;
    if (ToWide(text, fromCodePage, &wide)) {
        AppendFromWide(wide, toCodePage, out);
        return out;
    }
    // Some of it is not valid: character by character, "?" for each that is
    // not one.
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        bool valid = true;
        const std::size_t n = fromCodePage == kCodePageShiftJis ? CharLength(text, pos, kCodePageShiftJis)
                                                                : Utf8SequenceAt(text, pos, &valid);
        if (valid && ToWide(text.substr(pos, n), fromCodePage, &wide)) AppendFromWide(wide, toCodePage, out);
        else out.push_back('?');
        pos += n;
    }
    return out;
}

int DefaultCodePage() { return GetACP() == 932 ? kCodePageShiftJis : kCodePageUtf8; }

// Names come as UTF-16 and are kept as UTF-8: none is lost to the ANSI code
// page.
int NameCodePage() { return kCodePageUtf8; }

bool IsShiftJisCharacter(std::string_view bytes) {
    std::wstring wide;
    return ToWide(bytes, kCodePageShiftJis, &wide);
}

}  // namespace norvane
