#include "platform/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/SystemCalls.h"
#include "platform/WinTypes.h"

namespace norvane {

std::string ExecutableFolder() {
    std::string path(4096, '\0');
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
        if (n < 0) return std::string();
        if (static_cast<std::size_t>(n) < path.size()) {
            path.resize(static_cast<std::size_t>(n));
            break;
        }
        path.resize(path.size() * 2);
    }
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

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
        else if (name[pos] == '/') last = name.size();  // a period before a separator is no extension
    }
    return last;
}

bool IsRootFolder(std::string_view folder) {
    return !folder.empty() && folder.find_first_not_of('/') == std::string_view::npos;
}

bool FolderExists(std::string_view text) {
    if (text.empty()) return false;
    struct stat st {};
    return ::stat(std::string(text).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::uint32_t CreateFolder(std::string_view text) {
    if (text.empty()) return ERROR_PATH_NOT_FOUND;
    if (Sys().makeDir(std::string(text).c_str(), 0777) == 0) return ERROR_SUCCESS;
    return WinErrorFromErrno(errno);
}

}  // namespace norvane
