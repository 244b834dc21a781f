#include "platform/ByteSize.h"

#include <cstdio>

namespace norvane {

namespace {
__extension__ typedef unsigned __int128 Wide;
}

void AppendByteSizeText(std::string& out, std::uint64_t size, int codePage) {
    char buffer[64];
    int length = 0;
    if (size < 1024) {
        length = std::snprintf(buffer, sizeof buffer, "%u ", static_cast<unsigned>(size));
        out.append(buffer, static_cast<std::size_t>(length));
        out += codePage == kCodePageShiftJis ? "\x83\x6F\x83\x43\x83\x67" : "\xE3\x83\x90\xE3\x82\xA4\xE3\x83\x88";
        return;
    }
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    // The next unit as soon as the value reaches 1000 of the current one.
    int unit = 0;
    Wide divisor = 1024;
    while (unit < 5 && Wide(size) >= divisor * 1000) {
        divisor *= 1024;
        ++unit;
    }
    // Three significant figures, cut and never rounded.
    auto hundredths = static_cast<std::uint64_t>(Wide(size) * 100 / divisor);
    if (hundredths < 1000) {
        length = std::snprintf(buffer, sizeof buffer, "%u.%02u %s", static_cast<unsigned>(hundredths / 100),
                               static_cast<unsigned>(hundredths % 100), kUnits[unit]);
    } else if (hundredths < 10000) {
        auto tenths = hundredths / 10;
        length = std::snprintf(buffer, sizeof buffer, "%u.%u %s", static_cast<unsigned>(tenths / 10),
                               static_cast<unsigned>(tenths % 10), kUnits[unit]);
    } else {
        length = std::snprintf(buffer, sizeof buffer, "%llu %s", static_cast<unsigned long long>(hundredths / 100),
                               kUnits[unit]);
    }
    out.append(buffer, static_cast<std::size_t>(length));
}

std::string ByteSizeText(std::uint64_t size, int codePage) {
    std::string text;
    AppendByteSizeText(text, size, codePage);
    return text;
}

}  // namespace norvane
