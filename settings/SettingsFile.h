// The settings file Norvane.ini: the output column titles with the two HTML
// header colours (section TITLE) and the folder history (section
// MAINWINDOW). Texts are in the code page. This is the one place that knows
// where the file lives.
#pragma once

#include <array>
#include <string>

namespace norvane {

inline constexpr const char* kSettingsFileName = "Norvane.ini";

// Norvane.ini beside the executable, worked out anew at every call, unless
// SetSettingsPath named another file; empty when the executable's folder
// cannot be found.
std::string SettingsPath();
// Puts the settings in another file (tests keep theirs in a folder of their
// own); an empty path gives back the file beside the executable.
void SetSettingsPath(std::string path);

// The six column titles of the HTML and CSV header (file name, date and
// time, size, version, extension, folder) and the HTML header colours as
// "#rrggbb" texts. Default-constructed, it holds the defaults.
struct TitleSettings {
    std::array<std::string, 6> titles{"FileName", "FileDate&Time", "FileSize", "Version", "Expansion", "Directory"};
    std::string bgColor = "#0066cc";
    std::string fontColor = "#ffffff";

    bool operator==(const TitleSettings&) const = default;
};

// Each key present with a non-empty value replaces the caller's text; a
// missing key gives its default; an empty value leaves the text as it was.
// Nothing changes when no file exists at path.
void LoadTitleSettings(TitleSettings& titles, const std::string& path);
// Writes all eight TITLE keys, empty values included. False when the file
// could not be written.
bool SaveTitleSettings(const TitleSettings& titles, const std::string& path);

// HISTORY1..HISTORY8; an empty value is an empty slot.
using FolderHistory = std::array<std::string, 8>;
void LoadFolderHistory(FolderHistory& history, const std::string& path);
bool SaveFolderHistory(const FolderHistory& history, const std::string& path);

}  // namespace norvane
