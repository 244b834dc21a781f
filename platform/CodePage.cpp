#include "platform/CodePage.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/SystemHooks.h"

namespace norvane {

namespace {

std::atomic<int> g_codePage{kCodePageUtf8};
std::atomic<int> g_fileSystemCodePage{kCodePageUtf8};

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    }
    return true;
}

unsigned FoldAscii(unsigned c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }

// Double-byte capitals of code page 932 and their small letters.
unsigned FoldDoubleByte932(unsigned code) {
    if (code >= 0x8260 && code <= 0x8279) return code + 0x21;  // Ａ-Ｚ -> ａ-ｚ
    if (code >= 0x839F && code <= 0x83B6) return code + 0x20;  // Α-Ω -> α-ω
    if (code >= 0x8440 && code <= 0x8460) {                    // А-Я -> а-я
        unsigned small = 0x8470 + (code - 0x8440);
        return small >= 0x847F ? small + 1 : small;  // 0x847F is no character
    }
    return code;
}

// The next character code of text at pos, advancing pos.
unsigned NextCode932(std::string_view text, std::size_t& pos) {
    auto lead = static_cast<unsigned char>(text[pos]);
    if (IsLeadByte(lead, kCodePageShiftJis) && pos + 1 < text.size()) {
        auto trail = static_cast<unsigned char>(text[pos + 1]);
        pos += 2;
        return (static_cast<unsigned>(lead) << 8) | trail;
    }
    pos += 1;
    return lead;
}

int CompareCodes932(std::string_view a, std::string_view b, bool foldCase) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        unsigned ca = NextCode932(a, i);
        unsigned cb = NextCode932(b, j);
        if (foldCase) {
            ca = ca > 0xFF ? FoldDoubleByte932(ca) : FoldAscii(ca);
            cb = cb > 0xFF ? FoldDoubleByte932(cb) : FoldAscii(cb);
        }
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

// In UTF-8 the byte order is the code point order, so bytes are compared.
int CompareBytes(std::string_view a, std::string_view b, bool foldCase) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned ca = static_cast<unsigned char>(a[i]);
        unsigned cb = static_cast<unsigned char>(b[i]);
        if (foldCase) {
            ca = FoldAscii(ca);
            cb = FoldAscii(cb);
        }
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

// Text whose invalid UTF-8 sequences become "?", one each.
std::string ValidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        bool valid = false;
        const std::size_t n = Utf8SequenceAt(text, pos, &valid);
        if (valid) out.append(text.substr(pos, n));
        else out.push_back('?');
        pos += n;
    }
    return out;
}

// Text whose bytes that are no Shift-JIS character become "?", one per
// character; the others keep their bytes.
std::string ValidShiftJis(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t n = CharLength(text, pos, kCodePageShiftJis);
        const std::string_view character = text.substr(pos, n);
        if (static_cast<unsigned char>(text[pos]) < 0x80 || IsShiftJisCharacter(character)) out.append(character);
        else out.push_back('?');
        pos += n;
    }
    return out;
}

std::string Convert(std::string_view text, int fromCodePage, int toCodePage) {
    if (fromCodePage == toCodePage) return std::string(text);
    return ConvertText(text, fromCodePage, toCodePage);
}

}  // namespace

std::size_t Utf8SequenceAt(std::string_view text, std::size_t pos, bool* valid) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    *valid = lead < 0x80;
    if (lead < 0xC2 || lead > 0xF4) return 1;
    const std::size_t length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    // The second byte's range excludes overlong forms, surrogates and code
    // points past U+10FFFF.
    unsigned char low = 0x80, high = 0xBF;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    std::size_t n = 1;
    for (; n < length && pos + n < text.size(); ++n) {
        const auto c = static_cast<unsigned char>(text[pos + n]);
        if (c < (n == 1 ? low : 0x80) || c > (n == 1 ? high : 0xBF)) break;
    }
    *valid = n == length;
    return n;
}

int CodePageFromLocaleName(std::string_view locale) {
    // language_territory.codeset@modifier: the codeset decides.
    auto dot = locale.find('.');
    if (dot == std::string_view::npos) return kCodePageUtf8;
    std::string_view codeset = locale.substr(dot + 1);
    codeset = codeset.substr(0, codeset.find('@'));
    for (std::string_view sjis : {"SJIS", "SHIFT_JIS", "SHIFT-JIS", "CP932", "WINDOWS-31J", "MS_KANJI"}) {
        if (EqualsIgnoreCase(codeset, sjis)) return kCodePageShiftJis;
    }
    return kCodePageUtf8;
}

int CodePageFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return CodePageFromLocaleName(value);
    }
    return kCodePageUtf8;
}

int CurrentCodePage() { return g_codePage.load(std::memory_order_relaxed); }

void SetCodePage(int codePage) { g_codePage.store(codePage == kCodePageShiftJis ? kCodePageShiftJis : kCodePageUtf8); }

int FileSystemCodePage() { return g_fileSystemCodePage.load(std::memory_order_relaxed); }

void SetFileSystemCodePage(int codePage) {
    g_fileSystemCodePage.store(codePage == kCodePageShiftJis ? kCodePageShiftJis : kCodePageUtf8);
}

bool IsLeadByte(unsigned char c, int codePage) {
    return codePage == kCodePageShiftJis && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC));
}

std::size_t CharLength(std::string_view text, std::size_t pos, int codePage) {
    if (pos + 1 < text.size() && IsLeadByte(static_cast<unsigned char>(text[pos]), codePage)) return 2;
    return 1;
}

bool EndsWithCharacter(std::string_view text, char separator, int codePage) {
    if (text.empty()) return false;
    if (codePage != kCodePageShiftJis) return text.back() == separator;
    // A trail byte can look like the separator: walk the characters.
    std::size_t pos = 0;
    std::size_t last = 0;
    while (pos < text.size()) {
        last = pos;
        pos += CharLength(text, pos, codePage);
    }
    return pos - last == 1 && text[last] == separator;
}

void AppendSeparatorIfMissing(std::string& text, char separator, int codePage) {
    if (!EndsWithCharacter(text, separator, codePage)) text.push_back(separator);
}

unsigned FoldedCharacterCode(unsigned code, int codePage) {
    if (code > 0xFF) return codePage == kCodePageShiftJis ? FoldDoubleByte932(code) : code;
    return FoldAscii(code);
}

int MbsCmp(std::string_view a, std::string_view b, int codePage) {
    return codePage == kCodePageShiftJis ? CompareCodes932(a, b, false) : CompareBytes(a, b, false);
}

int MbsICmp(std::string_view a, std::string_view b, int codePage) {
    return codePage == kCodePageShiftJis ? CompareCodes932(a, b, true) : CompareBytes(a, b, true);
}

std::string_view CutToBytes(std::string_view text, std::size_t maxBytes, int codePage) {
    if (text.size() <= maxBytes) return text;
    if (codePage == kCodePageShiftJis) {
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::size_t n = CharLength(text, pos, codePage);
            if (pos + n > maxBytes) break;
            pos += n;
        }
        return text.substr(0, pos);
    }
    // Step back so that no UTF-8 sequence is cut: the first byte left out
    // must not be a continuation byte (at most three steps).
    std::size_t end = maxBytes;
    for (int step = 0; step < 3 && end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80; ++step) {
        --end;
    }
    return text.substr(0, end);
}

std::string CodePageToUtf8(std::string_view text, int codePage) { return Convert(text, codePage, kCodePageUtf8); }

std::string Utf8ToCodePage(std::string_view text, int codePage) { return Convert(text, kCodePageUtf8, codePage); }

std::string FileSystemToCodePage(std::string_view raw, int fileSystemCodePage, int codePage) {
    return Convert(raw, fileSystemCodePage, codePage);
}

std::string FileNameToCodePage(std::string_view raw, int fileSystemCodePage, int codePage) {
    if (fileSystemCodePage != codePage) return Convert(raw, fileSystemCodePage, codePage);
    std::size_t pos = 0;
    while (pos < raw.size() && static_cast<unsigned char>(raw[pos]) < 0x80) ++pos;
    if (pos == raw.size()) return std::string(raw);
    return codePage == kCodePageShiftJis ? ValidShiftJis(raw) : ValidUtf8(raw);
}

std::string CodePageToFileSystem(std::string_view text, int fileSystemCodePage, int codePage) {
    return Convert(text, codePage, fileSystemCodePage);
}

std::string VisibleControls(std::string_view text, int codePage) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    auto escape = [&out](std::string_view bytes) {
        for (char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
    };
    for (std::size_t pos = 0; pos < text.size();) {
        const auto c = static_cast<unsigned char>(text[pos]);
        std::size_t n = 1;
        bool visible = c >= 0x20 && c != 0x7F;
        if (codePage == kCodePageShiftJis) {
            n = CharLength(text, pos, codePage);
            visible = visible || n == 2;
        } else if (c >= 0x80) {
            n = Utf8SequenceAt(text, pos, &visible);
            visible = visible && !(c == 0xC2 && static_cast<unsigned char>(text[pos + 1]) < 0xA0);  // C1
        }
        if (visible) out.append(text.substr(pos, n));
        else escape(text.substr(pos, n));
        pos += n;
    }
    return out;
}

std::string_view MarkBlackCircle(int codePage) {
    return codePage == kCodePageShiftJis ? std::string_view("\x81\x9C") : std::string_view("\xE2\x97\x8F");
}

std::string_view MarkFullWidthSpace(int codePage) {
    return codePage == kCodePageShiftJis ? std::string_view("\x81\x40") : std::string_view("\xE3\x80\x80");
}

std::string_view MarkWhiteCircle(int codePage) {
    return codePage == kCodePageShiftJis ? std::string_view("\x81\x9B") : std::string_view("\xE2\x97\x8B");
}

}  // namespace norvane
