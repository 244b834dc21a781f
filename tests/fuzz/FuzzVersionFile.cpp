// Reads the version resource of a real file made of the input, as the scan
// does, beside the memory reader. Input: byte 0 says what the entry is
// (bits 0-1: a regular file, a symbolic link to it, a FIFO, a regular file
// read through an open folder), the rest is the file's bytes.
//
// Checked: a regular file gives what the same bytes give from memory (too
// small a file gives nothing); a link or a FIFO is never read (and never
// blocks); a failed read leaves the block all zero.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/VersionInfo.h"
#include "tests/fuzz/FuzzFiles.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

const std::string& Folder() { return norvane::fuzz::FuzzFolder(); }

bool IsZero(const norvane::VS_FIXEDFILEINFO& info) {
    const norvane::VS_FIXEDFILEINFO zero;
    return std::memcmp(&info, &zero, sizeof info) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int kind = data[0] & 3;
    const std::uint8_t* bytes = data + 1;
    const std::size_t length = size - 1;

    const std::string file = Folder() + "/image.exe";
    const std::string link = Folder() + "/link.exe";
    const std::string fifo = Folder() + "/pipe.exe";
    ::unlink(file.c_str());
    ::unlink(link.c_str());
    ::unlink(fifo.c_str());
    norvane::fuzz::WriteFile(file, std::string_view(reinterpret_cast<const char*>(bytes), length));

    norvane::VS_FIXEDFILEINFO fromMemory;
    const bool bInMemory = norvane::ReadFixedFileInfo(norvane::MemoryByteSource(bytes, length), &fromMemory);
    const bool bLargeEnough = length >= norvane::kMinVersionResourceFileSize;

    norvane::VS_FIXEDFILEINFO info;
    info.dwSignature = 1;
    bool bRead = false;
    switch (kind) {
        case 0:
            bRead = norvane::ReadFileVersionAt(static_cast<norvane::FolderHandle>(AT_FDCWD), file.c_str(), &info);
            Check(bRead == (bInMemory && bLargeEnough));
            break;
        case 1:
            Check(::symlink("image.exe", link.c_str()) == 0);
            Check(!norvane::ReadFileVersionAt(static_cast<norvane::FolderHandle>(AT_FDCWD), link.c_str(), &info));
            // The scan's own stat found a regular file that has since become a
            // link: the open refuses it too.
            Check(!norvane::ReadRegularFileVersionAt(static_cast<norvane::FolderHandle>(AT_FDCWD), link.c_str(), &info));
            break;
        case 2:
            Check(::mkfifo(fifo.c_str(), 0644) == 0);
            Check(!norvane::ReadFileVersionAt(static_cast<norvane::FolderHandle>(AT_FDCWD), fifo.c_str(), &info));
            Check(!norvane::ReadRegularFileVersionAt(static_cast<norvane::FolderHandle>(AT_FDCWD), fifo.c_str(), &info));
            break;
        default: {
            const int dirFd = ::open(Folder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            Check(dirFd >= 0);
            bRead = norvane::ReadRegularFileVersionAt(static_cast<norvane::FolderHandle>(dirFd), "image.exe", &info);
            ::close(dirFd);
            Check(bRead == (bInMemory && bLargeEnough));
            break;
        }
    }
    if (bRead) {
        Check(std::memcmp(&info, &fromMemory, sizeof info) == 0);
    } else {
        Check(IsZero(info));
    }
    return 0;
}
