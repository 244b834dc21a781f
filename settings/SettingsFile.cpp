#include "settings/SettingsFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "platform/CodePage.h"
#include "platform/Paths.h"
#include "platform/PrivateProfile.h"

namespace norvane {

namespace {

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

void LoadSettingsValues(const char* section, std::span<const char* const> keys, std::span<const std::string> defaults,
                        std::span<std::string> values, const std::string& path) {
    if (!AnythingExistsAt(path)) return;
    for (std::size_t i = 0; i < keys.size() && i < values.size(); ++i) {
        std::string value;
        const std::string strDefault = i < defaults.size() ? defaults[i] : std::string();
        if (GetPrivateProfileString(section, keys[i], strDefault, &value, kValueBuffer, path) != 0) {
            values[i] = std::move(value);
        }
    }
}

bool SaveSettingsValues(const char* section, std::span<const char* const> keys, std::span<const std::string> values,
                        const std::string& path) {
    if (!CreateSettingsFolder(path, CurrentSettingsPlaces())) return false;
    ProfileKeyValues keyValues;
    for (std::size_t i = 0; i < keys.size() && i < values.size(); ++i) keyValues.emplace_back(keys[i], values[i]);
    return WritePrivateProfileStrings(section, keyValues, path);
}

void LoadFolderHistory(FolderHistory& history, const std::string& path) {
    LoadSettingsValues("MAINWINDOW", kHistoryKeys, {}, history, path);
}

bool SaveFolderHistory(const FolderHistory& history, const std::string& path) {
    return SaveSettingsValues("MAINWINDOW", kHistoryKeys, history, path);
}

std::string ExportProposalFolder() {
    const SettingsPlaces places = CurrentSettingsPlaces();
    if (places.programFolderWritable) return places.programFolder;
    const std::string strPath = ChosenPath().empty() ? SettingsPathIn(places) : ChosenPath();
    if (!strPath.empty() && AnythingExistsAt(strPath)) {
        std::string strFolder;
        GetPrivateProfileString("EXPORT", "FOLDER", "", &strFolder, kValueBuffer, strPath);
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
    WritePrivateProfileStrings("EXPORT", {{"FOLDER", FileSystemToCodePage(rawFolder, FileSystemCodePage())}}, strPath);
}

}  // namespace norvane
