// The export buttons of the main window: the options, then the run.
#include <array>
#include <string>

#include "app/MainDlg.h"
#include "export/ListExporter.h"
#include "export/OutputOptionsDlg.h"

namespace norvane {

namespace {

enum class Rows { kSelected, kAll };

// The options dialog's and the exporter's copies of the window's eight
// strings, in the same order as CMainDlg::TitleStrings.
template <class T>
std::array<std::string*, 8> NumberedTitleStrings(T& owner) {
    return {&owner.m_strTitle1, &owner.m_strTitle2, &owner.m_strTitle3, &owner.m_strTitle4,
            &owner.m_strTitle5, &owner.m_strTitle6, &owner.m_strBgColor, &owner.m_strFontColor};
}

// Asks for the options and writes the rows. The titles and colours changed
// in the options dialog stay with the window once it is confirmed, even when
// the save dialog is cancelled afterwards.
void ExportRows(CMainDlg& wnd, Rows rows) {
    COutputOptionsDlg dlg;
    const std::array<std::string*, 8> windowStrings = wnd.TitleStrings();
    const std::array<std::string*, 8> dialogStrings = NumberedTitleStrings(dlg);
    for (std::size_t i = 0; i < windowStrings.size(); ++i) *dialogStrings[i] = *windowStrings[i];
    dlg.m_bFolderHeadingAllowed = wnd.m_bFolderHeadingAllowed;
    if (dlg.DoModal() != IDOK) return;

    CListExporter exporter;
    const std::array<std::string*, 8> exporterStrings = NumberedTitleStrings(exporter);
    for (std::size_t i = 0; i < windowStrings.size(); ++i) {
        *windowStrings[i] = *dialogStrings[i];
        *exporterStrings[i] = *dialogStrings[i];
    }
    exporter.m_bFileName = dlg.m_bFileName != 0;
    exporter.m_bFileDateTime = dlg.m_bFileDateTime != 0;
    exporter.m_bFileSize = dlg.m_bFileSize != 0;
    exporter.m_bVersion = dlg.m_bVersion != 0;
    exporter.m_bExpansion = dlg.m_bExpansion != 0;
    exporter.m_bDirectory = dlg.m_bDirectory != 0;
    exporter.m_bText = dlg.m_bText != 0;
    exporter.m_bHtml = dlg.m_bHtml != 0;
    exporter.m_bCsv = dlg.m_bCsv != 0;
    exporter.m_bNameOnly = dlg.m_nNameDisplay == 0;
    exporter.m_bFolderHeading = dlg.m_bFolderHeading != 0;
    // A checked box with nothing typed writes nothing around the name.
    exporter.m_bPrefix = dlg.m_bPrefix != 0 && !dlg.m_strPrefix.empty();
    if (exporter.m_bPrefix) exporter.m_strPrefix = dlg.m_strPrefix;
    exporter.m_bSuffix = dlg.m_bSuffix != 0 && !dlg.m_strSuffix.empty();
    if (exporter.m_bSuffix) exporter.m_strSuffix = dlg.m_strSuffix;
    exporter.m_bFormattedSize = wnd.m_bFormattedSize != 0;

    if (rows == Rows::kSelected) exporter.ExportSelectedRows(wnd.m_listFiles, &wnd);
    else exporter.ExportAllRows(wnd.m_listFiles, &wnd);
}

}  // namespace

void CMainDlg::OnOutputSelected() {
    if (m_listFiles.GetSelectedCount() == 0) {
        MessageBox("出力する行が選択されていません。\nリストボックスで出力する行を選んでください。", {},
                   MB_OK | MB_ICONINFORMATION);
        return;
    }
    ExportRows(*this, Rows::kSelected);
}

void CMainDlg::OnOutputAll() { ExportRows(*this, Rows::kAll); }

}  // namespace norvane
