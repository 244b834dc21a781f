#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>

#include "platform/CodePage.h"
#include "platform/FileReplacement.h"
#include "platform/PrivateProfile.h"

namespace norvane {

namespace {

constexpr std::size_t kReadChunkBytes = std::size_t{256} << 10;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_nFd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (m_nFd >= 0) ::close(m_nFd);
    }
    int Get() const { return m_nFd; }
    bool Valid() const { return m_nFd >= 0; }

private:
    int m_nFd;
};

// A settings file is small: its reads need no more than its size (and a
// byte to see the end), and never more than one chunk.
std::size_t ReadChunkFor(const struct stat& st) {
    const auto size = static_cast<std::uint64_t>(std::max<off_t>(st.st_size, 0)) + 1;
    return static_cast<std::size_t>(std::clamp<std::uint64_t>(size, 4096, kReadChunkBytes));
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Reads a regular file's whole text, at most maxBytes of it.
ProfileFileRead ReadWhole(int fd, std::size_t maxBytes, std::string* text) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return ProfileFileRead::kUnreadable;
    if (st.st_size < 0 || static_cast<std::uint64_t>(st.st_size) > maxBytes) return ProfileFileRead::kTooLarge;
    text->clear();
    std::string buffer(ReadChunkFor(st), '\0');
    for (;;) {
        ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ProfileFileRead::kUnreadable;
        if (n == 0) return ProfileFileRead::kRead;
        text->append(buffer.data(), static_cast<std::size_t>(n));
        // Grown since it was looked at.
        if (text->size() > maxBytes) return ProfileFileRead::kTooLarge;
    }
}

// The old content for a rewrite: nullopt when the file may not or cannot be
// rewritten; empty when there is none. The name is no link (links were
// followed before); one that became a link since is refused, and a file
// reached through links must be the user's.
std::optional<std::string> ReadForRewrite(int dirFd, const std::string& name, bool throughLink) {
    FileDescriptor fd(::openat(dirFd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
    if (!fd.Valid()) {
        if (errno == ENOENT) return std::string();
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || (throughLink && st.st_uid != ::geteuid())) return std::nullopt;
    // No write bit at all: the user made the file read-only.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return std::nullopt;
    std::string content;
    if (ReadWhole(fd.Get(), kMaxProfileFileBytes, &content) != ProfileFileRead::kRead) return std::nullopt;
    return content;
}

}  // namespace

std::optional<std::string> ReadProfileValueFromFile(const std::string& path, std::string_view section,
                                                    std::string_view key, int codePage) {
    // Non-blocking so that a FIFO at the path cannot hang the open; only
    // regular files are read.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.Valid()) return std::nullopt;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    PrivateProfileLookup lookup(section, key, codePage);
    std::string buffer(ReadChunkFor(st), '\0');
    for (;;) {
        ssize_t n = ::read(fd.Get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        // A read error ends the text where it stands.
        if (n <= 0) break;
        if (!lookup.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)))) break;
    }
    return lookup.Finish();
}

ProfileFileRead ReadPrivateProfileFile(const std::string& path, std::size_t maxBytes, std::string* text) {
    // Non-blocking so that a FIFO at the path cannot hang the open.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.Valid())
        return errno == ENOENT || errno == ENOTDIR ? ProfileFileRead::kMissing : ProfileFileRead::kUnreadable;
    return ReadWhole(fd.Get(), maxBytes, text);
}

bool WritePrivateProfileStrings(std::string_view section, const ProfileKeyValues& keyValues, const std::string& path) {
    if (keyValues.empty()) return true;
    const int codePage = CurrentCodePage();

    // Through a symbolic link the file it names is replaced, not the link;
    // only links of the user's own are followed.
    std::string target;
    if (ResolveFinalLink(path, &target, LinkRule::kOwnLinksOnly) != 0) return false;
    const bool throughLink = target != path;
    std::size_t slash = target.rfind('/');
    std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty()) return false;

    FileDescriptor dirFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dirFd.Valid()) return false;
    // Writers of one folder take turns, so that two programs saving different
    // sections at once do not drop each other's changes. The lock goes with
    // the descriptor.
    while (::flock(dirFd.Get(), LOCK_EX) != 0 && errno == EINTR) {}

    std::optional<std::string> old = ReadForRewrite(dirFd.Get(), name, throughLink);
    if (!old) return false;
    std::optional<std::string> text = UpdatePrivateProfileText(*old, section, keyValues, codePage);
    if (!text || text->size() > kMaxProfileFileBytes) return false;

    // The old file stays whole until the new one is: replaced through a
    // temporary file that takes its mode, owner and group.
    FileReplacement replacement;
    if (replacement.Open(target, LinkRule::kOwnLinksOnly) != 0) return false;
    if (!WriteAll(static_cast<int>(replacement.Handle()), *text)) return false;
    return replacement.Commit() == 0;
}

}  // namespace norvane
