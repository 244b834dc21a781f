#include "platform/Paths.h"

#include <string>

namespace norvane {

namespace {

// The path splitter steps over a double-byte character only when a valid
// trail byte follows its lead byte; otherwise the lead byte stands alone, so
// a period right after it still counts ("\x82.txt" has ".txt").
std::size_t SplitterCharLength(std::string_view name, std::size_t pos, int codePage) {
    if (CharLength(name, pos, codePage) == 1) return 1;
    const auto trail = static_cast<unsigned char>(name[pos + 1]);
    return (trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC) ? 2 : 1;
}

}  // namespace

std::size_t ExtensionOffset(std::string_view name, int codePage) {
    std::size_t last = name.size();
    for (std::size_t pos = 0; pos < name.size(); pos += SplitterCharLength(name, pos, codePage)) {
        if (name[pos] == '.') last = pos;
        else if (name[pos] == '/' || name[pos] == kPathSeparator)
            last = name.size();  // a period before a separator is no extension
    }
    return last;
}

bool IsRootFolder(std::string_view folder) {
    return !folder.empty() && folder.find_first_not_of('/') == std::string_view::npos;
}

}  // namespace norvane
