#include "export/OutputOptionsDlg.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "export/ColumnTitlesDlg.h"
#include "platform/CodePage.h"
#include "res/Resources.h"

namespace norvane {
namespace {

constexpr int kColumnIds[kExportColumnCount] = {IDC_CHK_FILENAME, IDC_CHK_FILEDATETIME, IDC_CHK_FILESIZE,
                                                IDC_CHK_VERSION,  IDC_CHK_EXPANSION,    IDC_CHK_DIRECTORY};
// In the order of ExportFormat.
constexpr int kFormatIds[] = {IDC_RAD_TEXT, IDC_RAD_HTML, IDC_RAD_CSV};

// An edit shows a code page text as Unicode.
QString FromCodePage(const std::string& strText) { return QString::fromStdString(CodePageToUtf8(strText)); }

}  // namespace

COutputOptionsDlg::COutputOptionsDlg(QWidget* pParent)
    : TemplateDialog(kOutputOptionsTemplate, pParent),
      m_radNameOnly(Control<QRadioButton>(IDC_RAD_NAMEONLY)),
      m_radWithPath(Control<QRadioButton>(IDC_RAD_WITHPATH)),
      m_chkFolderHeading(Control<QCheckBox>(IDC_CHK_FOLDERHEADING)),
      m_chkPrefix(Control<QCheckBox>(IDC_CHK_PREFIX)),
      m_editPrefix(Control<QLineEdit>(IDC_EDIT_PREFIX)),
      m_chkSuffix(Control<QCheckBox>(IDC_CHK_SUFFIX)),
      m_editSuffix(Control<QLineEdit>(IDC_EDIT_SUFFIX)),
      m_btnOK(Control<QPushButton>(IDOK)) {
    for (std::size_t i = 0; i < m_chkColumns.size(); ++i) {
        m_chkColumns[i] = Control<QCheckBox>(kColumnIds[i]);
        connect(m_chkColumns[i], &QCheckBox::clicked, this, &COutputOptionsDlg::OnColumnCheck);
    }
    for (std::size_t i = 0; i < m_radFormats.size(); ++i) m_radFormats[i] = Control<QRadioButton>(kFormatIds[i]);
    connect(m_chkColumns[kExportFileName], &QCheckBox::clicked, this, &COutputOptionsDlg::OnFileNameCheck);
    connect(m_chkPrefix, &QCheckBox::clicked, m_editPrefix, &QLineEdit::setEnabled);
    connect(m_chkSuffix, &QCheckBox::clicked, m_editSuffix, &QLineEdit::setEnabled);
    connect(Control<QPushButton>(IDC_COLUMN_TITLES), &QPushButton::clicked, this, &COutputOptionsDlg::OnColumnTitles);
    setSettings(ExportSettings());
}

void COutputOptionsDlg::setSettings(const ExportSettings& settings) {
    m_settings = settings;
    for (std::size_t i = 0; i < m_chkColumns.size(); ++i) m_chkColumns[i]->setChecked(settings.columns[i]);
    m_radFormats[static_cast<std::size_t>(settings.format)]->setChecked(true);
    (settings.nameOnly ? m_radNameOnly : m_radWithPath)->setChecked(true);
    m_chkFolderHeading->setChecked(settings.folderHeadings);
    m_chkPrefix->setChecked(!settings.prefix.empty());
    m_editPrefix->setText(FromCodePage(settings.prefix));
    m_chkSuffix->setChecked(!settings.suffix.empty());
    m_editSuffix->setText(FromCodePage(settings.suffix));
    OnColumnCheck();
    OnFileNameCheck();
}

ExportSettings COutputOptionsDlg::settings() const {
    ExportSettings settings = m_settings;
    for (std::size_t i = 0; i < m_chkColumns.size(); ++i) settings.columns[i] = m_chkColumns[i]->isChecked();
    settings.format = m_radFormats[2]->isChecked()   ? ExportFormat::kCsv
                      : m_radFormats[0]->isChecked() ? ExportFormat::kText
                                                     : ExportFormat::kHtml;
    settings.nameOnly = !m_radWithPath->isChecked();
    settings.folderHeadings = m_chkFolderHeading->isChecked();
    settings.prefix = m_chkPrefix->isChecked() ? Utf8ToCodePage(m_editPrefix->text().toStdString()) : std::string();
    settings.suffix = m_chkSuffix->isChecked() ? Utf8ToCodePage(m_editSuffix->text().toStdString()) : std::string();
    return settings;
}

void COutputOptionsDlg::setFolderHeadingAllowed(bool bAllowed) { m_chkFolderHeading->setEnabled(bAllowed); }

void COutputOptionsDlg::OnColumnCheck() {
    bool bAny = false;
    for (const QCheckBox* pCheck : m_chkColumns) bAny = bAny || pCheck->isChecked();
    m_btnOK->setEnabled(bAny);
}

void COutputOptionsDlg::OnFileNameCheck() {
    const bool bName = m_chkColumns[kExportFileName]->isChecked();
    for (QWidget* pOption : std::initializer_list<QWidget*>{m_radNameOnly, m_radWithPath, m_chkSuffix, m_chkPrefix})
        pOption->setEnabled(bName);
    m_editSuffix->setEnabled(bName && m_chkSuffix->isChecked());
    m_editPrefix->setEnabled(bName && m_chkPrefix->isChecked());
}

// The titles dialog's OK replaces the titles and colours, its Cancel leaves
// them; the main window takes them only with this dialog's OK.
void COutputOptionsDlg::OnColumnTitles() {
    CColumnTitlesDlg dlg;
    dlg.setSettings(m_settings.titles);
    if (dlg.exec() == QDialog::Accepted) m_settings.titles = dlg.settings();
}

}  // namespace norvane
