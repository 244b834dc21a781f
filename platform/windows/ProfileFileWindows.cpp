// The settings file's reads and writes on Windows.
#include "platform/PrivateProfile.h"

#include "platform/windows/Win32.h"

#include <cerrno>
#include <string>

#include "platform/CodePage.h"
#include "platform/FileReplacement.h"

namespace norvane {

namespace {

constexpr DWORD kReadChunkBytes = DWORD{256} << 10;

class OpenFile {
public:
    explicit OpenFile(const std::string& path)
        : m_hFile(CreateFileW(LongPath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)),
          m_nError(m_hFile == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS) {}
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() {
        if (m_hFile != INVALID_HANDLE_VALUE) CloseHandle(m_hFile);
    }
    DWORD Error() const { return m_nError; }
    // Only a file on a disk is read, never a pipe or a device.
    bool Regular() const { return m_hFile != INVALID_HANDLE_VALUE && GetFileType(m_hFile) == FILE_TYPE_DISK; }
    // The next chunk; empty at the end or on an error.
    std::string_view Read(std::string& buffer) {
        buffer.resize(kReadChunkBytes);
        DWORD got = 0;
        if (!ReadFile(m_hFile, buffer.data(), kReadChunkBytes, &got, nullptr)) m_nError = GetLastError();
        return std::string_view(buffer.data(), got);
    }

private:
    HANDLE m_hFile;
    DWORD m_nError;
};

// Writers of one settings file take turns, so that two programs saving
// different sections at once do not drop each other's changes.
class WriterTurn {
public:
    explicit WriterTurn(const std::string& path) {
        // A kernel object's name takes no "\\" but the one after "Local".
        std::wstring name = WideFromUtf8(path);
        for (wchar_t& c : name) {
            if (c == L'\\') c = L'/';
        }
        name = L"Local\\norvane-settings-" + name;
        m_hMutex = CreateMutexW(nullptr, FALSE, name.c_str());
        if (m_hMutex != nullptr) WaitForSingleObject(m_hMutex, INFINITE);
    }
    WriterTurn(const WriterTurn&) = delete;
    WriterTurn& operator=(const WriterTurn&) = delete;
    ~WriterTurn() {
        if (m_hMutex == nullptr) return;
        ReleaseMutex(m_hMutex);
        CloseHandle(m_hMutex);
    }

private:
    HANDLE m_hMutex = nullptr;
};

}  // namespace

std::optional<std::string> ReadProfileValueFromFile(const std::string& path, std::string_view section,
                                                    std::string_view key, int codePage) {
    OpenFile file(path);
    if (!file.Regular()) return std::nullopt;
    PrivateProfileLookup lookup(section, key, codePage);
    std::string buffer;
    // A read error ends the text where it stands.
    for (std::string_view chunk = file.Read(buffer); !chunk.empty(); chunk = file.Read(buffer)) {
        if (!lookup.Feed(chunk)) break;
    }
    return lookup.Finish();
}

ProfileFileRead ReadPrivateProfileFile(const std::string& path, std::size_t maxBytes, std::string* text) {
    OpenFile file(path);
    if (file.Error() == ERROR_FILE_NOT_FOUND || file.Error() == ERROR_PATH_NOT_FOUND) return ProfileFileRead::kMissing;
    if (!file.Regular()) return ProfileFileRead::kUnreadable;
    text->clear();
    std::string buffer;
    for (std::string_view chunk = file.Read(buffer); !chunk.empty(); chunk = file.Read(buffer)) {
        text->append(chunk);
        if (text->size() > maxBytes) return ProfileFileRead::kTooLarge;
    }
    return file.Error() == ERROR_SUCCESS ? ProfileFileRead::kRead : ProfileFileRead::kUnreadable;
}

bool WritePrivateProfileStrings(std::string_view section, const ProfileKeyValues& keyValues, const std::string& path) {
    if (keyValues.empty()) return true;
    const int codePage = CurrentCodePage();
    const WriterTurn turn(path);
    // The user made a read-only file read-only: it is not rewritten.
    const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return false;
    std::string old;
    switch (ReadPrivateProfileFile(path, kMaxProfileFileBytes, &old)) {
        case ProfileFileRead::kRead: break;
        case ProfileFileRead::kMissing: old.clear(); break;
        default: return false;
    }
    std::optional<std::string> text = UpdatePrivateProfileText(old, section, keyValues, codePage);
    if (!text || text->size() > kMaxProfileFileBytes) return false;
    // The old file stays whole until the new one is.
    FileReplacement replacement;
    if (replacement.Open(path) != 0) return false;
    if (replacement.WriteAt(0, text->data(), text->size()) != 0) return false;
    return replacement.Commit() == 0;
}

}  // namespace norvane
