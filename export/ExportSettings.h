// Every choice of one export, as one value: the options dialog edits it (the
// column titles dialog its titles and colours), the main window keeps it,
// norvane-list builds it, and CListExporter writes by it. Default-constructed
// it holds what a new export starts from: HTML with the first four columns,
// bare names, folder headings, the default titles and colours.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "settings/SettingsFile.h"

namespace norvane {

enum class ExportFormat { kText, kHtml, kCsv };

// The six exportable columns, always written in this order.
enum ExportColumn : int {
    kExportFileName,
    kExportDateTime,
    kExportSize,
    kExportVersion,
    kExportExtension,
    kExportFolder,
    kExportColumnCount,
};

// The titles of the exported columns in the HTML and CSV header, in column
// order, and the HTML header's background and text colours as "#rrggbb"
// (a colour text of another form is written as it stands). Texts are in the
// code page.
struct TitleSettings {
    std::array<std::string, kExportColumnCount> titles{"FileName", "FileDate&Time", "FileSize",
                                                       "Version",  "Expansion",     "Directory"};
    std::string bgColor = "#0066cc";
    std::string fontColor = "#ffffff";
    // The title of the change column that heads an exported comparison
    // (VALUE7). No dialog edits it: the file holds it when a user puts it
    // there, and saving the titles leaves it as it is.
    std::string changeTitle = "Change";

    bool operator==(const TitleSettings&) const = default;
};

struct ExportSettings {
    ExportFormat format = ExportFormat::kHtml;
    std::array<bool, kExportColumnCount> columns{true, true, true, true, false, false};
    // Bare file names, or the folder text followed by the name.
    bool nameOnly = true;
    // Written before and after each file name (in the code page); empty
    // writes nothing.
    std::string prefix;
    std::string suffix;
    // A heading line wherever the folder changes from one row to the next.
    bool folderHeadings = true;
    // Sizes as short texts with a unit, as the list shows them.
    bool formattedSize = false;
    TitleSettings titles;

    bool operator==(const ExportSettings&) const = default;
};

// The titles and colours kept in the settings file (section TITLE, keys
// VALUE1 to VALUE6, BGCOLOR and FONTCOLOR, and VALUE7 for the change
// column), from the file's text or from the file at path (read once): each
// key held with a non-empty value replaces the caller's text, a missing key
// gives its default, a value is read up to 519 bytes; nothing changes when
// there is no file or it is too large. Saving writes the first eight keys
// (VALUE7 stays as the file has it); false when the file could not be
// written.
void ApplyTitleSettings(std::string_view settingsText, TitleSettings& titles);
SettingsFileState LoadTitleSettings(TitleSettings& titles, const std::string& path);
bool SaveTitleSettings(const TitleSettings& titles, const std::string& path);

}  // namespace norvane
