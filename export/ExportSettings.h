// Every choice of one export, as one value: the window's export and
// norvane-list build it, and CListExporter::SetSettings is the one place
// that turns it into the exporter's fields.
#pragma once

#include <array>
#include <string>

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

struct ExportSettings {
    ExportFormat format = ExportFormat::kText;
    std::array<bool, kExportColumnCount> columns{true, false, false, false, false, false};
    // Bare file names, or the folder text followed by the name.
    bool nameOnly = true;
    // Written before and after each file name; empty writes nothing.
    std::string prefix;
    std::string suffix;
    // A heading line wherever the folder changes from one row to the next.
    bool folderHeadings = false;
    // Sizes as short texts with a unit, as the list shows them.
    bool formattedSize = false;
    TitleSettings titles;
};

}  // namespace norvane
