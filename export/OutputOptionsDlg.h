// The dialog "列と出力形式を指定" that every export shows before it asks for
// the destination: the columns, the format, bare names or names with their
// path, a text before and after each name, the folder headings, and a button
// for the column titles and colours. It shows one ExportSettings value and
// gives back the value its controls then hold; OK is greyed while no column
// is chosen.
#pragma once

#include <array>

#include "export/ExportSettings.h"
#include "framework/TemplateDialog.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace norvane {

class COutputOptionsDlg : public TemplateDialog {
public:
    // Shows the settings a new export starts from.
    explicit COutputOptionsDlg(QWidget* pParent = nullptr);

    // A prefix or suffix is shown checked with its text; one whose box is
    // unchecked, or checked with nothing typed, comes back empty. Sizes are
    // not the dialog's: they come back as they were set.
    void setSettings(const ExportSettings& settings);
    ExportSettings settings() const;
    // Whether the folder heading box may be changed; it keeps its check
    // either way, and reports it either way.
    void setFolderHeadingAllowed(bool bAllowed);

private:
    void OnColumnCheck();
    // The name's options follow the name column; their own states are kept
    // so that they come back as they were.
    void OnFileNameCheck();
    void OnColumnTitles();

    std::array<QCheckBox*, kExportColumnCount> m_chkColumns{};  // in column order
    std::array<QRadioButton*, 3> m_radFormats{};                // TEXT, HTML, CSV
    QRadioButton* m_radNameOnly;
    QRadioButton* m_radWithPath;
    QCheckBox* m_chkFolderHeading;
    QCheckBox* m_chkPrefix;
    QLineEdit* m_editPrefix;
    QCheckBox* m_chkSuffix;
    QLineEdit* m_editSuffix;
    QPushButton* m_btnOK;
    ExportSettings m_settings;  // what the controls do not show: titles, sizes
};

}  // namespace norvane
