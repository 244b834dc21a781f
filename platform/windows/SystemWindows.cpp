// The Windows implementation of the small system facts: texts and paths in
// UTF-16, error codes and their texts, local time, the host name, the
// executable's folder, the settings folders, threads.
#include "platform/windows/Win32.h"

#include <tlhelp32.h>

#include <cerrno>
#include <cstdlib>
#include <cwchar>
#include <mutex>
#include <string>

#include "platform/FileProbe.h"
#include "platform/HostName.h"
#include "platform/Paths.h"
#include "platform/SystemCalls.h"
#include "platform/SystemHooks.h"
#include "platform/Threads.h"

namespace norvane {

std::wstring WideFromUtf8(std::string_view text) {
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string Utf8FromWide(std::wstring_view text) {
    if (text.empty()) return {};
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), length, nullptr, nullptr);
    return utf8;
}

std::wstring LongPath(std::string_view utf8Path) {
    std::wstring path = WideFromUtf8(utf8Path);
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    if (path.starts_with(L"\\\\?\\")) return path;
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return path;
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length) return path;
    full.resize(written);
    if (full.starts_with(L"\\\\.\\")) return full;  // a device stays as it is
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

int ErrnoFromWinError(DWORD error) {
    switch (error) {
        case ERROR_SUCCESS: return 0;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME: return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_LOCK_VIOLATION: return EACCES;
        case ERROR_SHARING_VIOLATION: return EBUSY;
        case ERROR_WRITE_PROTECT: return EROFS;
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_DISK_FULL: return ENOSPC;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return EEXIST;
        case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
        case ERROR_INVALID_NAME:
        case ERROR_DIRECTORY: return ENOTDIR;
        case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY: return ENOMEM;
        case ERROR_BROKEN_PIPE:
        case ERROR_NO_DATA: return EPIPE;
        case ERROR_OPERATION_ABORTED: return EINTR;  // a call cancelled by a stop
        case ERROR_INVALID_HANDLE: return EBADF;
        case ERROR_INVALID_PARAMETER: return EINVAL;
        case ERROR_NOT_SUPPORTED: return EOPNOTSUPP;
        case ERROR_DIR_NOT_EMPTY: return ENOTEMPTY;
        case ERROR_NETNAME_DELETED: return ENOTCONN;
        default: return EIO;
    }
}

std::string SystemMessageUtf8(std::uint32_t code) {
    // Japanese only, as the rest of the program speaks: where the system has
    // no Japanese text the program's own table serves.
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr) return {};
    std::wstring text(buffer, length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    return Utf8FromWide(text);
}

bool LocalCalendar(std::int64_t unixSeconds, std::tm* result) {
    // SYSTEMTIME reaches the year 30827; the zone's rules are the system's.
    constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600LL;
    const std::int64_t seconds = unixSeconds + kSecondsFrom1601To1970;
    if (seconds < 0 || seconds > 900'000'000'000LL) return false;
    const auto ticks = static_cast<std::uint64_t>(seconds) * 10'000'000ULL;
    ::FILETIME utc{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME universal{};
    SYSTEMTIME local{};
    if (!FileTimeToSystemTime(&utc, &universal) || !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        return false;
    *result = std::tm{};
    result->tm_year = local.wYear - 1900;
    result->tm_mon = local.wMonth - 1;
    result->tm_mday = local.wDay;
    result->tm_hour = local.wHour;
    result->tm_min = local.wMinute;
    result->tm_sec = local.wSecond;
    result->tm_wday = local.wDayOfWeek;
    return true;
}

std::string HostName() {
    wchar_t name[256];
    DWORD size = static_cast<DWORD>(std::size(name));
    if (!GetComputerNameExW(ComputerNameDnsHostname, name, &size)) return {};
    return Utf8FromWide(std::wstring_view(name, size));
}

// ---- The executable, the settings folders ----

void SetProgramArgument(std::string_view /*argv0*/) {}  // the system names the executable itself

std::string ExecutableFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::string() : Utf8FromWide(path.substr(0, slash + 1));
}

std::string UserConfigurationFolder() {
    const wchar_t* value = _wgetenv(L"APPDATA");
    if (value == nullptr || *value == L'\0') return {};
    std::string folder = Utf8FromWide(value);
    if (folder.back() != '\\') folder += '\\';
    return folder;
}

bool FolderWritable(const std::string& folder) {
    // Only trying tells: a folder's rights are in its ACL, not in a bit.
    std::wstring probe = LongPath(folder);
    if (!probe.ends_with(L'\\')) probe += L'\\';
    probe += L"norvane-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

bool MakeFolder(const std::string& folder) {
    return CreateDirectoryW(LongPath(folder).c_str(), nullptr) != 0 || FolderExists(folder);
}

namespace {

DWORD AttributesOf(std::string_view text) {
    if (text.empty()) return INVALID_FILE_ATTRIBUTES;
    return GetFileAttributesW(LongPath(text).c_str());
}

}  // namespace

bool FolderExists(std::string_view text) {
    const DWORD attributes = AttributesOf(text);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool ExistsAsNonFolder(std::string_view text) {
    const DWORD attributes = AttributesOf(text);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// ---- Threads ----

// Windows sends no signals to threads: nothing to keep away.
SignalsKeptFromNewThreads::SignalsKeptFromNewThreads() : m_oldMask{} {}

SignalsKeptFromNewThreads::~SignalsKeptFromNewThreads() = default;

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t));

void WaitWhileEquals(const std::atomic<std::uint32_t>& word, std::uint32_t seen) {
    WaitOnAddress(const_cast<std::atomic<std::uint32_t>*>(&word), &seen, sizeof seen, INFINITE);
}

void WakeOne(std::atomic<std::uint32_t>& word) { WakeByAddressSingle(&word); }

void WakeAll(std::atomic<std::uint32_t>& word) { WakeByAddressAll(&word); }

void YieldProcessor() { SwitchToThread(); }

void RunInForkedChild(void (*)()) {}  // there is no fork

int ProcessThreadCount() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    const DWORD self = GetCurrentProcessId();
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == self) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

}  // namespace norvane
