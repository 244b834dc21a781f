// The main window: the folder controls, the four check boxes, the file list
// and the export buttons. It owns the records of the listed files, the eight
// output strings (column titles and HTML colours) and the sort state.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QIcon>

#include "app/FileListModel.h"
#include "catalogue/FileItem.h"
#include "framework/CDialog.h"
#include "framework/CListCtrl.h"
#include "framework/Controls.h"
#include "res/Resource.h"
#include "settings/SettingsFile.h"

namespace norvane {

class CMainDlg : public CDialog {
public:
    explicit CMainDlg(QWidget* pParent = nullptr);
    ~CMainDlg() override;

    // Set by start-up before the window runs: scan the folder texts below
    // when the window opens.
    bool m_bScanAtStart = false;
    // Set while an About box opened by a help request is showing.
    bool m_bInHelpAbout = false;
    // The current folder, twice (the folder listed and the scan's target
    // folder), in the code page, ending with "/" once set.
    std::string m_szSourceFolder;
    std::string m_szTargetFolder;

    // The output column titles and the HTML header colours, in the code page.
    // They head the exported columns, not the list's.
    std::string m_strTitleName;
    std::string m_strTitleDate;
    std::string m_strTitleSize;
    std::string m_strTitleVersion;
    std::string m_strTitleExt;
    std::string m_strTitleFolder;
    std::string m_strBgColor;
    std::string m_strFontColor;
    // The eight above as one value, and back.
    TitleSettings GetTitleSettings() const;
    void SetTitleSettings(const TitleSettings& titles);

    // Control 1000, showing m_fileList; the folder box 1020.
    CListCtrl* m_listFiles = nullptr;
    CComboBox* m_cbFolder = nullptr;
    // The rows of the list: records of m_store.
    const FileListModel& GetFileList() const { return m_fileList; }
    // The check boxes 1004, 1005, 1007, 1009.
    bool m_bFormattedSize = false;
    bool m_bSubfolders = true;
    bool m_bSystemFiles = true;
    bool m_bHiddenFiles = true;
    // Whether the export may change its folder-heading option: true while the
    // rows stand grouped by folder as far as the last header click knows.
    bool m_bFolderHeadingAllowed = true;
    QIcon m_hIcon;
    // Where the scan puts its next row; only ever grows.
    int m_nInsertIndex = 0;
    // Direction of the last header-click sort.
    bool m_bSortAscending = false;

    // Takes the check boxes, then lists the current folder into the (empty)
    // list. False when the scan stopped early.
    bool Rescan();
    // Lists folder (and with recurse its subfolders) into the list, after
    // the rows already there. A scan that stops on an error says so in a
    // message box; one that stops at the target folder stays silent.
    bool ScanFolder(const std::string& folder, const std::string& targetFolder, bool recurse, bool includeSystem,
                    bool includeHidden);
    // Queues the row of one record at nIndex; the scan appends its rows at
    // once when it ends.
    bool AddFileItem(int nIndex, const FileItem* pItem);
    // Frees every record and removes every row; the list asks for no cell in
    // between.
    void ClearItems();
    // Makes text (code page) the current folder and lists it anew.
    void SetFolder(const std::string& strFolder);

    void WinHelp(DWORD dwData, UINT nCmd = HELP_CONTEXT) override;

    // The export buttons 1001 and 1002 (defined with the export run).
    void OnOutputSelected();
    void OnOutputAll();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    std::span<const MessageMapEntry> GetMessageMap() const override;

    // Message handlers.
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnColumnClick(int nColumn);
    void OnDestroy();
    void OnSelectFolder();
    void OnSize();
    void OnFormattedSize();
    void OnSystemFiles();
    void OnHiddenFiles();
    void OnUpdateList();

private:
    void InsertHistory(const std::string& strFolderUtf8);
    // Asks for the options, then writes the selected rows or all rows.
    void RunExport(bool bSelectedRows);

    FileStore m_store;  // before m_fileList, which must go first
    FileListModel m_fileList;
    std::vector<const FileItem*> m_pendingRows;  // rows of the running scan
    QSize m_sizeLast;                            // the size the controls were placed for
};

// The folder browser of "フォルダを選択(&F)...": the chosen folder (UTF-8,
// without a trailing "/" unless it is the root), or nothing when cancelled.
// strStartUtf8 is the folder it opens at when that names one.
using FolderBrowser = std::function<std::optional<std::string>(QWidget* pOwner, const std::string& strStartUtf8)>;
// Replaces the browser (tests); nullptr puts the directory chooser back.
void SetFolderBrowser(FolderBrowser fnBrowser);
// The directory chooser titled "フォルダの選択".
std::optional<std::string> BrowseForFolder(QWidget* pOwner, const std::string& strStartUtf8);

}  // namespace norvane
