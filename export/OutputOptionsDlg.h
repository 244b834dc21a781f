// The dialog "列と出力形式を指定" that every export shows before it asks for
// the destination: the columns, the format, bare names or names with their
// path, a text before and after each name, and the folder headings. A fresh
// dialog is made for each export, so its own choices always start from the
// defaults; only the titles and colours come in from the caller and go back.
// Texts are byte strings in the process code page.
#pragma once

#include <span>
#include <string>

#include "export/ExportSettings.h"
#include "framework/CDialog.h"
#include "framework/Controls.h"
#include "res/Resource.h"

namespace norvane {

class COutputOptionsDlg : public CDialog {
public:
    explicit COutputOptionsDlg(QWidget* pParent = nullptr);

    // Set by the caller: whether the folder heading box may be changed. The
    // box is checked either way, and its state is reported either way.
    bool m_bFolderHeadingAllowed = true;

    // The format, from the radio buttons when OK is pressed: one is 1.
    BOOL m_bText = 0;
    BOOL m_bHtml = 0;
    BOOL m_bCsv = 0;

    // Titles in column order (name, date and time, size, version, extension,
    // folder) and the HTML header colours ("#rrggbb"). The caller fills them;
    // the column titles button may change them.
    std::string m_strTitle1;
    std::string m_strTitle2;
    std::string m_strTitle3;
    std::string m_strTitle4;
    std::string m_strTitle5;
    std::string m_strTitle6;
    std::string m_strBgColor;
    std::string m_strFontColor;
    // The eight above as one value, and back.
    TitleSettings GetTitleSettings() const;
    void SetTitleSettings(const TitleSettings& titles);
    // After IDOK: every choice of the dialog and its titles. A prefix or
    // suffix whose box is checked with nothing typed is no prefix or suffix.
    ExportSettings GetExportSettings() const;

    CButton* m_btnOK = nullptr;
    CButton* m_chkFileName = nullptr;
    CButton* m_chkFileDateTime = nullptr;
    CButton* m_chkFileSize = nullptr;
    CButton* m_chkVersion = nullptr;
    CButton* m_chkExpansion = nullptr;
    CButton* m_chkDirectory = nullptr;
    CButton* m_radText = nullptr;
    CButton* m_radHtml = nullptr;
    CButton* m_radCsv = nullptr;
    CButton* m_radNameOnly = nullptr;
    CButton* m_radWithPath = nullptr;
    CButton* m_chkFolderHeading = nullptr;
    CButton* m_chkPrefix = nullptr;
    CEdit* m_editPrefix = nullptr;
    CButton* m_chkSuffix = nullptr;
    CEdit* m_editSuffix = nullptr;

    BOOL m_bFileName = 0;
    BOOL m_bFileDateTime = 0;
    BOOL m_bFileSize = 0;
    BOOL m_bVersion = 0;
    BOOL m_bDirectory = 0;
    BOOL m_bExpansion = 0;
    BOOL m_bPrefix = 0;
    BOOL m_bSuffix = 0;
    BOOL m_bFolderHeading = 0;
    int m_nNameDisplay = 0;  // 0: file name only, 1: with its path
    std::string m_strPrefix;
    std::string m_strSuffix;

    BOOL OnInitDialog() override;
    void OnOK() override;
    void DoDataExchange(CDataExchange* pDX) override;

protected:
    std::span<const MessageMapEntry> GetMessageMap() const override;

    void OnFileNameCheck();
    void OnColumnCheck();
    void OnPrefixCheck();
    void OnSuffixCheck();
    void OnColumnTitles();

private:
    // Greys OK while no column is chosen; true when none is.
    bool IsNoColumnChecked();
};

}  // namespace norvane
