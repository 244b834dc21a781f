// A look at a file before a library that opens files by name (SQLite) is
// given it: whether it is a regular file that may be read, and its first
// bytes. A FIFO or a device is never opened for reading, which could wait
// for ever or never end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace norvane {

struct FileProbe {
    int error = 0;           // errno of what failed; 0 when the file was read
    bool regular = false;    // a regular file (links followed)
    bool folder = false;     // a folder
    std::uint64_t size = 0;  // in bytes
    std::string start;       // its first bytes, up to the number asked for
};

// Looks at the file rawPath names (the file system's bytes).
FileProbe ProbeFile(const std::string& rawPath, std::size_t startBytes);

}  // namespace norvane
