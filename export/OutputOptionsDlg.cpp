#include "export/OutputOptionsDlg.h"

#include "export/ColumnTitlesDlg.h"
#include "platform/CodePage.h"
#include "res/Resource.h"

namespace norvane {

namespace {

// An edit's text moves as UTF-8 through the widget and lives in the code page.
void ExchangeCodePageText(CDataExchange* pDX, int nId, std::string& strValue) {
    std::string strUtf8 = CodePageToUtf8(strValue);
    DDX_Text(pDX, nId, strUtf8);
    if (pDX->m_bSaveAndValidate && !pDX->m_bFailed) strValue = Utf8ToCodePage(strUtf8);
}

}  // namespace

COutputOptionsDlg::COutputOptionsDlg(QWidget* pParent) : CDialog(IDD_OUTPUT_OPTIONS, pParent) {}

void COutputOptionsDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDOK, m_btnOK);
    DDX_Control(pDX, IDC_CHK_FILENAME, m_chkFileName);
    DDX_Control(pDX, IDC_CHK_FILEDATETIME, m_chkFileDateTime);
    DDX_Control(pDX, IDC_CHK_FILESIZE, m_chkFileSize);
    DDX_Control(pDX, IDC_CHK_VERSION, m_chkVersion);
    DDX_Control(pDX, IDC_CHK_EXPANSION, m_chkExpansion);
    DDX_Control(pDX, IDC_CHK_DIRECTORY, m_chkDirectory);
    DDX_Control(pDX, IDC_RAD_TEXT, m_radText);
    DDX_Control(pDX, IDC_RAD_HTML, m_radHtml);
    DDX_Control(pDX, IDC_RAD_CSV, m_radCsv);
    DDX_Control(pDX, IDC_RAD_NAMEONLY, m_radNameOnly);
    DDX_Control(pDX, IDC_RAD_WITHPATH, m_radWithPath);
    DDX_Control(pDX, IDC_CHK_FOLDERHEADING, m_chkFolderHeading);
    DDX_Control(pDX, IDC_CHK_PREFIX, m_chkPrefix);
    DDX_Control(pDX, IDC_EDIT_PREFIX, m_editPrefix);
    DDX_Control(pDX, IDC_CHK_SUFFIX, m_chkSuffix);
    DDX_Control(pDX, IDC_EDIT_SUFFIX, m_editSuffix);
    DDX_Check(pDX, IDC_CHK_FILENAME, m_bFileName);
    DDX_Check(pDX, IDC_CHK_FILEDATETIME, m_bFileDateTime);
    DDX_Check(pDX, IDC_CHK_FILESIZE, m_bFileSize);
    DDX_Check(pDX, IDC_CHK_VERSION, m_bVersion);
    DDX_Check(pDX, IDC_CHK_DIRECTORY, m_bDirectory);
    DDX_Check(pDX, IDC_CHK_EXPANSION, m_bExpansion);
    DDX_Check(pDX, IDC_CHK_PREFIX, m_bPrefix);
    DDX_Check(pDX, IDC_CHK_SUFFIX, m_bSuffix);
    DDX_Check(pDX, IDC_CHK_FOLDERHEADING, m_bFolderHeading);
    DDX_Radio(pDX, IDC_RAD_NAMEONLY, m_nNameDisplay);
    ExchangeCodePageText(pDX, IDC_EDIT_PREFIX, m_strPrefix);
    ExchangeCodePageText(pDX, IDC_EDIT_SUFFIX, m_strSuffix);
}

std::span<const MessageMapEntry> COutputOptionsDlg::GetMessageMap() const {
    static const MessageMapEntry kMap[] = {
        {IDC_CHK_FILENAME, BN_CLICKED, &COutputOptionsDlg::OnFileNameCheck},
        {IDC_CHK_FILEDATETIME, BN_CLICKED, &COutputOptionsDlg::OnColumnCheck},
        {IDC_CHK_FILESIZE, BN_CLICKED, &COutputOptionsDlg::OnColumnCheck},
        {IDC_CHK_VERSION, BN_CLICKED, &COutputOptionsDlg::OnColumnCheck},
        {IDC_CHK_DIRECTORY, BN_CLICKED, &COutputOptionsDlg::OnColumnCheck},
        {IDC_CHK_PREFIX, BN_CLICKED, &COutputOptionsDlg::OnPrefixCheck},
        {IDC_CHK_SUFFIX, BN_CLICKED, &COutputOptionsDlg::OnSuffixCheck},
        {IDC_CHK_EXPANSION, BN_CLICKED, &COutputOptionsDlg::OnColumnCheck},
        {IDC_COLUMN_TITLES, BN_CLICKED, &COutputOptionsDlg::OnColumnTitles},
    };
    return kMap;
}

BOOL COutputOptionsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // The columns most lists want, as an HTML table with folder headings.
    m_chkFileName.SetCheck(BST_CHECKED);
    m_chkVersion.SetCheck(BST_CHECKED);
    m_chkFileSize.SetCheck(BST_CHECKED);
    m_chkFileDateTime.SetCheck(BST_CHECKED);
    m_radText.SetCheck(BST_UNCHECKED);
    m_radHtml.SetCheck(BST_CHECKED);
    m_radCsv.SetCheck(BST_UNCHECKED);
    m_chkFolderHeading.SetCheck(BST_CHECKED);
    m_editPrefix.EnableWindow(false);
    m_editSuffix.EnableWindow(false);
    // Headings only make sense while the list is grouped by folder; the box
    // stays checked when greyed, and its state is reported either way.
    m_chkFolderHeading.EnableWindow(m_bFolderHeadingAllowed);
    return 1;
}

bool COutputOptionsDlg::IsNoColumnChecked() {
    // All six are read, whatever the first ones say.
    const bool bName = m_chkFileName.GetCheck() != 0;
    const bool bDate = m_chkFileDateTime.GetCheck() != 0;
    const bool bSize = m_chkFileSize.GetCheck() != 0;
    const bool bVersion = m_chkVersion.GetCheck() != 0;
    const bool bExtension = m_chkExpansion.GetCheck() != 0;
    const bool bFolder = m_chkDirectory.GetCheck() != 0;
    const bool bNone = !(bName || bDate || bSize || bVersion || bExtension || bFolder);
    m_btnOK.EnableWindow(!bNone);
    return bNone;
}

void COutputOptionsDlg::OnColumnCheck() { IsNoColumnChecked(); }

void COutputOptionsDlg::OnFileNameCheck() {
    IsNoColumnChecked();
    // The name's options follow the name column; their own states are kept
    // so that they come back as they were.
    const bool bName = m_chkFileName.GetCheck() != 0;
    m_radNameOnly.EnableWindow(bName);
    m_radWithPath.EnableWindow(bName);
    m_chkSuffix.EnableWindow(bName);
    m_chkPrefix.EnableWindow(bName);
    m_editSuffix.EnableWindow(bName && m_chkSuffix.GetCheck() != 0);
    m_editPrefix.EnableWindow(bName && m_chkPrefix.GetCheck() != 0);
}

void COutputOptionsDlg::OnPrefixCheck() { m_editPrefix.EnableWindow(m_chkPrefix.GetCheck() != 0); }

void COutputOptionsDlg::OnSuffixCheck() { m_editSuffix.EnableWindow(m_chkSuffix.GetCheck() != 0); }

void COutputOptionsDlg::OnColumnTitles() {
    CColumnTitlesDlg dlg;
    dlg.m_strTitle1 = m_strTitle1;
    dlg.m_strTitle2 = m_strTitle2;
    dlg.m_strTitle3 = m_strTitle3;
    dlg.m_strTitle4 = m_strTitle4;
    dlg.m_strTitle5 = m_strTitle5;
    dlg.m_strTitle6 = m_strTitle6;
    dlg.SetBgColorText(m_strBgColor);
    dlg.SetFontColorText(m_strFontColor);
    if (dlg.DoModal() != IDOK) return;
    m_strTitle1 = dlg.m_strTitle1;
    m_strTitle2 = dlg.m_strTitle2;
    m_strTitle3 = dlg.m_strTitle3;
    m_strTitle4 = dlg.m_strTitle4;
    m_strTitle5 = dlg.m_strTitle5;
    m_strTitle6 = dlg.m_strTitle6;
    m_strBgColor = dlg.GetBgColorText();
    m_strFontColor = dlg.GetFontColorText();
}

void COutputOptionsDlg::OnOK() {
    m_bText = m_radText.GetCheck() != 0 ? 1 : 0;
    m_bHtml = m_radHtml.GetCheck() != 0 ? 1 : 0;
    m_bCsv = m_radCsv.GetCheck() != 0 ? 1 : 0;
    CDialog::OnOK();
}

}  // namespace norvane
