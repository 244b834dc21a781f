// Writing a file anew on Windows: the new bytes go to a temporary file beside
// the target, flushed to the disk and put in its place with ReplaceFileW
// (which keeps the target's attributes and security) or MoveFileExW. A
// target that is no disk file (a device, a pipe, NUL) is written directly.
#include "platform/FileReplacement.h"

#include "platform/windows/Win32.h"

#include <atomic>
#include <cerrno>
#include <string>

namespace norvane {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

int LastErrno() { return ErrnoFromWinError(GetLastError()); }

OVERLAPPED At(std::uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

}  // namespace

class FileReplacement::Impl {
public:
    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl() { Abandon(); }

    int Open(const std::string& path);
    HANDLE File() const { return m_hFile; }
    int Commit();
    void Abandon();
    bool TargetChanged() const { return m_bDirect; }

private:
    int OpenDirect();

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    std::wstring m_strTarget;
    std::wstring m_strTemp;  // empty for a direct write
    bool m_bTargetExists = false;
    bool m_bDirect = false;
};

int FileReplacement::Impl::OpenDirect() {
    m_hFile = CreateFileW(m_strTarget.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE) return LastErrno();
    m_bDirect = true;
    return 0;
}

int FileReplacement::Impl::Open(const std::string& path) {
    Abandon();
    if (path.empty()) return ENOENT;
    m_strTarget = LongPath(path);
    const DWORD attributes = GetFileAttributesW(m_strTarget.c_str());
    m_bTargetExists = attributes != INVALID_FILE_ATTRIBUTES;
    if (m_bTargetExists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return EISDIR;
    // A read-only file refuses a write on Windows, whoever writes it (also
    // where the system would let a privileged process through).
    if (m_bTargetExists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return EACCES;
    if (m_bTargetExists) {
        // Only a file that may be written is replaced, as a direct write
        // would be refused; one that is no disk file is written directly.
        const HANDLE target =
            CreateFileW(m_strTarget.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
        if (target == INVALID_HANDLE_VALUE) return LastErrno();
        const bool disk = GetFileType(target) == FILE_TYPE_DISK;
        CloseHandle(target);
        if (!disk) return OpenDirect();
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        // A device name (NUL, CON) has no attributes to give.
        if (OpenDirect() == 0) return 0;
    }
    static std::atomic<unsigned> s_nNext{0};
    const std::size_t slash = m_strTarget.rfind(L'\\');
    const std::wstring folder = m_strTarget.substr(0, slash + 1);
    const std::wstring name = m_strTarget.substr(slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_strTemp = folder + L"." + name + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                    std::to_wstring(s_nNext.fetch_add(1)) + L".tmp";
        m_hFile = CreateFileW(m_strTemp.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m_hFile != INVALID_HANDLE_VALUE) return 0;
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    const int error = LastErrno();
    m_strTemp.clear();
    return error;
}

int FileReplacement::Impl::Commit() {
    if (m_hFile == INVALID_HANDLE_VALUE) return EBADF;
    if (m_bDirect) {
        FlushFileBuffers(m_hFile);  // fails harmlessly for a console or a pipe
        CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
        return 0;
    }
    // The bytes are on the disk before the name says they are the file's.
    int error = FlushFileBuffers(m_hFile) ? 0 : LastErrno();
    CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    if (error == 0) {
        const bool replaced =
            (m_bTargetExists && ReplaceFileW(m_strTarget.c_str(), m_strTemp.c_str(), nullptr,
                                             REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) ||
            MoveFileExW(m_strTemp.c_str(), m_strTarget.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (!replaced) error = LastErrno();
    }
    if (error != 0) DeleteFileW(m_strTemp.c_str());
    m_strTemp.clear();
    return error;
}

void FileReplacement::Impl::Abandon() {
    if (m_hFile != INVALID_HANDLE_VALUE) CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    if (!m_strTemp.empty()) DeleteFileW(m_strTemp.c_str());
    m_strTemp.clear();
    m_bDirect = false;
}

FileReplacement::FileReplacement() : m_pImpl(std::make_unique<Impl>()) {}

FileReplacement::~FileReplacement() = default;

// Windows follows links itself when a file is written through one.
int FileReplacement::Open(const std::string& path, LinkRule /*rule*/) { return m_pImpl->Open(path); }

FileHandle FileReplacement::Handle() const {
    const HANDLE file = m_pImpl->File();
    return file == INVALID_HANDLE_VALUE ? FileHandle::kNone
                                        : static_cast<FileHandle>(reinterpret_cast<std::intptr_t>(file));
}

int FileReplacement::WriteAt(std::uint64_t offset, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        OVERLAPPED at = At(offset);
        DWORD written = 0;
        const auto asked = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        if (!WriteFile(m_pImpl->File(), bytes, asked, &written, &at)) return LastErrno();
        if (written == 0) return EIO;
        bytes += written;
        offset += written;
        size -= written;
    }
    return 0;
}

int FileReplacement::ReadAt(std::uint64_t offset, void* data, std::size_t size, std::size_t* got) {
    *got = 0;
    auto* bytes = static_cast<char*>(data);
    while (*got < size) {
        OVERLAPPED at = At(offset + *got);
        DWORD n = 0;
        const auto asked = static_cast<DWORD>(std::min<std::size_t>(size - *got, 1u << 30));
        if (!ReadFile(m_pImpl->File(), bytes + *got, asked, &n, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            return LastErrno();
        }
        if (n == 0) break;
        *got += n;
    }
    return 0;
}

int FileReplacement::Truncate(std::uint64_t size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return SetFileInformationByHandle(m_pImpl->File(), FileEndOfFileInfo, &end, sizeof end) ? 0 : LastErrno();
}

int FileReplacement::Size(std::uint64_t* size) const {
    LARGE_INTEGER value{};
    if (!GetFileSizeEx(m_pImpl->File(), &value)) return LastErrno();
    *size = static_cast<std::uint64_t>(value.QuadPart);
    return 0;
}

int FileReplacement::Commit() { return m_pImpl->Commit(); }

void FileReplacement::Abandon() { m_pImpl->Abandon(); }

bool FileReplacement::TargetChanged() const { return m_pImpl->TargetChanged(); }

int ResolveFinalLink(const std::string& path, std::string* resolved, LinkRule /*rule*/) {
    *resolved = path;
    return 0;
}

FileHandle StandardOutputHandle() {
    return static_cast<FileHandle>(reinterpret_cast<std::intptr_t>(GetStdHandle(STD_OUTPUT_HANDLE)));
}

long long WriteSome(FileHandle file, const void* data, std::size_t size, int* error) {
    DWORD written = 0;
    const auto asked = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!WriteFile(reinterpret_cast<HANDLE>(file), data, asked, &written, nullptr)) {
        *error = ErrnoFromWinError(GetLastError());
        return -1;
    }
    return written;
}

}  // namespace norvane
