// The settings of one export and the writer of its three formats: TEXT
// (tab-separated), an HTML table, and CSV. The writer only reads the records;
// its bytes go to an OutputSink. The runs of the window's export buttons
// (save dialog, file, completion question) are built with the window layer;
// this header names the list and the owner window only by declaration, so
// the lister uses it without Qt.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "catalogue/FileItem.h"
#include "export/OutputSink.h"

class QWidget;

namespace norvane {

class CListCtrl;

// Opens a written file with the desktop's application for its type; the path
// is UTF-8. False when nothing could be started. Tests put their own in place
// so that no application is ever started; an empty function restores the
// real one. Returns the one it replaces.
using FileOpener = std::function<bool(const std::string& strPathUtf8)>;
FileOpener SetFileOpener(FileOpener fnOpener);

class CListExporter {
public:
    CListExporter();
    virtual ~CListExporter();
    CListExporter(const CListExporter&) = default;
    CListExporter& operator=(const CListExporter&) = default;

    // Header of the chosen format (TEXT has none).
    void WriteHeader(OutputSink& sink);
    // The folder heading when the folder changed and headings are on, then
    // the row's line. previousFolder carries the folder of the row before; it
    // starts empty for a run and is updated here.
    void WriteRow(OutputSink& sink, std::string& previousFolder, const FileItem& item);
    // Footer of the chosen format (HTML only).
    void WriteFooter(OutputSink& sink);
    // Header, the rows in the given order, footer; then the sink is flushed.
    // False when the sink failed (its ErrorText says why); rows after a
    // failure are not formatted.
    bool WriteRows(OutputSink& sink, const std::vector<const FileItem*>& rows);

    // The export runs of the main window's two buttons: a save dialog that
    // proposes the format's default name in the program's own folder, the
    // file written whole (header, rows, footer), then the question whether
    // to open it. A file that cannot be opened or written is reported in a
    // message box instead. True only when the file was written whole; false
    // when the user cancelled the save dialog or the file failed.
    bool ExportSelectedRows(const CListCtrl& list, QWidget* pOwner);
    bool ExportAllRows(const CListCtrl& list, QWidget* pOwner);
    // The rows of a list, each row's item data a FileItem*: the selected
    // ones in display order, or all. They stop at the sink's first failure;
    // false then.
    bool WriteSelectedRows(OutputSink& sink, const CListCtrl& list);
    bool WriteAllRows(OutputSink& sink, const CListCtrl& list);

    // Proposed file names, and the output path.
    std::string m_szTextName;
    std::string m_szHtmlName;
    std::string m_szCsvName;
    std::string m_szPath;

    // The six columns, in output order.
    bool m_bFileName = true;
    bool m_bFileDateTime = false;
    bool m_bFileSize = false;
    bool m_bVersion = false;
    bool m_bExpansion = false;
    bool m_bDirectory = false;

    // The format: one of the three is set. Should more be, HTML wins over
    // CSV and CSV over TEXT; with none set TEXT is written.
    bool m_bText = true;
    bool m_bPrefix = false;
    bool m_bSuffix = false;
    std::string m_strPrefix;
    std::string m_strSuffix;
    bool m_bFolderHeading = false;
    bool m_bNameOnly = true;
    bool m_bHtml = false;
    bool m_bCsv = false;
    std::string m_strTitle1;
    std::string m_strTitle2;
    std::string m_strTitle3;
    std::string m_strTitle4;
    std::string m_strTitle5;
    std::string m_strTitle6;
    std::string m_strBgColor;
    std::string m_strFontColor;
    bool m_bFormattedSize = false;

private:
    enum class Format { kText, kHtml, kCsv };
    bool RunExport(const CListCtrl& list, QWidget* pOwner, bool bSelectedRows);
    Format ChosenFormat() const;
    int WrittenColumnCount() const;
    void AppendHeading(std::string& line, Format format, std::string_view folder) const;
    void AppendRowLine(std::string& line, Format format, const FileItem& item) const;
    void AppendNameCell(std::string& line, Format format, const FileItem& item) const;

    // Reused for every line, so a long export allocates only while lines grow.
    std::string m_strLine;
};

}  // namespace norvane
