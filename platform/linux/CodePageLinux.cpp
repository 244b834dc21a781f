#include <iconv.h>

#include <cerrno>
#include <string>

#include "platform/CodePage.h"
#include "platform/SystemHooks.h"

namespace norvane {

namespace {

const char* IconvName(int codePage) { return codePage == kCodePageShiftJis ? "CP932" : "UTF-8"; }

// A converter from 932, opened once per thread that checks characters.
struct ShiftJisChecker {
    iconv_t cd = iconv_open("UTF-8", IconvName(kCodePageShiftJis));
    ShiftJisChecker() = default;
    ShiftJisChecker(const ShiftJisChecker&) = delete;
    ShiftJisChecker& operator=(const ShiftJisChecker&) = delete;
    ~ShiftJisChecker() {
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
};

}  // namespace

// Converts with iconv.
std::string ConvertText(std::string_view text, int fromCodePage, int toCodePage) {
    std::string out;
    iconv_t cd = iconv_open(IconvName(toCodePage), IconvName(fromCodePage));
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter: keep ASCII, mark the rest.
        for (char c : text) out.push_back(static_cast<unsigned char>(c) < 0x80 ? c : '?');
        return out;
    }
    out.reserve(text.size() * 2);
    std::size_t pos = 0;
    char buffer[1024];
    while (pos < text.size()) {
        char* in = const_cast<char*>(text.data() + pos);
        std::size_t inLeft = text.size() - pos;
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        std::size_t rc = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        int err = errno;
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        pos = static_cast<std::size_t>(in - text.data());
        if (rc != static_cast<std::size_t>(-1)) break;
        if (err == E2BIG) continue;
        // EILSEQ or EINVAL: one character of the source is replaced.
        out.push_back('?');
        bool valid = false;
        pos += fromCodePage == kCodePageShiftJis ? CharLength(text, pos, kCodePageShiftJis)
                                                 : Utf8SequenceAt(text, pos, &valid);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

int DefaultCodePage() { return CodePageFromEnvironment(); }

int NameCodePage() { return CodePageFromEnvironment(); }

bool IsShiftJisCharacter(std::string_view bytes) {
    // One converter per thread: opening one costs more than a conversion.
    thread_local ShiftJisChecker checker;
    const iconv_t cd = checker.cd;
    if (cd == reinterpret_cast<iconv_t>(-1)) return true;
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char buffer[16];
    char* dst = buffer;
    std::size_t dstLeft = sizeof buffer;
    const bool valid = iconv(cd, &in, &inLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    return valid;
}

}  // namespace norvane
