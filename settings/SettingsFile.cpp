#include "settings/SettingsFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <utility>

#include "platform/CodePage.h"
#include "platform/FileReplacement.h"
#include "platform/Paths.h"
#include "platform/PrivateProfile.h"

namespace norvane {

namespace {

constexpr const char* kHistoryKeys[8] = {"HISTORY1", "HISTORY2", "HISTORY3", "HISTORY4",
                                         "HISTORY5", "HISTORY6", "HISTORY7", "HISTORY8"};
constexpr const char* kConfigFolder = "norvane/";
// Where a package manager installs programs: a settings file there would be
// shared by every user and left behind by the package's removal.
constexpr const char* kSystemProgramFolders[] = {"/bin/",           "/sbin/",           "/usr/bin/",  "/usr/sbin/",
                                                 "/usr/local/bin/", "/usr/local/sbin/", "/usr/games/"};

std::string& ChosenPath() {
    static std::string path;
    return path;
}

bool AnythingExistsAt(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// An absolute folder from the environment, ending with "/"; empty when the
// variable is unset, empty or relative (the base directory rules ignore a
// relative one).
std::string FolderFromEnvironment(const char* name, const char* below = "") {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') return {};
    std::string folder = value;
    if (folder.back() != '/') folder += '/';
    return folder + below;
}

std::string HomeFolder() { return FolderFromEnvironment("HOME"); }

// A key's value in the text (or its default), cut to maxBytes as a buffer
// of the program would cut it.
std::string Lookup(std::string_view text, const char* section, const char* key, std::string_view defaultValue,
                   std::size_t maxBytes) {
    const int codePage = CurrentCodePage();
    const std::optional<std::string> found = FindPrivateProfileValue(text, section, key, codePage);
    return std::string(CutToBytes(found ? std::string_view(*found) : defaultValue, maxBytes, codePage));
}

// A folder as it is written so that the reader gives it back whole: within
// quotes where the reader would drop blanks or quotes around it; empty
// (left out) where no line could hold it.
std::string FolderValueForWrite(const std::string& folder) {
    if (folder.size() > kMaxHistoryFolderBytes || folder.find_first_of("\r\n") != std::string::npos) return {};
    if (CleanProfileValueForRead(folder) == folder) return folder;
    return '"' + folder + '"';
}

}  // namespace

SettingsPlaces CurrentSettingsPlaces() {
    SettingsPlaces places;
    places.programFolder = ExecutableFolder();
    if (!places.programFolder.empty()) {
        bool system = false;
        for (const char* folder : kSystemProgramFolders) system = system || places.programFolder == folder;
        places.programFolderWritable = !system && ::access(places.programFolder.c_str(), W_OK) == 0;
    }
    places.configHome = FolderFromEnvironment("XDG_CONFIG_HOME");
    if (places.configHome.empty()) places.configHome = FolderFromEnvironment("HOME", ".config/");
    return places;
}

std::string SettingsPathIn(const SettingsPlaces& places) {
    if (!places.programFolder.empty()) {
        const std::string strBeside = places.programFolder + kSettingsFileName;
        if (places.programFolderWritable || AnythingExistsAt(strBeside)) return strBeside;
    }
    // Never a bare name, which would put the file in the current folder.
    if (places.configHome.empty()) return {};
    return places.configHome + kConfigFolder + kSettingsFileName;
}

std::string SettingsPath() {
    if (!ChosenPath().empty()) return ChosenPath();
    return SettingsPathIn(CurrentSettingsPlaces());
}

bool CreateSettingsFolder(const std::string& settingsPath, const SettingsPlaces& places) {
    const std::string strFolder = places.configHome + kConfigFolder;
    if (places.configHome.empty() || settingsPath != strFolder + kSettingsFileName) return true;
    // Each missing folder from the configuration home down.
    for (std::size_t end = strFolder.find('/', 1); end != std::string::npos; end = strFolder.find('/', end + 1)) {
        const std::string strPart = strFolder.substr(0, end);
        if (::mkdir(strPart.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return IsFolder(strFolder);
}

void SetSettingsPath(std::string path) { ChosenPath() = std::move(path); }

SettingsFileState ReadSettingsFile(const std::string& path, std::string* text) {
    text->clear();
    if (path.empty()) return SettingsFileState::kMissing;
    switch (ReadPrivateProfileFile(path, kMaxSettingsFileBytes, text)) {
        case ProfileFileRead::kRead: return SettingsFileState::kRead;
        case ProfileFileRead::kMissing: return SettingsFileState::kMissing;
        case ProfileFileRead::kTooLarge: text->clear(); return SettingsFileState::kTooLarge;
        case ProfileFileRead::kUnreadable: break;
    }
    text->clear();
    return SettingsFileState::kUnreadable;
}

void ApplySettingsValues(std::string_view text, const char* section, std::span<const char* const> keys,
                         std::span<const std::string> defaults, std::span<std::string> values, std::size_t maxBytes) {
    for (std::size_t i = 0; i < keys.size() && i < values.size(); ++i) {
        std::string value = Lookup(text, section, keys[i], i < defaults.size() ? defaults[i] : "", maxBytes);
        if (!value.empty()) values[i] = std::move(value);
    }
}

bool SaveSettingsValues(const char* section, std::span<const char* const> keys, std::span<const std::string> values,
                        const std::string& path) {
    if (!CreateSettingsFolder(path, CurrentSettingsPlaces())) return false;
    ProfileKeyValues keyValues;
    for (std::size_t i = 0; i < keys.size() && i < values.size(); ++i) keyValues.emplace_back(keys[i], values[i]);
    return WritePrivateProfileStrings(section, keyValues, path);
}

// A folder is read whole: a cut one would name another folder.
void ApplyFolderHistory(std::string_view text, FolderHistory& history) {
    ApplySettingsValues(text, "MAINWINDOW", kHistoryKeys, {}, history, SIZE_MAX);
}

SettingsFileState LoadFolderHistory(FolderHistory& history, const std::string& path) {
    std::string text;
    const SettingsFileState state = ReadSettingsFile(path, &text);
    if (state != SettingsFileState::kMissing && state != SettingsFileState::kTooLarge)
        ApplyFolderHistory(text, history);
    return state;
}

bool SaveFolderHistory(const FolderHistory& history, const std::string& path) {
    FolderHistory written;
    for (std::size_t i = 0; i < history.size(); ++i) written[i] = FolderValueForWrite(history[i]);
    return SaveSettingsValues("MAINWINDOW", kHistoryKeys, written, path);
}

bool SettingsLinkRefused(const std::string& path) {
    std::string target;
    return ResolveFinalLink(path, &target, LinkRule::kOwnLinksOnly) == EACCES && ResolveFinalLink(path, &target) == 0;
}

std::string SettingsSaveFailureText(const std::string& path) {
    std::string text =
        "設定を保存できませんでした。\n" + CodePageToUtf8(FileSystemToCodePage(path, FileSystemCodePage()));
    if (SettingsLinkRefused(path)) {
        text +=
            "\n\nこのファイルはシンボリック リンクで、リンクかそのリンク先がほかのユーザーのものです。"
            "ほかのユーザーが置いたリンクを通しては書き込みません。";
    } else if (struct stat st{}; ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                                 static_cast<std::uint64_t>(st.st_size) > kMaxSettingsFileBytes) {
        text += "\n\nこのファイルは 1 MiB を超えていて、設定ファイルとして扱いません。";
    }
    return text;
}

std::string ExportProposalFolder() {
    const SettingsPlaces places = CurrentSettingsPlaces();
    if (places.programFolderWritable) return places.programFolder;
    const std::string strPath = ChosenPath().empty() ? SettingsPathIn(places) : ChosenPath();
    std::string text;
    if (ReadSettingsFile(strPath, &text) == SettingsFileState::kRead) {
        std::string strFolder = Lookup(text, "EXPORT", "FOLDER", "", SIZE_MAX);
        if (!strFolder.empty()) {
            if (strFolder.back() != '/') strFolder += '/';
            // The file holds texts of the code page; the folder is looked
            // for under the file system's name.
            const std::string strRaw = CodePageToFileSystem(strFolder, FileSystemCodePage());
            if (strRaw.front() == '/' && IsFolder(strRaw)) return strRaw;
        }
    }
    return HomeFolder();
}

void RememberExportFolder(const std::string& rawFolder) {
    const SettingsPlaces places = CurrentSettingsPlaces();
    if (places.programFolderWritable || rawFolder.empty()) return;
    const std::string strPath = ChosenPath().empty() ? SettingsPathIn(places) : ChosenPath();
    if (strPath.empty() || !CreateSettingsFolder(strPath, places)) return;
    // Not worth a message when it fails: the next export proposes the home
    // folder instead.
    const std::string strFolder = FolderValueForWrite(FileSystemToCodePage(rawFolder, FileSystemCodePage()));
    if (!strFolder.empty()) WritePrivateProfileStrings("EXPORT", {{"FOLDER", strFolder}}, strPath);
}

}  // namespace norvane
