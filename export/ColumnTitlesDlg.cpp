#include "export/ColumnTitlesDlg.h"

#include <QColorDialog>
#include <QLineEdit>
#include <QPushButton>

#include <locale>
#include <optional>
#include <sstream>
#include <string_view>

#include "framework/Controls.h"
#include "framework/MessageBox.h"
#include "platform/CodePage.h"
#include "res/Resources.h"
#include "settings/SettingsFile.h"

namespace norvane {
namespace {

// Titles are limited in bytes of the code page: 32 single-byte or 16
// double-byte characters in 932.
constexpr int kMaxTitleLength = 32;

constexpr int kTitleIds[kExportColumnCount] = {IDC_EDIT_TITLE1, IDC_EDIT_TITLE2, IDC_EDIT_TITLE3,
                                               IDC_EDIT_TITLE4, IDC_EDIT_TITLE5, IDC_EDIT_TITLE6};
// The order in which over-long titles are looked for: the date and time, the
// folder, the extension, the name, the size, the version.
constexpr std::size_t kCheckOrder[kExportColumnCount] = {1, 5, 4, 0, 2, 3};

// One int read in hexadecimal from the start of the text: leading blanks are
// skipped, letters may be in either case, reading stops at the first
// character that is no hexadecimal digit ("0a" gives 10, "7z" gives 7); a
// text that starts with none gives 0.
int HexToInt(std::string_view text) {
    std::istringstream stream{std::string(text)};
    stream.imbue(std::locale::classic());
    int nValue = 0;
    stream >> std::hex >> nValue;
    return stream.fail() ? 0 : nValue;
}

std::optional<QColor> ColorFromText(std::string_view text) {
    if (text.size() != 7) return std::nullopt;
    const auto piece = [text](std::size_t nPos) { return HexToInt(text.substr(nPos, 2)) & 0xFF; };
    return QColor(piece(1), piece(3), piece(5));
}

QString FromCodePage(const std::string& strText) { return QString::fromStdString(CodePageToUtf8(strText)); }

}  // namespace

CColumnTitlesDlg::CColumnTitlesDlg(QWidget* pParent) : TemplateDialog(kColumnTitlesTemplate, pParent) {
    for (std::size_t i = 0; i < m_editTitles.size(); ++i) {
        m_editTitles[i] = Control<QLineEdit>(kTitleIds[i]);
        LimitEditText(m_editTitles[i], kMaxTitleLength);
    }
    connect(Control<QPushButton>(IDC_DEFAULTS), &QPushButton::clicked, this, &CColumnTitlesDlg::OnDefaults);
    connect(Control<QPushButton>(IDC_BGCOLOR), &QPushButton::clicked, this, [this] { ChooseColor(m_bgColor); });
    connect(Control<QPushButton>(IDC_FONTCOLOR), &QPushButton::clicked, this, [this] { ChooseColor(m_fontColor); });
    connect(Control<QPushButton>(IDC_SAVE_SETTINGS), &QPushButton::clicked, this, &CColumnTitlesDlg::OnSaveSettings);
    OnDefaults();
}

void CColumnTitlesDlg::setSettings(const TitleSettings& titles) {
    for (std::size_t i = 0; i < m_editTitles.size(); ++i) m_editTitles[i]->setText(FromCodePage(titles.titles[i]));
    m_bgColor = ColorFromText(titles.bgColor).value_or(m_bgColor);
    m_fontColor = ColorFromText(titles.fontColor).value_or(m_fontColor);
    m_strChangeTitle = titles.changeTitle;
    ShowColors();
}

TitleSettings CColumnTitlesDlg::settings() const {
    TitleSettings titles;
    for (std::size_t i = 0; i < m_editTitles.size(); ++i)
        titles.titles[i] = Utf8ToCodePage(m_editTitles[i]->text().toStdString());
    titles.bgColor = m_bgColor.name().toStdString();
    titles.fontColor = m_fontColor.name().toStdString();
    titles.changeTitle = m_strChangeTitle;
    return titles;
}

void CColumnTitlesDlg::accept() {
    if (TitlesFit()) TemplateDialog::accept();
}

bool CColumnTitlesDlg::TitlesFit() {
    for (std::size_t i : kCheckOrder) {
        if (CountTextLength(m_editTitles[i]->text()) <= kMaxTitleLength) continue;
        ShowMessage(this, QStringLiteral("%1 文字以内で入力してください。").arg(kMaxTitleLength).toStdString(),
                    MessageIcon::kWarning);
        m_editTitles[i]->setFocus(Qt::OtherFocusReason);
        m_editTitles[i]->selectAll();
        return false;
    }
    return true;
}

// The chooser opens at the swatch's colour; its OK takes the colour chosen.
void CColumnTitlesDlg::ChooseColor(QColor& color) {
    QColorDialog dlg(color, this);
    dlg.setWindowTitle(QStringLiteral("色の設定"));
    if (dlg.exec() != QDialog::Accepted) return;
    color = dlg.selectedColor();
    ShowColors();
}

// The change column's title, which the dialog does not show, stays.
void CColumnTitlesDlg::OnDefaults() {
    TitleSettings defaults;
    defaults.changeTitle = m_strChangeTitle;
    setSettings(defaults);
}

// Nothing is saved while a title is refused: its message has just told the
// user what to change. The dialog stays open either way.
void CColumnTitlesDlg::OnSaveSettings() {
    if (!TitlesFit()) return;
    const std::string strPath = SettingsPath();
    if (SaveTitleSettings(settings(), strPath)) return;
    // The folder beside the executable is often not writable on Linux; the
    // user should know the titles did not reach the file.
    ShowMessage(this, SettingsSaveFailureText(strPath), MessageIcon::kWarning);
}

// The swatches are filled inside their one-pixel black frames.
void CColumnTitlesDlg::ShowColors() {
    SetFrameFill(Control(IDC_STC_BGCOLOR), m_bgColor);
    SetFrameFill(Control(IDC_STC_FONTCOLOR), m_fontColor);
}

}  // namespace norvane
