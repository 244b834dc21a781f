// The settings file Norvane.ini beside the executable: the output column
// titles with the two HTML header colours (section TITLE) and the folder
// history (section MAINWINDOW). Texts are in the code page.
#pragma once

#include <array>
#include <string>

namespace norvane {

inline constexpr const char* kSettingsFileName = "Norvane.ini";

// The executable's folder and "Norvane.ini", worked out anew at every call;
// empty when the executable's folder cannot be found.
std::string SettingsPath();
// Window tests point SettingsPath() at a file of their own; an empty path
// gives back the file beside the executable.
void SetSettingsPathForTests(std::string path);

// The six column titles and two colours, in the order of VALUE1..VALUE6,
// BGCOLOR, FONTCOLOR.
struct TitleSettings {
    std::array<std::string, 8> values{"FileName", "FileDate&Time", "FileSize", "Version",
                                      "Expansion", "Directory", "#0066cc", "#ffffff"};
};

// Each key present with a non-empty value replaces the caller's text; a
// missing key gives its default; an empty value leaves the text as it was.
// Nothing changes when no file exists at path.
void LoadTitleSettings(std::array<std::string, 8>& values, const std::string& path);
// Writes all eight TITLE keys, empty values included. False when the file
// could not be written.
bool SaveTitleSettings(const std::array<std::string, 8>& values, const std::string& path);

// HISTORY1..HISTORY8; an empty value is an empty slot.
void LoadFolderHistory(std::array<std::string, 8>& history, const std::string& path);
bool SaveFolderHistory(const std::array<std::string, 8>& history, const std::string& path);

}  // namespace norvane
