// The version of a file in a folder, read with the project's own PE reader
// from a file opened with CreateFileW: both systems read versions alike.
#include "platform/VersionInfo.h"

#include "platform/windows/Win32.h"

#include <string>

namespace norvane {

namespace {

// Positioned reads: the handle's own position is never relied on.
class HandleByteSource : public ByteSource {
public:
    HandleByteSource(HANDLE file, std::uint64_t size) : m_hFile(file), m_nSize(size) {}
    std::uint64_t Size() const override { return m_nSize; }
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const override {
        auto* out = static_cast<unsigned char*>(buffer);
        while (length > 0) {
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            const auto asked = static_cast<DWORD>(std::min<std::size_t>(length, 1u << 20));
            DWORD got = 0;
            if (!ReadFile(m_hFile, out, asked, &got, &at) || got == 0) return false;  // an error, or it shrank
            out += got;
            offset += got;
            length -= got;
        }
        return true;
    }

private:
    HANDLE m_hFile;
    std::uint64_t m_nSize;
};

std::wstring PathIn(FolderHandle folder, const char* rawName) {
    if (folder == FolderHandle::kNone) return LongPath(rawName);
    std::wstring path = *reinterpret_cast<const std::wstring*>(folder);
    if (!path.ends_with(L'\\')) path += L'\\';
    return path + WideFromUtf8(rawName);
}

bool ReadVersion(FolderHandle folder, const char* rawName, VS_FIXEDFILEINFO* info) {
    if (info == nullptr) return false;
    *info = VS_FIXEDFILEINFO{};
    if (rawName == nullptr) return false;
    // A link is not followed; others may go on writing or deleting the file.
    const HANDLE file = CreateFileW(PathIn(folder, rawName).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION about{};
    bool ok = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &about) &&
              (about.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
    const std::uint64_t size = (static_cast<std::uint64_t>(about.nFileSizeHigh) << 32) | about.nFileSizeLow;
    if (ok && size >= kMinVersionResourceFileSize) ok = ReadFixedFileInfo(HandleByteSource(file, size), info);
    else ok = false;
    CloseHandle(file);
    return ok;
}

}  // namespace

// The opened file is looked at before anything is read, so the two are one.
bool ReadFileVersionAt(FolderHandle folder, const char* rawName, VS_FIXEDFILEINFO* info) {
    return ReadVersion(folder, rawName, info);
}

bool ReadRegularFileVersionAt(FolderHandle folder, const char* rawName, VS_FIXEDFILEINFO* info) {
    return ReadVersion(folder, rawName, info);
}

}  // namespace norvane
