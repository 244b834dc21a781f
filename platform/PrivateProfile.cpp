#include "platform/PrivateProfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/CodePage.h"
#include "platform/FileReplacement.h"

namespace norvane {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

unsigned char FoldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// ASCII case is ignored; a trail byte in 932 is compared as it stands (it
// may look like an ASCII letter).
bool NamesEqual(std::string_view a, std::string_view b, int codePage) {
    if (a.size() != b.size()) return false;
    std::size_t i = 0;
    while (i < a.size()) {
        auto x = static_cast<unsigned char>(a[i]);
        if (FoldAscii(x) != FoldAscii(static_cast<unsigned char>(b[i]))) return false;
        if (IsLeadByte(x, codePage) && i + 1 < a.size()) {
            if (a[i + 1] != b[i + 1]) return false;
            i += 2;
        } else {
            ++i;
        }
    }
    return true;
}

enum class LineKind { Other, Comment, Section, Key };

struct ProfileLine {
    LineKind kind = LineKind::Other;
    std::string_view name;
    std::string_view rawValue;
};

// What a line is to the reader and the writer alike; only the first
// kMaxProfileLineBytes bytes of a line count.
ProfileLine ClassifyLine(std::string_view line, int codePage) {
    line = line.substr(0, kMaxProfileLineBytes);
    std::size_t start = 0;
    while (start < line.size() && IsBlank(line[start])) ++start;
    if (start == line.size()) return {};
    if (line[start] == ';') return {LineKind::Comment, {}, {}};
    if (line[start] == '[') {
        // The last "]" closes the name; in 932 a trail byte 0x5D is no bracket.
        std::size_t close = std::string_view::npos;
        std::size_t i = start + 1;
        while (i < line.size()) {
            if (IsLeadByte(static_cast<unsigned char>(line[i]), codePage) && i + 1 < line.size()) {
                i += 2;
                continue;
            }
            if (line[i] == ']') close = i;
            ++i;
        }
        std::size_t end = close == std::string_view::npos ? line.size() : close;
        return {LineKind::Section, TrimBlanks(line.substr(start + 1, end - start - 1)), {}};
    }
    // "=" is never a trail byte, so a plain byte search is right in 932 too.
    std::size_t equals = line.find('=', start);
    if (equals == std::string_view::npos) return {};
    return {LineKind::Key, TrimBlanks(line.substr(start, equals - start)), line.substr(equals + 1)};
}

bool EndsWithLoneLeadByte(std::string_view text, int codePage) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (pos + 1 == text.size()) return IsLeadByte(static_cast<unsigned char>(text[pos]), codePage);
        pos += CharLength(text, pos, codePage);
    }
    return false;
}

// A section written as "[name]" must read back as the same name.
bool IsWritableSection(std::string_view name, int codePage) {
    return !name.empty() && name.find_first_of("\r\n") == std::string_view::npos &&
           !EndsWithLoneLeadByte(name, codePage) && name.size() + 2 <= kMaxProfileLineBytes;
}

// A key written as "name=value" must read back as a key of that name.
bool IsWritableKey(std::string_view name) {
    return !name.empty() && name.front() != ';' && name.front() != '[' &&
           name.find_first_of("=\r\n") == std::string_view::npos;
}

}  // namespace

void ProfileLineSplitter::Feed(std::string_view chunk) {
    m_chunk = chunk;
    m_nPos = 0;
    m_bSearched = false;
    if (m_bAfterCr) {
        m_bAfterCr = false;
        if (!chunk.empty() && chunk.front() == '\n') m_nPos = 1;
    }
}

void ProfileLineSplitter::Finish() {
    m_chunk = {};
    m_nPos = 0;
    m_bFinished = true;
}

bool ProfileLineSplitter::Next(std::string_view* line) {
    if (m_bLineHandedOver) {
        m_strLine.clear();
        m_bLinePending = false;
        m_bLineHandedOver = false;
    }
    if (m_bFinished) {
        // A file of nothing but the byte order mark has no line.
        if (!m_bLinePending || (m_bFirstLine && m_strLine == kByteOrderMark)) return false;
        *line = HandOver(m_strLine);
        m_bLineHandedOver = true;
        return true;
    }
    if (m_nPos >= m_chunk.size()) return false;
    std::size_t end = NextLineEnd();
    if (end == std::string_view::npos) {
        Append(m_chunk.substr(m_nPos));
        m_nPos = m_chunk.size();
        return false;
    }
    // A line that lies whole in the piece is handed over without a copy.
    std::string_view whole = m_chunk.substr(m_nPos, end - m_nPos);
    if (m_bLinePending) {
        Append(whole);
        whole = m_strLine;
        m_bLineHandedOver = true;
    }
    if (m_chunk[end] == '\r') {
        if (end + 1 == m_chunk.size()) {
            m_bAfterCr = true;
        } else if (m_chunk[end + 1] == '\n') {
            ++end;
        }
    }
    m_nPos = end + 1;
    *line = HandOver(whole);
    return true;
}

std::size_t ProfileLineSplitter::NextLineEnd() {
    auto find = [this](char c) {
        const void* hit = std::memchr(m_chunk.data() + m_nPos, c, m_chunk.size() - m_nPos);
        return hit == nullptr ? std::string_view::npos
                              : static_cast<std::size_t>(static_cast<const char*>(hit) - m_chunk.data());
    };
    if (!m_bSearched || m_nNextCr < m_nPos) m_nNextCr = find('\r');
    if (!m_bSearched || m_nNextLf < m_nPos) m_nNextLf = find('\n');
    m_bSearched = true;
    return std::min(m_nNextCr, m_nNextLf);
}

void ProfileLineSplitter::Append(std::string_view bytes) {
    m_bLinePending = true;
    std::size_t limit = m_nMaxLineBytes;
    if (m_bFirstLine && limit <= kNoLimit - kByteOrderMark.size()) limit += kByteOrderMark.size();
    if (m_strLine.size() < limit) m_strLine.append(bytes.substr(0, limit - m_strLine.size()));
}

std::string_view ProfileLineSplitter::HandOver(std::string_view line) {
    if (m_bFirstLine && line.starts_with(kByteOrderMark)) line.remove_prefix(kByteOrderMark.size());
    m_bFirstLine = false;
    return line.substr(0, m_nMaxLineBytes);
}

PrivateProfileLookup::PrivateProfileLookup(std::string_view section, std::string_view key, int codePage)
    : m_strSection(TrimBlanks(section)), m_strKey(TrimBlanks(key)), m_nCodePage(codePage) {}

bool PrivateProfileLookup::Feed(std::string_view chunk) {
    if (m_bDone) return false;
    m_splitter.Feed(chunk);
    std::string_view line;
    while (m_splitter.Next(&line)) {
        if (!OnLine(line)) return false;
    }
    return true;
}

std::optional<std::string> PrivateProfileLookup::Finish() {
    if (!m_bDone) {
        m_splitter.Finish();
        std::string_view line;
        while (m_splitter.Next(&line) && OnLine(line)) {}
    }
    m_bDone = true;
    return m_strValue;
}

bool PrivateProfileLookup::OnLine(std::string_view line) {
    ProfileLine parsed = ClassifyLine(line, m_nCodePage);
    if (parsed.kind == LineKind::Section) {
        // The first section of the name is the one read: the end of it ends
        // the search.
        if (m_bInSection) {
            m_bDone = true;
            return false;
        }
        m_bInSection = NamesEqual(parsed.name, m_strSection, m_nCodePage);
    } else if (parsed.kind == LineKind::Key && m_bInSection && NamesEqual(parsed.name, m_strKey, m_nCodePage)) {
        m_strValue = std::string(CleanProfileValueForRead(parsed.rawValue));
        m_bDone = true;
        return false;
    }
    return true;
}

std::optional<std::string> FindPrivateProfileValue(std::string_view text, std::string_view section,
                                                   std::string_view key, int codePage) {
    PrivateProfileLookup lookup(section, key, codePage);
    lookup.Feed(text);
    return lookup.Finish();
}

std::string_view CleanProfileValueForWrite(std::string_view value) {
    return TrimBlanks(value.substr(0, value.find_first_of("\r\n")));
}

std::string_view CleanProfileValueForRead(std::string_view raw) {
    std::string_view value = TrimBlanks(raw);
    if (value.size() >= 2 && value.front() == value.back() && (value.front() == '"' || value.front() == '\'')) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

namespace {

struct PendingKey {
    std::string_view name;
    std::string_view value;
    bool bWritten = false;
};

// The keys to write, each once: a key given twice ends as two writes in a
// row would leave it, with the first spelling and the last value. Nothing
// when a name could not be read back as written.
std::optional<std::vector<PendingKey>> PendingKeys(const ProfileKeyValues& keyValues, int codePage) {
    std::vector<PendingKey> pending;
    for (const auto& [rawName, rawValue] : keyValues) {
        std::string_view name = TrimBlanks(rawName);
        if (!IsWritableKey(name)) return std::nullopt;
        std::string_view value = CleanProfileValueForWrite(rawValue);
        bool bKnown = false;
        for (auto& key : pending) {
            if (NamesEqual(key.name, name, codePage)) {
                key.value = value;
                bKnown = true;
            }
        }
        if (!bKnown) pending.push_back({name, value});
    }
    return pending;
}

std::vector<std::string> ProfileLines(std::string_view text) {
    std::vector<std::string> lines;
    ProfileLineSplitter splitter(kNoLimit);
    std::string_view piece;
    splitter.Feed(text);
    while (splitter.Next(&piece)) lines.emplace_back(piece);
    splitter.Finish();
    while (splitter.Next(&piece)) lines.emplace_back(piece);
    return lines;
}

// "name=value"; nothing when the line would be too long to be read back whole.
std::optional<std::string> KeyLine(std::string_view name, std::string_view value) {
    if (name.size() + 1 + value.size() > kMaxProfileLineBytes) return std::nullopt;
    std::string line(name);
    line += '=';
    line += value;
    return line;
}

// Replaces, in the first section of the name, the value of each pending key
// found there (the line keeps its own spelling of the key). Gives where the
// section's header and its last key are (lines.size() for none); false when
// a line would grow too long.
bool ReplaceKeysInSection(std::vector<std::string>& lines, std::string_view section, std::vector<PendingKey>& pending,
                          int codePage, std::size_t* header, std::size_t* lastKey) {
    *header = *lastKey = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ProfileLine parsed = ClassifyLine(lines[i], codePage);
        if (parsed.kind == LineKind::Section) {
            if (*header != lines.size()) break;
            if (NamesEqual(parsed.name, section, codePage)) *header = i;
        } else if (parsed.kind == LineKind::Key && *header != lines.size()) {
            *lastKey = i;
            for (auto& key : pending) {
                if (!key.bWritten && NamesEqual(parsed.name, key.name, codePage)) {
                    auto replaced = KeyLine(parsed.name, key.value);
                    if (!replaced) return false;
                    lines[i] = std::move(*replaced);
                    key.bWritten = true;
                    break;
                }
            }
        }
    }
    return true;
}

}  // namespace

std::optional<std::string> UpdatePrivateProfileText(std::string_view text, std::string_view section,
                                                    const ProfileKeyValues& keyValues, int codePage) {
    section = TrimBlanks(section);
    if (!IsWritableSection(section, codePage)) return std::nullopt;
    std::optional<std::vector<PendingKey>> pending = PendingKeys(keyValues, codePage);
    if (!pending) return std::nullopt;

    std::vector<std::string> lines = ProfileLines(text);
    std::size_t header = 0, lastKey = 0;
    if (!ReplaceKeysInSection(lines, section, *pending, codePage, &header, &lastKey)) return std::nullopt;

    std::vector<std::string> added;
    for (const auto& key : *pending) {
        if (key.bWritten) continue;
        auto newLine = KeyLine(key.name, key.value);
        if (!newLine) return std::nullopt;
        added.push_back(std::move(*newLine));
    }
    if (header == lines.size()) {
        lines.push_back("[" + std::string(section) + "]");
        lines.insert(lines.end(), added.begin(), added.end());
    } else {
        // After the section's last key, so blank lines that close it stay last.
        std::size_t at = (lastKey == lines.size() ? header : lastKey) + 1;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
    }

    std::string out;
    if (text.starts_with(kByteOrderMark)) out += kByteOrderMark;
    for (const auto& line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

std::size_t GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                    std::string* value, std::size_t bufferSize, const std::string& path) {
    if (value == nullptr) return 0;
    const int codePage = CurrentCodePage();
    std::optional<std::string> found = ReadProfileValueFromFile(path, section, key, codePage);
    std::string_view text = found ? std::string_view(*found) : defaultValue;
    // The buffer keeps one byte for the terminating zero.
    if (bufferSize == 0) {
        value->clear();
        return 0;
    }
    value->assign(CutToBytes(text, bufferSize - 1, codePage));
    return value->size();
}

bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string& path) {
    return WritePrivateProfileStrings(section, {{std::string(key), std::string(value)}}, path);
}

}  // namespace norvane
