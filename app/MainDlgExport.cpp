// The export buttons of the main window: the options, then the run.
#include <QCheckBox>

#include <memory>
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
    if (IsScanning() || IsWorking()) return;  // the buttons are greyed meanwhile
    ExportSettings opening;
    opening.titles = m_exportSettings.titles;
    COutputOptionsDlg dlg;
    dlg.setSettings(opening);
    dlg.setFolderHeadingAllowed(m_bFolderHeadingAllowed);
    if (dlg.exec() != QDialog::Accepted) return;
    m_exportSettings = dlg.settings();
    m_exportSettings.formattedSize = m_chkFormattedSize->isChecked();

    // Display order, whatever order the rows were selected in; the records
    // are found off the window's thread. A comparison's rows are positions
    // in its order, written with the change column first.
    std::vector<std::uint32_t> rows;
    if (bSelectedRows) {
        const std::vector<std::uint32_t>& refs = m_fileList.Refs();
        for (int nRow : m_listFiles->GetSelectedRows()) rows.push_back(refs[static_cast<std::size_t>(nRow)]);
    } else {
        rows = m_fileList.Refs();
    }
    if (m_fileList.GetComparison() != nullptr) {
        AskAndWrite(std::make_shared<CExportRun>(m_exportSettings, std::move(rows), m_fileList.GetComparisonShare()));
        return;
    }
    AskAndWrite(std::make_shared<CExportRun>(m_exportSettings, std::move(rows), m_fileList.Store()));
}

void CMainDlg::AskAndWrite(const std::shared_ptr<CExportRun>& pRun) {
    if (!pRun->AskPath(this)) return;
    StartWork(
        WorkKind::kExport, pRun->RowCount(), [pRun](WorkControl& control) { pRun->Write(control); },
        [this, pRun] {
            if (pRun->Conclude(this)) AskAndWrite(pRun);
        });
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
