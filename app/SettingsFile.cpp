#include "app/SettingsFile.h"

#include <sys/stat.h>

#include <utility>
#include <vector>

#include "platform/Paths.h"
#include "platform/PrivateProfile.h"

namespace norvane {

namespace {

constexpr const char* kTitleKeys[8] = {"VALUE1", "VALUE2", "VALUE3", "VALUE4",
                                       "VALUE5", "VALUE6", "BGCOLOR", "FONTCOLOR"};
constexpr const char* kHistoryKeys[8] = {"HISTORY1", "HISTORY2", "HISTORY3", "HISTORY4",
                                         "HISTORY5", "HISTORY6", "HISTORY7", "HISTORY8"};
constexpr std::size_t kValueBuffer = 520;

std::string& PathForTests() {
    static std::string path;
    return path;
}

bool AnythingExistsAt(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
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
    if (!PathForTests().empty()) return PathForTests();
    // Never a bare name, which would put the file in the current folder.
    const std::string strFolder = ExecutableFolder();
    return strFolder.empty() ? std::string() : strFolder + kSettingsFileName;
}

void SetSettingsPathForTests(std::string path) { PathForTests() = std::move(path); }

void LoadTitleSettings(std::array<std::string, 8>& values, const std::string& path) {
    Load("TITLE", kTitleKeys, TitleSettings().values, values, path);
}

bool SaveTitleSettings(const std::array<std::string, 8>& values, const std::string& path) {
    return Save("TITLE", kTitleKeys, values, path);
}

void LoadFolderHistory(std::array<std::string, 8>& history, const std::string& path) {
    Load("MAINWINDOW", kHistoryKeys, std::array<std::string, 8>{}, history, path);
}

bool SaveFolderHistory(const std::array<std::string, 8>& history, const std::string& path) {
    return Save("MAINWINDOW", kHistoryKeys, history, path);
}

}  // namespace norvane
