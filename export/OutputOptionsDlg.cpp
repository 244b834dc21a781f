#include "export/OutputOptionsDlg.h"

#include "export/ColumnTitlesDlg.h"
#include "platform/CodePage.h"
#include "res/Resources.h"

namespace norvane {

namespace {

// An edit's text moves as UTF-8 through the widget and lives in the code page.
void ExchangeCodePageText(CDataExchange* pDX, int nId, std::string& strValue) {
    std::string strUtf8 = CodePageToUtf8(strValue);
    DDX_Text(pDX, nId, strUtf8);
    if (pDX->m_bSaveAndValidate && !pDX->m_bFailed) strValue = Utf8ToCodePage(strUtf8);
}

}  // namespace

COutputOptionsDlg::COutputOptionsDlg(QWidget* pParent) : CDialog(kOutputOptionsTemplate, pParent) {}

TitleSettings COutputOptionsDlg::GetTitleSettings() const {
    return {
        {m_strTitle1, m_strTitle2, m_strTitle3, m_strTitle4, m_strTitle5, m_strTitle6}, m_strBgColor, m_strFontColor};
}

void COutputOptionsDlg::SetTitleSettings(const TitleSettings& titles) {
    m_strTitle1 = titles.titles[0];
    m_strTitle2 = titles.titles[1];
    m_strTitle3 = titles.titles[2];
    m_strTitle4 = titles.titles[3];
    m_strTitle5 = titles.titles[4];
    m_strTitle6 = titles.titles[5];
    m_strBgColor = titles.bgColor;
    m_strFontColor = titles.fontColor;
}

ExportSettings COutputOptionsDlg::GetExportSettings() const {
    ExportSettings settings;
    settings.format = m_bHtml ? ExportFormat::kHtml : m_bCsv ? ExportFormat::kCsv : ExportFormat::kText;
    settings.columns = {m_bFileName != 0, m_bFileDateTime != 0, m_bFileSize != 0,
                        m_bVersion != 0,  m_bExpansion != 0,    m_bDirectory != 0};
    settings.nameOnly = m_nNameDisplay == 0;
    if (m_bPrefix) settings.prefix = m_strPrefix;
    if (m_bSuffix) settings.suffix = m_strSuffix;
    settings.folderHeadings = m_bFolderHeading != 0;
    settings.titles = GetTitleSettings();
    return settings;
}

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
        {IDC_CHK_FILENAME, &QAbstractButton::clicked, &COutputOptionsDlg::OnFileNameCheck},
        {IDC_CHK_FILEDATETIME, &QAbstractButton::clicked, &COutputOptionsDlg::OnColumnCheck},
        {IDC_CHK_FILESIZE, &QAbstractButton::clicked, &COutputOptionsDlg::OnColumnCheck},
        {IDC_CHK_VERSION, &QAbstractButton::clicked, &COutputOptionsDlg::OnColumnCheck},
        {IDC_CHK_DIRECTORY, &QAbstractButton::clicked, &COutputOptionsDlg::OnColumnCheck},
        {IDC_CHK_PREFIX, &QAbstractButton::clicked, &COutputOptionsDlg::OnPrefixCheck},
        {IDC_CHK_SUFFIX, &QAbstractButton::clicked, &COutputOptionsDlg::OnSuffixCheck},
        {IDC_CHK_EXPANSION, &QAbstractButton::clicked, &COutputOptionsDlg::OnColumnCheck},
        {IDC_COLUMN_TITLES, &QAbstractButton::clicked, &COutputOptionsDlg::OnColumnTitles},
    };
    return kMap;
}

BOOL COutputOptionsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // The columns most lists want, as an HTML table with folder headings.
    for (CButton* pCheck : {m_chkFileName, m_chkVersion, m_chkFileSize, m_chkFileDateTime, m_chkFolderHeading}) {
        pCheck->setChecked(true);
    }
    m_radHtml->setChecked(true);
    m_editPrefix->setEnabled(false);
    m_editSuffix->setEnabled(false);
    // Headings only make sense while the list is grouped by folder; the box
    // stays checked when greyed, and its state is reported either way.
    m_chkFolderHeading->setEnabled(m_bFolderHeadingAllowed);
    return 1;
}

bool COutputOptionsDlg::IsNoColumnChecked() {
    bool bNone = true;
    for (const CButton* pCheck :
         {m_chkFileName, m_chkFileDateTime, m_chkFileSize, m_chkVersion, m_chkExpansion, m_chkDirectory}) {
        bNone = bNone && !pCheck->isChecked();
    }
    m_btnOK->setEnabled(!bNone);
    return bNone;
}

void COutputOptionsDlg::OnColumnCheck() { IsNoColumnChecked(); }

void COutputOptionsDlg::OnFileNameCheck() {
    IsNoColumnChecked();
    // The name's options follow the name column; their own states are kept
    // so that they come back as they were.
    const bool bName = m_chkFileName->isChecked();
    for (CButton* pOption : {m_radNameOnly, m_radWithPath, m_chkSuffix, m_chkPrefix}) pOption->setEnabled(bName);
    m_editSuffix->setEnabled(bName && m_chkSuffix->isChecked());
    m_editPrefix->setEnabled(bName && m_chkPrefix->isChecked());
}

void COutputOptionsDlg::OnPrefixCheck() { m_editPrefix->setEnabled(m_chkPrefix->isChecked()); }

void COutputOptionsDlg::OnSuffixCheck() { m_editSuffix->setEnabled(m_chkSuffix->isChecked()); }

void COutputOptionsDlg::OnColumnTitles() {
    CColumnTitlesDlg dlg;
    dlg.SetTitleSettings(GetTitleSettings());
    if (dlg.DoModal() == IDOK) SetTitleSettings(dlg.GetTitleSettings());
}

void COutputOptionsDlg::OnOK() {
    m_bText = m_radText->isChecked() ? 1 : 0;
    m_bHtml = m_radHtml->isChecked() ? 1 : 0;
    m_bCsv = m_radCsv->isChecked() ? 1 : 0;
    CDialog::OnOK();
}

}  // namespace norvane
