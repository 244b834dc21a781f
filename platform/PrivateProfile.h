// Reader and writer of private-profile (INI) files with the Windows rules:
// "[SECTION]" lines, "KEY=VALUE" lines, names without regard to ASCII case,
// blanks around names and values trimmed, one pair of enclosing quotes
// dropped from a value, the first of duplicate sections and keys winning,
// lines starting with ";" being comments. LF, CRLF and CR files read alike and
// a UTF-8 byte order mark at the start is skipped. Writes rewrite the file with
// CRLF line ends and replace it atomically.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace norvane {

using ProfileKeyValues = std::vector<std::pair<std::string, std::string>>;

// Like GetPrivateProfileStringA: copies the value of key in section of file
// `path` into *value, cut to bufferSize-1 bytes (in code page 932 never inside
// a double-byte character). Returns the number of bytes copied. When the file,
// section or key is missing, the default is copied (cut the same way). `KEY=`
// gives "" (not the default). Only regular files are read; the file is streamed,
// so a huge or binary file costs one pass and bounded memory (a line counts
// with its first kMaxProfileLineBytes bytes).
std::size_t GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                    std::string* value, std::size_t bufferSize, const std::string& path);

// Like WritePrivateProfileStringA with a non-null value: true when the file was
// written. The file is created when missing (its folder is not). Differences
// from the Windows call, all so that a write cannot damage the file:
// - the value is cut at its first CR or LF (written raw, a line break would
//   add a key or a section to the file);
// - names and lines that could not be read back as written are refused: an
//   empty key or section, a line break in either, "=" in a key, a key
//   starting with ";" or "[", a section ending in half a double-byte
//   character (932), a line longer than kMaxProfileLineBytes;
// - the file is replaced atomically (temporary file in the same folder, fsync,
//   rename; see FileReplacement) and keeps its mode, owner and group, writers
//   of one folder take turns (a lock on the folder), and a file without any
//   write permission bit is left alone (false), like a read-only file on
//   Windows;
// - a file larger than kMaxProfileFileBytes is not rewritten, nor is one
//   written that would grow larger (false).
bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string& path);

// Several keys of one section in one write (one read, one atomic replace).
// Keys missing from the section are added in the order given; an empty list
// writes nothing. Through a symbolic link the file it names is replaced (a
// link to a missing file creates that file), but only when every link on
// the way and that file belong to the user the program runs as: a link
// planted by another user in a folder it controls must not lead a write
// into a file of the user's (false, and both are left alone).
bool WritePrivateProfileStrings(std::string_view section, const ProfileKeyValues& keyValues, const std::string& path);

inline constexpr std::size_t kMaxProfileLineBytes = std::size_t{1} << 20;
// A settings file is small: a larger file is not one of the program's.
inline constexpr std::size_t kMaxProfileFileBytes = std::size_t{1} << 20;

enum class ProfileFileRead {
    kRead,        // the text is there
    kMissing,     // nothing at the path
    kTooLarge,    // a regular file larger than the limit: not read
    kUnreadable,  // no regular file, or it cannot be read
};
// The whole text of the file at path, when it is a regular file of at most
// maxBytes; read in one pass, never beyond the limit.
ProfileFileRead ReadPrivateProfileFile(const std::string& path, std::size_t maxBytes, std::string* text);

// The value of key in section of the file at path as GetPrivateProfileString
// finds it; nullopt when the file or the key is not there (or is no
// regular file).
std::optional<std::string> ReadProfileValueFromFile(const std::string& path, std::string_view section,
                                                    std::string_view key, int codePage);

// The same rules on text in memory (what the file functions use; the fuzz
// target and the tests drive them directly).

// Cuts text fed in pieces of any size into lines: LF, CRLF and CR end a line,
// a UTF-8 byte order mark at the start is dropped, and each line is handed
// over with at most maxLineBytes of its bytes (the rest is skipped).
class ProfileLineSplitter {
public:
    explicit ProfileLineSplitter(std::size_t maxLineBytes) : m_nMaxLineBytes(maxLineBytes) {}
    // Takes the next piece of the text; Next hands over the lines it ends.
    // The piece must stay valid until Next returns false.
    void Feed(std::string_view chunk);
    // Ends the text: Next then hands over its last line if that has no line end.
    void Finish();
    // The next whole line, valid until the next call; false when the piece
    // fed last is used up.
    bool Next(std::string_view* line);

private:
    std::size_t NextLineEnd();
    void Append(std::string_view bytes);
    std::string_view HandOver(std::string_view line);

    std::size_t m_nMaxLineBytes;
    std::string_view m_chunk;
    std::size_t m_nPos = 0;
    // Where the next CR and LF of the piece are, kept so that a text of many
    // CRs and one far LF is not scanned again for every line.
    std::size_t m_nNextCr = 0;
    std::size_t m_nNextLf = 0;
    bool m_bSearched = false;
    std::string m_strLine;  // a line begun in an earlier piece
    bool m_bLinePending = false;
    bool m_bLineHandedOver = false;
    bool m_bAfterCr = false;
    bool m_bFirstLine = true;
    bool m_bFinished = false;
};

// Looks a key up in profile text fed in pieces of any size.
class PrivateProfileLookup {
public:
    PrivateProfileLookup(std::string_view section, std::string_view key, int codePage);
    // False once the answer is known: the rest of the text need not be fed.
    bool Feed(std::string_view chunk);
    // The value, or nullopt when the section or key is missing.
    std::optional<std::string> Finish();

private:
    bool OnLine(std::string_view line);

    std::string m_strSection;
    std::string m_strKey;
    int m_nCodePage;
    ProfileLineSplitter m_splitter{kMaxProfileLineBytes};
    bool m_bInSection = false;
    bool m_bDone = false;
    std::optional<std::string> m_strValue;
};

std::optional<std::string> FindPrivateProfileValue(std::string_view text, std::string_view section,
                                                   std::string_view key, int codePage);

// The text after writing keyValues into section; nullopt when a name cannot be
// written.
std::optional<std::string> UpdatePrivateProfileText(std::string_view text, std::string_view section,
                                                    const ProfileKeyValues& keyValues, int codePage);

// The value as the writer puts it on its line: cut at the first CR or LF,
// outer blanks trimmed.
std::string_view CleanProfileValueForWrite(std::string_view value);

// The value as the reader returns it from its line: outer blanks trimmed,
// then one pair of matching enclosing quotes dropped.
std::string_view CleanProfileValueForRead(std::string_view raw);

}  // namespace norvane
