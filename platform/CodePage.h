// The process-wide code page: every byte string of the program (file names,
// settings, output) is in it. Two exist: 932 (Shift-JIS) and 65001 (UTF-8).
#pragma once

#include <string>
#include <string_view>

namespace norvane {

inline constexpr int kCodePageShiftJis = 932;
inline constexpr int kCodePageUtf8 = 65001;

// The code page a locale text names ("ja_JP.SJIS" gives 932, anything else,
// the C locale included, 65001). Only the text is read: the locale need not
// be installed.
int CodePageFromLocaleName(std::string_view locale);

// The code page of this process's environment: LC_ALL, else LC_CTYPE, else
// LANG (the first that is set and not empty).
int CodePageFromEnvironment();

// The code page the system runs the program in: the environment's (Linux),
// or the ANSI code page (Windows: 932 gives 932, any other 65001).
int DefaultCodePage();

// The encoding names come in from the system: the environment's (Linux), or
// UTF-8 (Windows, whose UTF-16 names the program keeps as UTF-8, so that no
// name is lost to the ANSI code page).
int NameCodePage();

// The process-wide code page; 65001 until set.
int CurrentCodePage();
void SetCodePage(int codePage);

// The encoding of names as the file system hands them over: the locale's, so
// by default the code page of the environment.
int FileSystemCodePage();
void SetFileSystemCodePage(int codePage);

// True when c starts a double-byte character in code page 932.
bool IsLeadByte(unsigned char c, int codePage = CurrentCodePage());

// Length in bytes of the character that starts at text[pos] (1 or 2; a lead
// byte at the very end counts as one byte).
std::size_t CharLength(std::string_view text, std::size_t pos, int codePage = CurrentCodePage());

// True when the last character of text is the separator. In 932 a
// double-byte character whose trail byte is 0x5C or 0x2F is not a separator.
bool EndsWithCharacter(std::string_view text, char separator, int codePage = CurrentCodePage());

// Appends separator unless the text already ends with it.
void AppendSeparatorIfMissing(std::string& text, char separator = '/', int codePage = CurrentCodePage());

// Comparisons used by sorting and by the folder headings. Case-sensitive:
// character by character by character code (a double-byte character is its
// 16-bit code in 932, a code point in UTF-8). Case-insensitive: the same after
// folding ASCII capitals and, in 932, the double-byte full-width Latin, Greek
// and Cyrillic capitals to small letters. The result is <0, 0 or >0.
int MbsCmp(std::string_view a, std::string_view b, int codePage = CurrentCodePage());
int MbsICmp(std::string_view a, std::string_view b, int codePage = CurrentCodePage());

// The character code that the case-insensitive comparison uses for a
// character code (a byte, or in 932 a double-byte character's 16-bit code).
unsigned FoldedCharacterCode(unsigned code, int codePage = CurrentCodePage());

// Cuts text to at most maxBytes bytes, never inside a double-byte character.
std::string_view CutToBytes(std::string_view text, std::size_t maxBytes, int codePage = CurrentCodePage());

// Code page <-> UTF-8 (what the window layer hands to Qt). Characters the
// target cannot hold become "?".
std::string CodePageToUtf8(std::string_view text, int codePage = CurrentCodePage());
std::string Utf8ToCodePage(std::string_view text, int codePage = CurrentCodePage());

// A name from the file system (in the file system's encoding) in the code
// page. When both are the same the bytes pass unchanged.
std::string FileSystemToCodePage(std::string_view raw, int fileSystemCodePage, int codePage = CurrentCodePage());

// A file or folder name as the list and the exports show it: as
// FileSystemToCodePage, and where both encodings are the same, a sequence of
// bytes that is no character of it becomes "?" (one per invalid sequence),
// so that no output is invalid text. The name's own bytes stay the ones the
// system calls are given.
std::string FileNameToCodePage(std::string_view raw, int fileSystemCodePage, int codePage = CurrentCodePage());

// A text in the code page as the file system wants it (for system calls).
std::string CodePageToFileSystem(std::string_view text, int fileSystemCodePage, int codePage = CurrentCodePage());

// Text for a terminal, in the given encoding: control characters (C0, DEL,
// and in UTF-8 the C1 range) and, in UTF-8, bytes that start no character
// are written as visible escapes ("\x1b"), so that a name cannot move the
// cursor, clear the screen or set the window's title.
std::string VisibleControls(std::string_view text, int codePage);

// The marks the program writes itself, encoded in the code page.
std::string_view MarkBlackCircle(int codePage = CurrentCodePage());     // "●"
std::string_view MarkFullWidthSpace(int codePage = CurrentCodePage());  // "　"
std::string_view MarkWhiteCircle(int codePage = CurrentCodePage());     // "○"

}  // namespace norvane
