// The dialog "出力するﾃｰﾌﾞﾙのﾀｲﾄﾙ編集": the six column titles of the HTML and
// CSV output and the two colours of the HTML header row. The caller fills the
// titles directly and the colours through the text setters, runs DoModal, and
// on IDOK reads the titles directly and the colours through the getters.
// Titles are byte strings in the process code page.
#pragma once

#include <span>
#include <string>

#include "framework/CDialog.h"
#include "framework/Controls.h"
#include "res/Resource.h"
#include "settings/SettingsFile.h"

namespace norvane {

// One int read in hexadecimal from the start of the text: leading blanks are
// skipped, letters may be in either case, reading stops at the first
// character that is no hexadecimal digit ("0a" gives 10, "7" gives 7, "7z"
// gives 7). A text that holds no number at all (or too large a one) gives 0.
int HexToInt(const char* pszText);

class CColumnTitlesDlg : public CDialog {
public:
    explicit CColumnTitlesDlg(QWidget* pParent = nullptr);

    // "#rrggbb" in lower case, in the code page (plain ASCII).
    std::string GetBgColorText() const;
    std::string GetFontColorText() const;
    // Takes the three two-character pieces after the first character as
    // hexadecimal red, green and blue; the first character is not examined.
    // FALSE, with the colour unchanged, for a text of another length than 7.
    BOOL SetBgColorText(std::string text);
    BOOL SetFontColorText(std::string text);
    // The six titles and both colours as one value (the colours through the
    // text getters and setters above), and back.
    TitleSettings GetTitleSettings() const;
    void SetTitleSettings(const TitleSettings& titles);

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    // A colour no text has set yet is the default of its key in the settings
    // file: #0066cc for the background, #ffffff for the text.
    COLORREF m_clrBgColor;
    COLORREF m_clrFontColor;
    CStatic* m_stcFontColor = nullptr;
    CStatic* m_stcBgColor = nullptr;
    std::string m_strTitle2;  // date and time
    std::string m_strTitle6;  // folder
    std::string m_strTitle5;  // extension
    std::string m_strTitle1;  // file name
    std::string m_strTitle3;  // size
    std::string m_strTitle4;  // version

protected:
    std::span<const MessageMapEntry> GetMessageMap() const override;

    void OnPaint();
    void OnDefaults();
    // The colour buttons open a QColorDialog (modal, over this dialog) at the
    // swatch's colour; its OK takes the chosen colour.
    void OnBgColor();
    void OnSaveSettings();
    void OnFontColor();

private:
    void ChooseColor(COLORREF& clrColor);
};

}  // namespace norvane
