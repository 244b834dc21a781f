#include "platform/FileProbe.h"

#include "platform/windows/Win32.h"

namespace norvane {

FileProbe ProbeFile(const std::string& rawPath, std::size_t startBytes) {
    FileProbe probe;
    const std::wstring path = LongPath(rawPath);
    WIN32_FILE_ATTRIBUTE_DATA about{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &about)) {
        probe.error = ErrnoFromWinError(GetLastError());
        return probe;
    }
    probe.folder = (about.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    probe.regular = !probe.folder && (about.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
    probe.size = (static_cast<std::uint64_t>(about.nFileSizeHigh) << 32) | about.nFileSizeLow;
    if (!probe.regular) return probe;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        probe.error = ErrnoFromWinError(GetLastError());
        return probe;
    }
    // A pipe or a device put in its place meanwhile is not read.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        probe.regular = false;
        CloseHandle(file);
        return probe;
    }
    probe.start.resize(startBytes);
    std::size_t got = 0;
    while (got < startBytes) {
        DWORD n = 0;
        const auto asked = static_cast<DWORD>(std::min<std::size_t>(startBytes - got, 1u << 20));
        if (!ReadFile(file, probe.start.data() + got, asked, &n, nullptr))
            probe.error = ErrnoFromWinError(GetLastError());
        if (n == 0) break;
        got += n;
    }
    probe.start.resize(got);
    CloseHandle(file);
    return probe;
}

}  // namespace norvane
