// Reads and saves the settings file through real files in a temporary
// folder, as the program does: the eight TITLE keys written at once, the
// MAINWINDOW keys beside them. Input: byte 0 the code page (bit 0), how the
// file is reached (bits 1-2: a plain file, through a symbolic link, no file
// yet, a file with a second hard link) and its mode (bits 3-5); then the
// eight values to save, each ended by a NUL; the rest is the file's content.
// Without eight NULs the whole rest is the content and fixed values are saved.
//
// Checked: every key reads from the file as from the same text in memory,
// cut to the program's 520-byte buffer; a save succeeds unless the file is
// read-only, and then leaves it as it was; a saved value reads back as
// written, the other section stays as it was, the file keeps its mode, its
// link and its hard link, and no temporary file is left in the folder.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "platform/CodePage.h"
#include "platform/PrivateProfile.h"
#include "tests/fuzz/FuzzFiles.h"

namespace {

constexpr std::size_t kValueBuffer = 520;
constexpr const char* kTitleKeys[8] = {"VALUE1", "VALUE2", "VALUE3",  "VALUE4",
                                       "VALUE5", "VALUE6", "BGCOLOR", "FONTCOLOR"};
constexpr const char* kHistoryKeys[8] = {"HISTORY1", "HISTORY2", "HISTORY3", "HISTORY4",
                                         "HISTORY5", "HISTORY6", "HISTORY7", "HISTORY8"};
constexpr mode_t kModes[8] = {0644, 0600, 0640, 0444, 0660, 0666, 0604, 0400};

void Check(bool condition) {
    if (!condition) std::abort();
}

// One folder for the whole run, emptied before every input.
using norvane::fuzz::ReadFile;
using norvane::fuzz::WriteFile;

const std::string& Folder() { return norvane::fuzz::FuzzFolder(); }

std::size_t EntryCount() {
    std::size_t count = 0;
    DIR* dir = ::opendir(Folder().c_str());
    if (dir == nullptr) std::abort();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") ++count;
    }
    ::closedir(dir);
    return count;
}

std::string ReadKey(const char* section, const char* key, const std::string& path) {
    std::string value;
    const std::size_t length = norvane::GetPrivateProfileString(section, key, "DEF", &value, kValueBuffer, path);
    Check(length == value.size() && length < kValueBuffer);
    return value;
}

// What the program gets for a key of this text: the value or the default,
// cut to the buffer.
std::string Expected(std::string_view text, const char* section, const char* key, int codePage) {
    const std::optional<std::string> found = norvane::FindPrivateProfileValue(text, section, key, codePage);
    return std::string(norvane::CutToBytes(found ? std::string_view(*found) : "DEF", kValueBuffer - 1, codePage));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int codePage = (data[0] & 1) != 0 ? norvane::kCodePageShiftJis : norvane::kCodePageUtf8;
    const int kind = (data[0] >> 1) & 3;
    const mode_t mode = kModes[(data[0] >> 3) & 7];
    norvane::SetCodePage(codePage);

    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    std::array<std::string, 8> values{"FileName", "", "Size \"x\"", "  padded  ", "#0066cc", "a\r\nb", "", "z"};
    std::string_view parts = rest;
    std::array<std::string_view, 8> given;
    bool bAllGiven = true;
    for (auto& value : given) {
        const std::size_t nul = parts.find('\0');
        if (nul == std::string_view::npos) {
            bAllGiven = false;
            break;
        }
        value = parts.substr(0, nul);
        parts.remove_prefix(nul + 1);
    }
    if (bAllGiven) {
        for (std::size_t i = 0; i < 8; ++i) values[i] = std::string(given[i]);
        rest = parts;
    }
    const std::string_view content = kind == 2 ? std::string_view() : rest;

    norvane::fuzz::EmptyFolder(Folder());
    const std::string file = Folder() + "/Norvane.ini";
    std::string path = file;
    if (kind != 2) {
        WriteFile(file, content);
        Check(::chmod(file.c_str(), mode) == 0);
    }
    if (kind == 1) {
        path = Folder() + "/link.ini";
        Check(::symlink("Norvane.ini", path.c_str()) == 0);
    } else if (kind == 3) {
        Check(::link(file.c_str(), (Folder() + "/other.ini").c_str()) == 0);
    }
    const std::size_t entries = EntryCount();

    // Reading: the file gives what the text gives.
    std::array<std::string, 8> history;
    for (std::size_t i = 0; i < 8; ++i) {
        Check(ReadKey("TITLE", kTitleKeys[i], path) == Expected(content, "TITLE", kTitleKeys[i], codePage));
        history[i] = ReadKey("MAINWINDOW", kHistoryKeys[i], path);
        Check(history[i] == Expected(content, "MAINWINDOW", kHistoryKeys[i], codePage));
    }

    // Saving the eight titles at once.
    norvane::ProfileKeyValues keyValues;
    for (std::size_t i = 0; i < 8; ++i) keyValues.emplace_back(kTitleKeys[i], values[i]);
    const bool bWritten = norvane::WritePrivateProfileStrings("TITLE", keyValues, path);
    Check(EntryCount() == entries + (kind == 2 && bWritten ? 1 : 0));
    if (!bWritten) {
        // Only a file without a write bit is refused (root may write any).
        Check(kind != 2 && ((mode & 0222) == 0 || ::geteuid() != 0));
        Check(ReadFile(file) == content);
        return 0;
    }
    struct stat st {};
    Check(::stat(file.c_str(), &st) == 0);
    if (kind != 2) Check((st.st_mode & 07777) == mode);
    if (kind == 1) {
        struct stat linkSt {};
        Check(::lstat(path.c_str(), &linkSt) == 0 && S_ISLNK(linkSt.st_mode));
    }
    if (kind == 3) Check(ReadFile(Folder() + "/other.ini") == ReadFile(file));
    for (std::size_t i = 0; i < 8; ++i) {
        const std::string_view saved = norvane::CleanProfileValueForRead(norvane::CleanProfileValueForWrite(values[i]));
        Check(ReadKey("TITLE", kTitleKeys[i], path) == norvane::CutToBytes(saved, kValueBuffer - 1, codePage));
        Check(ReadKey("MAINWINDOW", kHistoryKeys[i], path) == history[i]);
    }
    return 0;
}
