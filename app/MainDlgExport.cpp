// The export buttons of the main window: the options, then the run.
#include <vector>

#include "app/MainDlg.h"
#include "export/ListExporterRun.h"
#include "export/OutputOptionsDlg.h"

namespace norvane {

// The titles and colours changed in the options dialog stay with the window
// once it is confirmed, even when the save dialog is cancelled afterwards.
void CMainDlg::RunExport(bool bSelectedRows) {
    if (IsScanning()) return;  // the buttons are greyed while rows arrive
    COutputOptionsDlg dlg;
    dlg.SetTitleSettings(GetTitleSettings());
    dlg.m_bFolderHeadingAllowed = m_bFolderHeadingAllowed;
    if (dlg.DoModal() != IDOK) return;

    ExportSettings settings = dlg.GetExportSettings();
    settings.formattedSize = m_bFormattedSize;
    // The dialogs leave the change column's title as the settings file has it.
    settings.titles.changeTitle = m_strTitleChange;
    SetTitleSettings(settings.titles);
    CListExporter exporter;
    exporter.SetSettings(settings);

    if (m_fileList.GetComparison() != nullptr) {
        // The comparison's rows, the change column first.
        std::vector<const ComparedRow*> rows;
        if (bSelectedRows) {
            for (int nRow : m_listFiles->GetSelectedRows()) rows.push_back(m_fileList.Compared(nRow));
        } else {
            for (int nRow = 0; nRow < m_fileList.rowCount(); ++nRow) rows.push_back(m_fileList.Compared(nRow));
        }
        ExportComparison(exporter, rows, this);
        return;
    }
    if (!bSelectedRows) {
        ExportRows(exporter, m_fileList.Items(), this);
        return;
    }
    // Display order, whatever order the rows were selected in.
    std::vector<const FileItem*> rows;
    for (int nRow : m_listFiles->GetSelectedRows()) rows.push_back(m_fileList.Item(nRow));
    ExportRows(exporter, rows, this);
}

void CMainDlg::OnOutputSelected() {
    if (IsScanning()) return;
    if (m_listFiles->GetSelectedCount() == 0) {
        MessageBox("出力する行が選択されていません。\nリストボックスで出力する行を選んでください。", {},
                   MB_OK | MB_ICONINFORMATION);
        return;
    }
    RunExport(true);
}

void CMainDlg::OnOutputAll() { RunExport(false); }

}  // namespace norvane
