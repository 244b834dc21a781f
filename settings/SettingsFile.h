// The settings file Norvane.ini: the output column titles with the two HTML
// header colours (section TITLE) and the folder history (section
// MAINWINDOW). Texts are in the code page. This is the one place that knows
// where the file lives.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace norvane {

inline constexpr const char* kSettingsFileName = "Norvane.ini";

// Where the settings file lives, worked out anew at every call unless
// SetSettingsPath named a file: Norvane.ini beside the executable for
// portable use (the file is there, or the folder may be written), otherwise
// $XDG_CONFIG_HOME/norvane/Norvane.ini (~/.config/norvane/ by default).
// Empty when neither place can be found.
std::string SettingsPath();
// Puts the settings in another file (tests keep theirs in a folder of their
// own); an empty path gives back the rule above.
void SetSettingsPath(std::string path);

// The facts the choice of the settings file rests on.
struct SettingsPlaces {
    std::string programFolder;  // ending with "/"; empty when unknown
    bool programFolderWritable = false;
    std::string configHome;  // $XDG_CONFIG_HOME or ~/.config, ending with "/"; empty when unknown
};
// The places of this process: a program folder counts as writable only when
// the user may write it and it is not a system folder of programs
// (/usr/bin and the like), where a package manager put the program.
SettingsPlaces CurrentSettingsPlaces();
// The file the places give (the rule of SettingsPath).
std::string SettingsPathIn(const SettingsPlaces& places);

// Saving the settings creates the folder under the configuration home on the
// first save (as 0700, the rule for the folders of that home).
bool CreateSettingsFolder(const std::string& settingsPath, const SettingsPlaces& places);

// The folder an export proposes, in the file system's bytes, ending with
// "/": the program's folder when it is writable, else the folder of the
// last export that was written whole (kept in the settings file when the
// program's folder is not the proposal), else the home folder; empty when
// none is known.
std::string ExportProposalFolder();
// Keeps the folder of an export that was written whole, for the next one.
// Nothing is written when the program's own folder is proposed anyway.
void RememberExportFolder(const std::string& rawFolder);

// The six column titles of the HTML and CSV header (file name, date and
// time, size, version, extension, folder) and the HTML header colours as
// "#rrggbb" texts. Default-constructed, it holds the defaults.
struct TitleSettings {
    std::array<std::string, 6> titles{"FileName", "FileDate&Time", "FileSize", "Version", "Expansion", "Directory"};
    std::string bgColor = "#0066cc";
    std::string fontColor = "#ffffff";
    // The title of the change column that heads an exported comparison
    // (VALUE7). No dialog edits it: the file holds it when a user puts it
    // there, and saving the titles leaves it as it is.
    std::string changeTitle = "Change";

    bool operator==(const TitleSettings&) const = default;
};

// HISTORY1..HISTORY8; an empty value is an empty slot.
using FolderHistory = std::array<std::string, 8>;

// What reading the settings file found.
enum class SettingsFileState {
    kRead,
    kMissing,     // no file at the path: nothing changes
    kTooLarge,    // larger than kMaxSettingsFileBytes: no settings file of
                  // the program's, neither read nor rewritten
    kUnreadable,  // no regular file, or it cannot be read: the defaults
};
inline constexpr std::size_t kMaxSettingsFileBytes = std::size_t{1} << 20;

// Each key present with a non-empty value replaces the caller's text; a
// missing key gives its default; an empty value leaves the text as it was.
// Nothing changes when no file exists at path, or when it is too large.
// Titles and colours are read up to 519 bytes, folders whole. The file is
// read once per call.
SettingsFileState LoadSettings(TitleSettings& titles, FolderHistory& history, const std::string& path);
SettingsFileState LoadTitleSettings(TitleSettings& titles, const std::string& path);
SettingsFileState LoadFolderHistory(FolderHistory& history, const std::string& path);

// Writes all eight TITLE keys, empty values included. False when the file
// could not be written.
bool SaveTitleSettings(const TitleSettings& titles, const std::string& path);
// Writes all eight HISTORY keys. A folder comes back whole from the file: one
// with blanks or quotes around it is written within quotes, and one that
// could not be read back as it is (a line break in it, longer than
// kMaxHistoryFolderBytes) is left out (its slot written empty).
bool SaveFolderHistory(const FolderHistory& history, const std::string& path);
inline constexpr std::size_t kMaxHistoryFolderBytes = std::size_t{32} << 10;

// True when saving to path is refused because path is a symbolic link that
// is not the user's own, or leads to another user's file.
bool SettingsLinkRefused(const std::string& path);
// What the window tells when the settings could not be saved to path (UTF-8):
// the path, and the reason where the program itself refused.
std::string SettingsSaveFailureText(const std::string& path);

}  // namespace norvane
