// The settings of one export and the writer of its three formats: TEXT
// (tab-separated), an HTML table, and CSV. The writer only reads the records;
// its bytes go to an OutputSink. Nothing here needs a window: the lister and
// the unit tests use it as it is, and the window's export run is built on
// it (export/ListExporterRun.h).
#pragma once

#include <string>
#include <vector>

#include "catalogue/Comparison.h"
#include "catalogue/FileItem.h"
#include "export/ExportSettings.h"
#include "export/OutputSink.h"

namespace norvane {

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

    // A comparison: the change column comes first, titled m_strTitleChange;
    // a changed cell holds the old value, " → " and the new one (a changed
    // time with its seconds), a moved file's folder cell its old and its new
    // folder (and a name cell with its folder both paths); everything else
    // as the export of a list writes it.
    void WriteComparisonHeader(OutputSink& sink);
    void WriteComparedRow(OutputSink& sink, std::string& previousFolder, const ComparedRow& row);
    bool WriteComparison(OutputSink& sink, const std::vector<const ComparedRow*>& rows);

    // Fills every field below from one export's settings.
    void SetSettings(const ExportSettings& settings);
    // The format the fields choose: one flag is set; should more be, HTML
    // wins over CSV and CSV over TEXT; with none set TEXT is written.
    ExportFormat ChosenFormat() const;

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

    // The format: one of the three is set (see ChosenFormat).
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
    std::string m_strTitleChange = "Change";
    bool m_bFormattedSize = false;

private:
    using Format = ExportFormat;
    int WrittenColumnCount() const;
    // pChangeTitle: the change column's title, for a comparison.
    void WriteHeaderLine(OutputSink& sink, const std::string* pChangeTitle);
    // pRow: the compared row the item is shown for, or null.
    void WriteLine(OutputSink& sink, std::string& previousFolder, const FileItem& item, const ComparedRow* pRow);
    void AppendHeading(std::string& line, Format format, std::string_view folder, int nColumns) const;
    // folder: the item's folder text.
    void AppendRowLine(std::string& line, Format format, const FileItem& item, std::string_view folder,
                       const ComparedRow* pRow) const;
    // The name text without CSV's quotes.
    void AppendNameText(std::string& line, Format format, const FileItem& item, std::string_view folder) const;
    class RowCells;
    // pOld: the old record when the version changed.
    void AppendVersionCell(RowCells& cells, const FileVersion& version, const FileItem* pOld,
                           std::string_view arrow) const;

    // Reused for every line, so a long export allocates only while lines grow.
    std::string m_strLine;
};

}  // namespace norvane
