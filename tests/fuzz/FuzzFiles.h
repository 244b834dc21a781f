// Files for the fuzz targets that work on real files: a folder of the
// target's own (in memory where /dev/shm is, as the code under test syncs
// what it saves; emptied and removed when the run ends), and whole-file
// reads and writes that abort when the set-up itself fails.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace norvane::fuzz {

// Removes every entry of the folder (it holds no subfolders).
inline void EmptyFolder(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") ::unlink((folder + "/" + name).c_str());
    }
    ::closedir(dir);
}

inline const std::string& FuzzFolder() {
    // Never destroyed, so that the exit handler still finds it.
    static const std::string* const folder = [] {
        std::string pattern = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        pattern += "/norvane-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        return new std::string(pattern);
    }();
    static const bool registered = std::atexit([] {
                                       EmptyFolder(*folder);
                                       ::rmdir(folder->c_str());
                                   }) == 0;
    (void)registered;
    return *folder;
}

// The whole file; empty when it cannot be read.
inline std::string ReadFile(const std::string& path) {
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return text;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return text;
}

inline void WriteFile(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) || ::close(fd) != 0) {
        std::abort();
    }
}

}  // namespace norvane::fuzz
