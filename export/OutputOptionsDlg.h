// The dialog "列と出力形式を指定" that every export shows before it asks for
// the destination: the columns, the format, bare names or names with their
// path, a text before and after each name, and the folder headings. A fresh
// dialog is made for each export, so its own choices always start from the
// defaults; only the titles and colours come in from the caller and go back.
// Texts are byte strings in the process code page.
#pragma once

#include <span>
#include <string>

#include "framework/CDialog.h"
#include "framework/CWnd.h"

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

    CButton m_btnOK;
    CButton m_chkFileName;
    CButton m_chkFileDateTime;
    CButton m_chkFileSize;
    CButton m_chkVersion;
    CButton m_chkExpansion;
    CButton m_chkDirectory;
    CButton m_radText;
    CButton m_radHtml;
    CButton m_radCsv;
    CButton m_radNameOnly;
    CButton m_radWithPath;
    CButton m_chkFolderHeading;
    CButton m_chkPrefix;
    CEdit m_editPrefix;
    CButton m_chkSuffix;
    CEdit m_editSuffix;

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
