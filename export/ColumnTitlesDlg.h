// The dialog "出力するﾃｰﾌﾞﾙのﾀｲﾄﾙ編集": the six column titles of the HTML and
// CSV output and the two colours of the HTML header row, shown as swatches
// and chosen with a colour chooser. "初期値(&R)" puts back the defaults,
// "設定を保存(&S)" keeps the titles and colours in the settings file. Titles
// hold 32 bytes of the code page: typing stops there, and OK (or Save)
// refuses a longer title that came from outside, with a message, the focus
// on it.
#pragma once

#include <array>

#include <QColor>

#include "export/ExportSettings.h"
#include "framework/TemplateDialog.h"

class QLineEdit;

namespace norvane {

class CColumnTitlesDlg : public TemplateDialog {
public:
    explicit CColumnTitlesDlg(QWidget* pParent = nullptr);

    // A colour text of seven characters sets its colour: the three pairs of
    // characters after the first are read as hexadecimal red, green and blue
    // (the first character is not looked at). Any other text leaves the
    // colour shown, at first the default.
    void setSettings(const TitleSettings& titles);
    // The colours as "#rrggbb" in lower case.
    TitleSettings settings() const;

    void accept() override;

private:
    // True when every title fits; else the first too long in the order the
    // program has always checked them is told and gets the focus.
    bool TitlesFit();
    void ChooseColor(QColor& color);
    void OnDefaults();
    void OnSaveSettings();
    void ShowColors();

    std::array<QLineEdit*, kExportColumnCount> m_editTitles{};  // in column order
    QColor m_bgColor;
    QColor m_fontColor;
    std::string m_strChangeTitle = TitleSettings().changeTitle;  // not shown: handed back as it came
};

}  // namespace norvane
