// The writer of the three export formats: TEXT (tab-separated), an HTML
// table, and CSV, by the settings of one export, which it takes as one
// value and never changes. The writer only reads the records;
// its bytes go to an OutputSink. Nothing here needs a window: the lister and
// the unit tests use it as it is, and the window's export run is built on
// it (export/ListExporterRun.h).
#pragma once

#include <string>
#include <vector>

#include "catalogue/Comparison.h"
#include "catalogue/FileItem.h"
#include "catalogue/WorkControl.h"
#include "export/ExportSettings.h"
#include "export/OutputSink.h"

namespace norvane {

class CListExporter {
public:
    explicit CListExporter(const ExportSettings& settings);

    // Header of the format (TEXT has none).
    void WriteHeader(OutputSink& sink);
    // The folder heading when the folder changed and headings are on, then
    // the row's line. previousFolder carries the folder of the row before; it
    // starts empty for a run and is updated here.
    void WriteRow(OutputSink& sink, std::string& previousFolder, const FileItem& item);
    // Footer of the format (HTML only).
    void WriteFooter(OutputSink& sink);
    // Header, the rows in the given order, footer; then the sink is flushed.
    // False when the sink failed (its ErrorText says why); rows after a
    // failure are not formatted. With a control (an export off the window's
    // thread) it counts the rows written and stops when asked: false then,
    // with the sink as it is.
    bool WriteRows(OutputSink& sink, const std::vector<const FileItem*>& rows, WorkControl* control = nullptr);

    // A comparison: the change column comes first, titled by the settings'
    // change title; a changed cell holds the old value, " → " and the new one
    // (a changed time with its seconds), a moved file's folder cell its old
    // and its new folder (and a name cell with its folder both paths);
    // everything else as the export of a list writes it.
    void WriteComparisonHeader(OutputSink& sink);
    void WriteComparedRow(OutputSink& sink, std::string& previousFolder, const ComparedRow& row);
    // With a control, as WriteRows.
    bool WriteComparison(OutputSink& sink, const std::vector<const ComparedRow*>& rows, WorkControl* control = nullptr);

    const ExportSettings& Settings() const { return m_settings; }

private:
    using Format = ExportFormat;
    bool Written(ExportColumn column) const { return m_settings.columns[column]; }
    int WrittenColumnCount() const;
    // pChangeTitle: the change column's title, for a comparison.
    void WriteHeaderLine(OutputSink& sink, const std::string* pChangeTitle);
    // pRow: the compared row the item is shown for, or null.
    void WriteLine(OutputSink& sink, std::string& previousFolder, const FileItem& item, const ComparedRow* pRow);
    void AppendHeading(std::string& line, std::string_view folder, int nColumns) const;
    // folder: the item's folder text.
    void AppendRowLine(std::string& line, const FileItem& item, std::string_view folder, const ComparedRow* pRow) const;
    // The name text without CSV's quotes.
    void AppendNameText(std::string& line, const FileItem& item, std::string_view folder) const;
    class RowCells;
    // pOld: the old record when the version changed.
    void AppendVersionCell(RowCells& cells, const FileVersion& version, const FileItem* pOld,
                           std::string_view arrow) const;

    const ExportSettings m_settings;
    // Reused for every line, so a long export allocates only while lines grow.
    std::string m_strLine;
};

}  // namespace norvane
