// The settings file Norvane.ini: where it lives, how it is read (once, and
// only up to a size) and how its sections are written, the folder history
// (section MAINWINDOW) and the folder of the last export (section EXPORT).
// The export's titles and colours keep their section through it
// (export/ExportSettings.h). Texts are in the code page. This is the one place
// that knows where the file lives.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

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

// The file's text, read once: empty unless it was read (kRead).
SettingsFileState ReadSettingsFile(const std::string& path, std::string* text);
// The values of keys (in that order) in a section of a settings file's text.
// A key held with a non-empty value replaces the caller's value; a missing
// key gives its default (none where defaults has none); an empty value
// leaves the caller's value. Values are cut to maxBytes of the code page.
void ApplySettingsValues(std::string_view text, const char* section, std::span<const char* const> keys,
                         std::span<const std::string> defaults, std::span<std::string> values, std::size_t maxBytes);
// Writes every key with its value, empty values included, creating the
// settings folder if it is the one of the configuration home. False when the
// file could not be written.
bool SaveSettingsValues(const char* section, std::span<const char* const> keys, std::span<const std::string> values,
                        const std::string& path);

// The history of a settings file's text, or of the file at path (read once):
// folders are read whole. Nothing changes when no file exists at path, or
// when it is too large.
void ApplyFolderHistory(std::string_view text, FolderHistory& history);
SettingsFileState LoadFolderHistory(FolderHistory& history, const std::string& path);

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
