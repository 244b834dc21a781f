#include "export/ColumnTitlesDlg.h"

#include <QColorDialog>

#include <cstdio>
#include <locale>
#include <sstream>
#include <string_view>

#include "platform/CodePage.h"
#include "res/Resources.h"

namespace norvane {
namespace {

// Titles are limited in bytes of the code page: 32 single-byte or 16
// double-byte characters in 932.
constexpr int kMaxTitleLength = 32;

// The getter's mark for "no colour"; no setter ever produces it.
constexpr COLORREF kNoColor = 0xFFFFFFFF;

std::string ColorToText(COLORREF clrColor) {
    if (clrColor == kNoColor) return {};
    char szText[8];
    std::snprintf(szText, sizeof szText, "#%02x%02x%02x", GetRValue(clrColor), GetGValue(clrColor),
                  GetBValue(clrColor));
    return szText;
}

BOOL TextToColor(std::string_view text, COLORREF& clrColor) {
    if (text.size() != 7) return 0;
    // The first character is not looked at: "#", or anything else.
    const auto piece = [text](std::size_t nPos) {
        const std::string strPiece(text.substr(nPos, 2));
        return static_cast<unsigned>(HexToInt(strPiece.c_str())) & 0xFFu;
    };
    clrColor = RGB(piece(1), piece(3), piece(5));
    return 1;
}

// A title edit against a code page member: Qt holds the text in Unicode, the
// member in the code page. The length check counts what start-up told the
// framework to count: bytes of the code page.
void DDX_TitleText(CDataExchange* pDX, int nId, std::string& strTitle) {
    QString strText = QString::fromStdString(CodePageToUtf8(strTitle));
    DDX_Text(pDX, nId, strText);
    if (pDX->m_bSaveAndValidate && !pDX->m_bFailed) strTitle = Utf8ToCodePage(strText.toStdString());
    DDV_MaxChars(pDX, strText, kMaxTitleLength);
}

}  // namespace

int HexToInt(const char* pszText) {
    if (pszText == nullptr) return 0;
    std::istringstream stream{std::string(pszText)};
    stream.imbue(std::locale::classic());
    int nValue = 0;
    stream >> std::hex >> nValue;
    return stream.fail() ? 0 : nValue;
}

CColumnTitlesDlg::CColumnTitlesDlg(QWidget* pParent)
    : CDialog(kColumnTitlesTemplate, pParent),
      m_clrBgColor(RGB(0x00, 0x66, 0xCC)),
      m_clrFontColor(RGB(0xFF, 0xFF, 0xFF)) {}

std::span<const MessageMapEntry> CColumnTitlesDlg::GetMessageMap() const {
    static const MessageMapEntry kMap[] = {
        {&CDialog::Painted, &CColumnTitlesDlg::OnPaint},
        {IDC_DEFAULTS, &QAbstractButton::clicked, &CColumnTitlesDlg::OnDefaults},
        {IDC_BGCOLOR, &QAbstractButton::clicked, &CColumnTitlesDlg::OnBgColor},
        {IDC_SAVE_SETTINGS, &QAbstractButton::clicked, &CColumnTitlesDlg::OnSaveSettings},
        {IDC_FONTCOLOR, &QAbstractButton::clicked, &CColumnTitlesDlg::OnFontColor},
    };
    return kMap;
}

void CColumnTitlesDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_STC_FONTCOLOR, m_stcFontColor);
    DDX_Control(pDX, IDC_STC_BGCOLOR, m_stcBgColor);
    // This order decides which over-long title is reported first.
    DDX_TitleText(pDX, IDC_EDIT_TITLE2, m_strTitle2);
    DDX_TitleText(pDX, IDC_EDIT_TITLE6, m_strTitle6);
    DDX_TitleText(pDX, IDC_EDIT_TITLE5, m_strTitle5);
    DDX_TitleText(pDX, IDC_EDIT_TITLE1, m_strTitle1);
    DDX_TitleText(pDX, IDC_EDIT_TITLE3, m_strTitle3);
    DDX_TitleText(pDX, IDC_EDIT_TITLE4, m_strTitle4);
}

BOOL CColumnTitlesDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    return 1;
}

std::string CColumnTitlesDlg::GetBgColorText() const { return ColorToText(m_clrBgColor); }

std::string CColumnTitlesDlg::GetFontColorText() const { return ColorToText(m_clrFontColor); }

BOOL CColumnTitlesDlg::SetBgColorText(std::string text) { return TextToColor(text, m_clrBgColor); }

BOOL CColumnTitlesDlg::SetFontColorText(std::string text) { return TextToColor(text, m_clrFontColor); }

TitleSettings CColumnTitlesDlg::GetTitleSettings() const {
    return {{m_strTitle1, m_strTitle2, m_strTitle3, m_strTitle4, m_strTitle5, m_strTitle6},
            GetBgColorText(),
            GetFontColorText()};
}

void CColumnTitlesDlg::SetTitleSettings(const TitleSettings& titles) {
    m_strTitle1 = titles.titles[0];
    m_strTitle2 = titles.titles[1];
    m_strTitle3 = titles.titles[2];
    m_strTitle4 = titles.titles[3];
    m_strTitle5 = titles.titles[4];
    m_strTitle6 = titles.titles[5];
    SetBgColorText(titles.bgColor);
    SetFontColorText(titles.fontColor);
}

void CColumnTitlesDlg::OnPaint() {
    // The fill leaves the swatch's one-pixel black frame visible.
    FillControl(IDC_STC_BGCOLOR, m_clrBgColor);
    FillControl(IDC_STC_FONTCOLOR, m_clrFontColor);
}

void CColumnTitlesDlg::ChooseColor(COLORREF& clrColor) {
    QColorDialog dlg(QColor(static_cast<int>(GetRValue(clrColor)), static_cast<int>(GetGValue(clrColor)),
                            static_cast<int>(GetBValue(clrColor))),
                     this);
    dlg.setWindowTitle(QStringLiteral("色の設定"));
    if (dlg.exec() != QDialog::Accepted) return;
    const QColor color = dlg.selectedColor();
    clrColor = RGB(static_cast<unsigned>(color.red()), static_cast<unsigned>(color.green()),
                   static_cast<unsigned>(color.blue()));
    update();  // OnPaint repaints both swatches
}

void CColumnTitlesDlg::OnBgColor() { ChooseColor(m_clrBgColor); }

void CColumnTitlesDlg::OnFontColor() { ChooseColor(m_clrFontColor); }

void CColumnTitlesDlg::OnDefaults() {
    SetTitleSettings(TitleSettings());
    UpdateData(false);
    update();
}

void CColumnTitlesDlg::OnSaveSettings() {
    // A title refused by the check is not saved: its message has just told
    // the user what to change.
    if (!UpdateData(true)) return;
    const std::string strPath = SettingsPath();
    if (SaveTitleSettings(GetTitleSettings(), strPath)) return;
    // The folder beside the executable is often not writable on Linux; the
    // user should know the titles did not reach the file.
    MessageBox(SettingsSaveFailureText(strPath), {}, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace norvane
