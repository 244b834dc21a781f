// The fixed file version of PE images (EXE, DLL, ...), read from the file's
// own version resource: what a Windows program gets from GetFileVersionInfoA
// and VerQueryValueA with the sub-block "\".
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/FolderSearch.h"
#include "platform/WinTypes.h"

namespace norvane {

// The layout the reader requires of an image before it trusts its version
// block. Every linker writes images that meet it; together the rules give
// the smallest file that can pass:
//  - the PE headers start after the 64-byte DOS header (e_lfanew >= 64):
//    64 bytes;
//  - the "PE\0\0" signature and the COFF file header: 4 + 20 bytes;
//  - the optional header holds at least the first three data directories
//    (the resource directory is the third): PE32 96 + 3 * 8 = 120 bytes
//    (PE32+ needs 136, so the PE32 figure is the bound);
//  - at least one section header: 40 bytes;
//  - every resource structure read, and the version data, lies in a
//    section's raw data at or after the end of the section table, and no two
//    of them overlap: the root directory with its entries up to the version
//    type's (16 + 8 at least), the name-level and language-level directories
//    with their first entry (24 each), the data entry (16) and the version
//    data, which must hold at least the block header, the key
//    "VS_VERSION_INFO" with its terminator, the padding to 32 bits and the
//    52-byte VS_FIXEDFILEINFO (6 + 32 + 2 + 52 = 92).
// 64 + 24 + 120 + 40 + 24 + 24 + 24 + 16 + 92 = 428.
inline constexpr std::uint64_t kMinVersionResourceFileSize = 428;

// Bytes read by position (a file, or memory in tests and the fuzzer).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // True only when all `length` bytes at `offset` were read.
    virtual bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const = 0;
};

// Bytes in memory that outlive the source.
class MemoryByteSource : public ByteSource {
public:
    MemoryByteSource(const void* data, std::size_t size)
        : m_pData(static_cast<const unsigned char*>(data)), m_nSize(size) {}
    std::uint64_t Size() const override { return m_nSize; }
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const override;

private:
    const unsigned char* m_pData;
    std::size_t m_nSize;
};

// The VS_FIXEDFILEINFO of a PE32 or PE32+ image; false and all zero on any
// failure. Reads only the structures on the way to the block, a few hundred
// bytes in small positioned reads; a file that is not PE costs one read.
bool ReadFixedFileInfo(const ByteSource& source, VS_FIXEDFILEINFO* info);

// Opens `rawName` in an open folder (on Linux a descriptor, AT_FDCWD
// allowed) and reads its version. Only regular files of at least
// kMinVersionResourceFileSize bytes are opened: the entry is looked at
// (without following a link) before it is opened, so a FIFO, a device or a
// socket is never opened. The open itself uses O_NOFOLLOW and O_NONBLOCK and
// checks the opened file again, so an entry swapped in between can neither
// block nor be read. Thread-safe.
bool ReadFileVersionAt(FolderHandle folder, const char* rawName, VS_FIXEDFILEINFO* info);

// The same for a caller whose own stat of the entry, just made, found a
// regular file of at least kMinVersionResourceFileSize bytes (the scan):
// saves the second stat. The opened file is still checked to be regular, so
// an entry swapped in since is closed unread.
bool ReadRegularFileVersionAt(FolderHandle folder, const char* rawName, VS_FIXEDFILEINFO* info);

}  // namespace norvane
