#include "platform/Paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/SystemCalls.h"
#include "platform/WinTypes.h"

namespace norvane {

namespace {

struct ExecutableSources {
    std::mutex mutex;
    std::string strLink = "/proc/self/exe";
    std::string strProgramPath;  // from argv[0]
};

ExecutableSources& Sources() {
    static ExecutableSources sources;
    return sources;
}

std::string FolderPart(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The path splitter steps over a double-byte character only when a valid
// trail byte follows its lead byte; otherwise the lead byte stands alone, so
// a period right after it still counts ("\x82.txt" has ".txt").
std::size_t SplitterCharLength(std::string_view name, std::size_t pos, int codePage) {
    if (CharLength(name, pos, codePage) == 1) return 1;
    const auto trail = static_cast<unsigned char>(name[pos + 1]);
    return (trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC) ? 2 : 1;
}

}  // namespace

void SetProgramArgument(std::string_view argv0) {
    std::string strCurrent;
    if (char* pCurrent = ::getcwd(nullptr, 0)) {
        strCurrent = pCurrent;
        std::free(pCurrent);
    }
    const char* pPath = std::getenv("PATH");
    std::string strProgram = ProgramPathFromArgument(argv0, pPath != nullptr ? pPath : "", strCurrent);
    std::lock_guard lock(Sources().mutex);
    Sources().strProgramPath = std::move(strProgram);
}

void SetExecutableLinkForTests(std::string link) {
    std::lock_guard lock(Sources().mutex);
    Sources().strLink = link.empty() ? std::string("/proc/self/exe") : std::move(link);
}

std::string ProgramPathFromArgument(std::string_view argv0, std::string_view pathVariable,
                                    std::string_view currentFolder) {
    if (argv0.empty()) return {};
    if (argv0.find('/') != std::string_view::npos) {
        if (argv0.front() == '/') return std::string(argv0);
        if (currentFolder.empty()) return {};
        std::string path(currentFolder);
        if (path.back() != '/') path += '/';
        return path + std::string(argv0);
    }
    // Searched as the shell searches: an empty entry is the current folder.
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(pathVariable.find(':', start), pathVariable.size());
        std::string folder(pathVariable.substr(start, end - start));
        if (folder.empty()) folder = currentFolder;
        if (!folder.empty()) {
            if (folder.back() != '/') folder += '/';
            const std::string candidate = folder + std::string(argv0);
            struct stat st {};
            if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
        if (end == pathVariable.size()) return {};
        start = end + 1;
    }
}

std::string ExecutableFolderFrom(const std::string& selfLink, const std::string& programPath) {
    std::string path(4096, '\0');
    for (;;) {
        ssize_t n = readlink(selfLink.c_str(), path.data(), path.size());
        if (n < 0) break;
        if (static_cast<std::size_t>(n) < path.size()) {
            path.resize(static_cast<std::size_t>(n));
            if (std::string folder = FolderPart(path); !folder.empty()) return folder;
            break;
        }
        path.resize(path.size() * 2);
    }
    if (programPath.empty()) return {};
    // The file itself, links followed, as /proc/self/exe names it.
    char* pReal = ::realpath(programPath.c_str(), nullptr);
    if (pReal == nullptr) return {};
    std::string real = pReal;
    std::free(pReal);
    struct stat st {};
    if (::stat(real.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    return FolderPart(real);
}

std::string ExecutableFolder() {
    std::string strLink;
    std::string strProgram;
    {
        std::lock_guard lock(Sources().mutex);
        strLink = Sources().strLink;
        strProgram = Sources().strProgramPath;
    }
    return ExecutableFolderFrom(strLink, strProgram);
}

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
    return Sys().fstatAt(AT_FDCWD, std::string(text).c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode);
}

bool ExistsAsNonFolder(std::string_view text) {
    if (text.empty()) return false;
    struct stat st {};
    return Sys().fstatAt(AT_FDCWD, std::string(text).c_str(), &st, 0) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace norvane
