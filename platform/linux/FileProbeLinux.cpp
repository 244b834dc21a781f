#include "platform/FileProbe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace norvane {

FileProbe ProbeFile(const std::string& rawPath, std::size_t startBytes) {
    FileProbe probe;
    struct stat st {};
    if (::stat(rawPath.c_str(), &st) != 0) {
        probe.error = errno;
        return probe;
    }
    probe.folder = S_ISDIR(st.st_mode);
    probe.regular = S_ISREG(st.st_mode);
    probe.size = static_cast<std::uint64_t>(st.st_size);
    if (!probe.regular) return probe;
    // Non-blocking, so that a FIFO put in its place meanwhile cannot hang
    // the open; it is then no regular file, and nothing is read from it.
    const int fd = ::open(rawPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        probe.error = errno;
        return probe;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        probe.error = errno;
        probe.regular = false;
        ::close(fd);
        return probe;
    }
    probe.start.resize(startBytes);
    std::size_t got = 0;
    while (got < startBytes) {
        const ssize_t n = ::read(fd, probe.start.data() + got, startBytes - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) probe.error = errno;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    probe.start.resize(got);
    ::close(fd);
    return probe;
}

}  // namespace norvane
