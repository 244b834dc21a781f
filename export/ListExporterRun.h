// The export runs of the main window's two buttons: a save dialog that
// proposes the format's default name in the program's own folder, the file
// written whole (header, rows, footer), then the question whether to open
// it. A file that cannot be opened or written is reported in a message box,
// and the save dialog opens again for another place.
//
// Threads. The dialogs run on the window's thread; the file is written
// wherever the window puts the work (off its thread), between AskPath and
// Conclude, while the window keeps its hands off the run.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QString>

#include "catalogue/WorkControl.h"
#include "export/ListExporter.h"

class QWidget;

namespace norvane {

// Opens a written file with the desktop's application for its type; the path
// is UTF-8. False when nothing could be started. Tests put their own in place
// so that no application is ever started; an empty function restores the
// real one. Returns the one it replaces.
using FileOpener = std::function<bool(const std::string& strPathUtf8)>;
FileOpener SetFileOpener(FileOpener fnOpener);

// An export whose file is being put in place cannot stop: if its window
// closes meanwhile, the work goes on. A program that ends waits up to
// timeout for such work (false when some is still going on), lest a file
// be left half-copied into place.
bool WaitForExportsPuttingFilesInPlace(std::chrono::milliseconds timeout);

class CExportRun {
public:
    // rows: the numbers of the records in store to write, in that order, by
    // settings; the run keeps the store while it lives.
    CExportRun(const ExportSettings& settings, std::vector<ItemRef> rows, std::shared_ptr<const FileStore> store);
    // rows: positions in comparison's order, written with the change column
    // first; the run keeps the comparison while it lives.
    CExportRun(const ExportSettings& settings, std::vector<std::uint32_t> rows,
               std::shared_ptr<const Comparison> comparison);

    // The save dialog: first on the format's default name in the program's
    // own folder (or the last export's), after a failure on the name that
    // failed. False when cancelled: the run is over.
    bool AskPath(QWidget* pOwner);
    // Writes the rows into the chosen file; any thread. A stop asked for
    // through control before the file takes its place leaves the old file
    // as it was, and nothing new.
    void Write(WorkControl& control);
    // After Write, on the window's thread: a failure is told (true: ask for
    // another place); a written file's folder is remembered and the user is
    // offered to open it (false: the run is over).
    bool Conclude(QWidget* pOwner);

    std::size_t RowCount() const { return m_rows.size(); }

private:
    const ExportSettings m_settings;
    std::vector<ItemRef> m_rows;
    std::shared_ptr<const FileStore> m_pStore;
    std::shared_ptr<const Comparison> m_pComparison;  // or null: a list's rows
    QString m_strFolder;                              // where the save dialog opens
    QString m_strFileName;                            // the name it proposes
    std::string m_strPathUtf8;
    // What Write came to: nothing when written; else what failed and why.
    std::string m_strFailure;
    std::string m_strReason;
    bool m_bStopped = false;
    bool m_bFolderExists = false;  // the failed path's folder
};

}  // namespace norvane
