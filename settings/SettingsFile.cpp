#include "settings/SettingsFile.h"

#include <sys/stat.h>

#include <utility>

#include "platform/Paths.h"
#include "platform/PrivateProfile.h"

namespace norvane {

namespace {

constexpr const char* kTitleKeys[8] = {"VALUE1", "VALUE2", "VALUE3",  "VALUE4",
                                       "VALUE5", "VALUE6", "BGCOLOR", "FONTCOLOR"};
constexpr const char* kHistoryKeys[8] = {"HISTORY1", "HISTORY2", "HISTORY3", "HISTORY4",
                                         "HISTORY5", "HISTORY6", "HISTORY7", "HISTORY8"};
constexpr std::size_t kValueBuffer = 520;

std::string& ChosenPath() {
    static std::string path;
    return path;
}

bool AnythingExistsAt(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// The eight TITLE values in key order.
std::array<std::string, 8> TitleValues(const TitleSettings& titles) {
    const auto& t = titles.titles;
    return {t[0], t[1], t[2], t[3], t[4], t[5], titles.bgColor, titles.fontColor};
}

void Load(const char* section, const char* const* keys, const std::array<std::string, 8>& defaults,
          std::array<std::string, 8>& values, const std::string& path) {
    if (!AnythingExistsAt(path)) return;
    for (std::size_t i = 0; i < 8; ++i) {
        std::string value;
        if (GetPrivateProfileString(section, keys[i], defaults[i], &value, kValueBuffer, path) != 0) {
            values[i] = std::move(value);
        }
    }
}

bool Save(const char* section, const char* const* keys, const std::array<std::string, 8>& values,
          const std::string& path) {
    ProfileKeyValues keyValues;
    for (std::size_t i = 0; i < 8; ++i) keyValues.emplace_back(keys[i], values[i]);
    return WritePrivateProfileStrings(section, keyValues, path);
}

}  // namespace

std::string SettingsPath() {
    if (!ChosenPath().empty()) return ChosenPath();
    // Never a bare name, which would put the file in the current folder.
    const std::string strFolder = ExecutableFolder();
    return strFolder.empty() ? std::string() : strFolder + kSettingsFileName;
}

void SetSettingsPath(std::string path) { ChosenPath() = std::move(path); }

void LoadTitleSettings(TitleSettings& titles, const std::string& path) {
    std::array<std::string, 8> values = TitleValues(titles);
    Load("TITLE", kTitleKeys, TitleValues(TitleSettings()), values, path);
    for (std::size_t i = 0; i < 6; ++i) titles.titles[i] = std::move(values[i]);
    titles.bgColor = std::move(values[6]);
    titles.fontColor = std::move(values[7]);
}

bool SaveTitleSettings(const TitleSettings& titles, const std::string& path) {
    return Save("TITLE", kTitleKeys, TitleValues(titles), path);
}

void LoadFolderHistory(FolderHistory& history, const std::string& path) {
    Load("MAINWINDOW", kHistoryKeys, FolderHistory{}, history, path);
}

bool SaveFolderHistory(const FolderHistory& history, const std::string& path) {
    return Save("MAINWINDOW", kHistoryKeys, history, path);
}

}  // namespace norvane
