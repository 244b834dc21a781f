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

std::size_t ExtensionOffset(std::string_view name, int codePage) {
    std::size_t last = name.size();
    for (std::size_t pos = 0; pos < name.size(); pos += CharLength(name, pos, codePage)) {
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
