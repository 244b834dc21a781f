// The export buttons of the main window: the options, then the run.
#include "app/MainDlg.h"
#include "export/ListExporter.h"
#include "export/OutputOptionsDlg.h"

namespace norvane {

namespace {

enum class Rows { kSelected, kAll };

// Asks for the options and writes the rows. The titles and colours changed
// in the options dialog stay with the window once it is confirmed, even when
// the save dialog is cancelled afterwards.
void ExportRows(CMainDlg& wnd, Rows rows) {
    COutputOptionsDlg dlg;
    dlg.m_strTitle1 = wnd.m_strTitleName;
    dlg.m_strTitle2 = wnd.m_strTitleDate;
    dlg.m_strTitle3 = wnd.m_strTitleSize;
    dlg.m_strTitle4 = wnd.m_strTitleVersion;
    dlg.m_strTitle5 = wnd.m_strTitleExt;
    dlg.m_strTitle6 = wnd.m_strTitleFolder;
    dlg.m_strBgColor = wnd.m_strBgColor;
    dlg.m_strFontColor = wnd.m_strFontColor;
    dlg.m_bFolderHeadingAllowed = wnd.m_bFolderHeadingAllowed;
    if (dlg.DoModal() != IDOK) return;

    CListExporter exporter;
    wnd.m_strTitleName = dlg.m_strTitle1;
    wnd.m_strTitleDate = dlg.m_strTitle2;
    wnd.m_strTitleSize = dlg.m_strTitle3;
    wnd.m_strTitleVersion = dlg.m_strTitle4;
    wnd.m_strTitleExt = dlg.m_strTitle5;
    wnd.m_strTitleFolder = dlg.m_strTitle6;
    wnd.m_strBgColor = dlg.m_strBgColor;
    wnd.m_strFontColor = dlg.m_strFontColor;

    exporter.m_strTitle1 = dlg.m_strTitle1;
    exporter.m_strTitle2 = dlg.m_strTitle2;
    exporter.m_strTitle3 = dlg.m_strTitle3;
    exporter.m_strTitle4 = dlg.m_strTitle4;
    exporter.m_strTitle5 = dlg.m_strTitle5;
    exporter.m_strTitle6 = dlg.m_strTitle6;
    exporter.m_strBgColor = dlg.m_strBgColor;
    exporter.m_strFontColor = dlg.m_strFontColor;
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
