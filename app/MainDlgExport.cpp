// The export buttons of the main window: the options, then the run.
#include <QCheckBox>

#include <vector>

#include "app/MainDlg.h"
#include "export/ListExporterRun.h"
#include "export/OutputOptionsDlg.h"
#include "framework/MessageBox.h"

namespace norvane {

// Each export starts from the defaults; only the titles and colours travel
// on. Those changed in the options dialog stay with the window once it is
// confirmed, even when the save dialog is cancelled afterwards.
void CMainDlg::RunExport(bool bSelectedRows) {
    if (IsScanning()) return;  // the buttons are greyed while rows arrive
    ExportSettings opening;
    opening.titles = m_exportSettings.titles;
    COutputOptionsDlg dlg;
    dlg.setSettings(opening);
    dlg.setFolderHeadingAllowed(m_bFolderHeadingAllowed);
    if (dlg.exec() != QDialog::Accepted) return;
    m_exportSettings = dlg.settings();
    m_exportSettings.formattedSize = m_chkFormattedSize->isChecked();

    if (m_fileList.GetComparison() != nullptr) {
        // The comparison's rows, the change column first.
        std::vector<const ComparedRow*> rows;
        if (bSelectedRows) {
            for (int nRow : m_listFiles->GetSelectedRows()) rows.push_back(m_fileList.Compared(nRow));
        } else {
            for (int nRow = 0; nRow < m_fileList.rowCount(); ++nRow) rows.push_back(m_fileList.Compared(nRow));
        }
        ExportComparison(m_exportSettings, rows, this);
        return;
    }
    if (!bSelectedRows) {
        ExportRows(m_exportSettings, m_fileList.Items(), this);
        return;
    }
    // Display order, whatever order the rows were selected in.
    std::vector<const FileItem*> rows;
    for (int nRow : m_listFiles->GetSelectedRows()) rows.push_back(m_fileList.Item(nRow));
    ExportRows(m_exportSettings, rows, this);
}

void CMainDlg::OnOutputSelected() {
    if (IsScanning()) return;
    if (m_listFiles->GetSelectedCount() == 0) {
        ShowMessage(this, "出力する行が選択されていません。\nリストボックスで出力する行を選んでください。",
                    MessageIcon::kInformation);
        return;
    }
    RunExport(true);
}

void CMainDlg::OnOutputAll() { RunExport(false); }

}  // namespace norvane
