// The writer of the three export formats: TEXT (tab-separated), an HTML
// table, and CSV, by the settings of one export, which it takes as one
// value and never changes. The writer only reads the records;
// its bytes go to an OutputSink. Nothing here needs a window: the lister and
// the unit tests use it as it is, and the window's export run is built on
// it (export/ListExporterRun.h).
#pragma once

#include <string>
#include <vector>

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

    const ExportSettings& Settings() const { return m_settings; }

private:
    using Format = ExportFormat;
    bool Written(ExportColumn column) const { return m_settings.columns[column]; }
    int WrittenColumnCount() const;
    void AppendHeading(std::string& line, std::string_view folder) const;
    // folder: the item's folder text.
    void AppendRowLine(std::string& line, const FileItem& item, std::string_view folder) const;
    void AppendNameCell(std::string& line, const FileItem& item, std::string_view folder) const;

    const ExportSettings m_settings;
    // Reused for every line, so a long export allocates only while lines grow.
    std::string m_strLine;
};

}  // namespace norvane
