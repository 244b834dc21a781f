// A fresh folder for one test, removed with everything in it afterwards
// (also trees deeper than a path can name).
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace norvane {

class TempDir {
public:
    // In base (a folder that exists), /tmp by default.
    explicit TempDir(const std::string& base = "/tmp") {
        std::string pattern = base + "/norvane-test-XXXXXX";
        const char* made = mkdtemp(pattern.data());
        m_strPath = made != nullptr ? made : "";
    }
    ~TempDir() {
        if (!m_strPath.empty()) {
            // rm copes with any depth, as it works relative to open folders.
            std::string command = "rm -rf '" + m_strPath + "'";
            if (std::system(command.c_str()) != 0) {}
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_strPath; }
    // The folder with a trailing "/", as the scan wants it.
    std::string Folder() const { return m_strPath + "/"; }
    std::string operator/(const std::string& name) const { return m_strPath + "/" + name; }

    bool MakeFolder(const std::string& relative) const { return ::mkdir((*this / relative).c_str(), 0755) == 0; }
    bool MakeFile(const std::string& relative, const std::string& content = "x") const {
        int fd = ::open((*this / relative).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return false;
        bool ok = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
        return ::close(fd) == 0 && ok;
    }

private:
    std::string m_strPath;
};

// A whole file's bytes; empty when it cannot be read.
inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace norvane
