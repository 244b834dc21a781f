// The settings file Norvane.ini: where it lives, how its sections are read
// and written, the folder history (section MAINWINDOW) and the folder of the
// last export (section EXPORT). The export's titles and colours keep their
// own section through it (export/ExportSettings.h). Texts are in the code
// page. This is the one place that knows where the file lives.
#pragma once

#include <array>
#include <span>
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

// The values of keys (in that order) in a section of the file at path. A key
// held with a non-empty value replaces the caller's value; a missing key
// gives its default (none when defaults is empty); an empty value leaves the
// caller's value. Values are read up to 519 bytes. Nothing changes when no
// file exists at path.
void LoadSettingsValues(const char* section, std::span<const char* const> keys, std::span<const std::string> defaults,
                        std::span<std::string> values, const std::string& path);
// Writes every key with its value, empty values included, creating the
// settings folder if it is the one of the configuration home. False when the
// file could not be written.
bool SaveSettingsValues(const char* section, std::span<const char* const> keys, std::span<const std::string> values,
                        const std::string& path);

// HISTORY1..HISTORY8; an empty value is an empty slot.
using FolderHistory = std::array<std::string, 8>;
void LoadFolderHistory(FolderHistory& history, const std::string& path);
bool SaveFolderHistory(const FolderHistory& history, const std::string& path);

}  // namespace norvane
