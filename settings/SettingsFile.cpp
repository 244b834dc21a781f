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

constexpr const char* kTitleKeys[8] = {"VALUE1", "VALUE2", "VALUE3",  "VALUE4",
                                       "VALUE5", "VALUE6", "BGCOLOR", "FONTCOLOR"};
constexpr const char* kHistoryKeys[8] = {"HISTORY1", "HISTORY2", "HISTORY3", "HISTORY4",
                                         "HISTORY5", "HISTORY6", "HISTORY7", "HISTORY8"};
constexpr std::size_t kValueBuffer = 520;
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

// The eight TITLE values in key order.
std::array<std::string, 8> TitleValues(const TitleSettings& titles) {
    const auto& t = titles.titles;
    return {t[0], t[1], t[2], t[3], t[4], t[5], titles.bgColor, titles.fontColor};
}

// The file's text, read once; empty where it gives only the defaults.
SettingsFileState ReadSettingsText(const std::string& path, std::string* text) {
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

// A key's value in the text (or its default), cut to maxBytes as a buffer
// of the program would cut it.
std::string Lookup(std::string_view text, const char* section, const char* key, std::string_view defaultValue,
                   std::size_t maxBytes) {
    const int codePage = CurrentCodePage();
    const std::optional<std::string> found = FindPrivateProfileValue(text, section, key, codePage);
    return std::string(CutToBytes(found ? std::string_view(*found) : defaultValue, maxBytes, codePage));
}

void ApplyValues(std::string_view text, const char* section, const char* const* keys,
                 const std::array<std::string, 8>& defaults, std::array<std::string, 8>& values, std::size_t maxBytes) {
    for (std::size_t i = 0; i < 8; ++i) {
        std::string value = Lookup(text, section, keys[i], defaults[i], maxBytes);
        if (!value.empty()) values[i] = std::move(value);
    }
}

void ApplyTitles(std::string_view text, TitleSettings& titles) {
    std::array<std::string, 8> values = TitleValues(titles);
    ApplyValues(text, "TITLE", kTitleKeys, TitleValues(TitleSettings()), values, kValueBuffer - 1);
    for (std::size_t i = 0; i < 6; ++i) titles.titles[i] = std::move(values[i]);
    titles.bgColor = std::move(values[6]);
    titles.fontColor = std::move(values[7]);
    std::string change = Lookup(text, "TITLE", "VALUE7", TitleSettings().changeTitle, kValueBuffer - 1);
    if (!change.empty()) titles.changeTitle = std::move(change);
}

// A folder is read whole: a cut one would name another folder.
void ApplyHistory(std::string_view text, FolderHistory& history) {
    ApplyValues(text, "MAINWINDOW", kHistoryKeys, FolderHistory{}, history, SIZE_MAX);
}

// A folder as it is written so that the reader gives it back whole: within
// quotes where the reader would drop blanks or quotes around it; empty
// (left out) where no line could hold it.
std::string FolderValueForWrite(const std::string& folder) {
    if (folder.size() > kMaxHistoryFolderBytes || folder.find_first_of("\r\n") != std::string::npos) return {};
    if (CleanProfileValueForRead(folder) == folder) return folder;
    return '"' + folder + '"';
}

bool Save(const char* section, const char* const* keys, const std::array<std::string, 8>& values,
          const std::string& path) {
    if (!CreateSettingsFolder(path, CurrentSettingsPlaces())) return false;
    ProfileKeyValues keyValues;
    for (std::size_t i = 0; i < 8; ++i) keyValues.emplace_back(keys[i], values[i]);
    return WritePrivateProfileStrings(section, keyValues, path);
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

SettingsFileState LoadSettings(TitleSettings& titles, FolderHistory& history, const std::string& path) {
    std::string text;
    const SettingsFileState state = ReadSettingsText(path, &text);
    if (state == SettingsFileState::kMissing || state == SettingsFileState::kTooLarge) return state;
    ApplyTitles(text, titles);
    ApplyHistory(text, history);
    return state;
}

SettingsFileState LoadTitleSettings(TitleSettings& titles, const std::string& path) {
    FolderHistory unused;
    return LoadSettings(titles, unused, path);
}

SettingsFileState LoadFolderHistory(FolderHistory& history, const std::string& path) {
    TitleSettings unused;
    return LoadSettings(unused, history, path);
}

bool SaveTitleSettings(const TitleSettings& titles, const std::string& path) {
    return Save("TITLE", kTitleKeys, TitleValues(titles), path);
}

bool SaveFolderHistory(const FolderHistory& history, const std::string& path) {
    FolderHistory written;
    for (std::size_t i = 0; i < history.size(); ++i) written[i] = FolderValueForWrite(history[i]);
    return Save("MAINWINDOW", kHistoryKeys, written, path);
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
    if (ReadSettingsText(strPath, &text) == SettingsFileState::kRead) {
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
