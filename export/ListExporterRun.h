// The export run of the main window's two buttons: a save dialog that
// proposes the format's default name in the program's own folder, the file
// written whole (header, rows, footer), then the question whether to open
// it. A file that cannot be opened or written is reported in a message box,
// and the save dialog opens again for another place.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "export/ListExporter.h"

class QWidget;

namespace norvane {

// Opens a written file with the desktop's application for its type; the path
// is UTF-8. False when nothing could be started. Tests put their own in place
// so that no application is ever started; an empty function restores the
// real one. Returns the one it replaces.
using FileOpener = std::function<bool(const std::string& strPathUtf8)>;
FileOpener SetFileOpener(FileOpener fnOpener);

// Writes rows in the order given, by settings. True only when a file was
// written whole; false when the user cancelled the save dialog (after a
// failure too).
bool ExportRows(const ExportSettings& settings, const std::vector<const FileItem*>& rows, QWidget* pOwner);
// The same for the rows of a comparison, the change column first.
bool ExportComparison(const ExportSettings& settings, const std::vector<const ComparedRow*>& rows, QWidget* pOwner);

}  // namespace norvane
