// The main window: the folder controls, the four check boxes, the file list
// and the export buttons. It owns the records of the listed files, the
// export settings (titles and colours last confirmed included) and the sort
// state.
//
// The scan runs on workers of the process's pool (catalogue/BackgroundScan.h);
// the window takes its rows on its own thread when a worker wakes it, a
// slice of time at a go, so it always answers. While a scan runs a status
// line under the list shows its progress, the list shows a busy cursor, and
// the export buttons and the header sort are greyed: the list is not the
// folder's yet. Escape stops the scan; closing the window, a new folder or a
// changed filter stop it too. The folder check of "リストを更新(&R)" also
// runs off the window's thread. So do sorting and copying a long list and
// writing an export (app/LongWork.h), one at a time, with their progress on
// the status line; Escape stops them (the list keeps its order, the
// clipboard its text, and the export's file stays as it was). A new listing
// stops a sort or a copy; an export goes on with the rows it was given.
// However the window ends, it saves the folder history.
//
// A list can be kept as a catalogue file and opened again later without the
// folder ("カタログを保存(&V)...", "カタログを開く(&O)..." in the list's
// menu and the window's, Ctrl+S and Ctrl+O). Both run off the window's
// thread. An opened catalogue shows exactly as its scan did, until a scan
// replaces it; the title and the status line say whose catalogue it is.
//
// "カタログと比較(&M)..." compares what the list shows with a catalogue kept
// earlier (off the window's thread, with its progress, Escape stopping it)
// and shows the comparison in the list's place: a first column with the
// change, changed cells marked, the status line counting each kind. It
// sorts, copies and exports as the list does. A scan (a new folder, a check
// box, "リストを更新(&R)") or an opened catalogue leaves it.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QIcon>

#include "app/CatalogueTask.h"
#include "app/FileListModel.h"
#include "catalogue/FileItem.h"
#include "catalogue/FolderScan.h"
#include "export/ExportSettings.h"
#include "framework/CListCtrl.h"
#include "framework/Controls.h"
#include "framework/TemplateDialog.h"
#include "res/Resource.h"

class QAction;
class QCheckBox;
class QLabel;
class QTimer;

namespace norvane {

class BackgroundScan;
class CExportRun;
class LongWork;
class ThreadWake;
class WorkControl;

class CMainDlg : public TemplateDialog {
public:
    // Loads the titles, colours and folder history of the settings file. F1
    // in every dialog opens the About box while the window lives.
    explicit CMainDlg(QWidget* pParent = nullptr);
    ~CMainDlg() override;

    // Set while an About box opened by a help request is showing.
    bool m_bInHelpAbout = false;
    // The current folder, in the code page, ending with "/" once set: what
    // the user is shown; the scan reads m_strRawFolder.
    std::string m_szSourceFolder;
    // The current folder as the file system names it: the bytes the command
    // line gave, or the name of the folder chosen or typed, never code-page
    // text converted back (which loses what the code page cannot hold).
    std::string m_strRawFolder;

    // The settings of the last export confirmed (the defaults before one);
    // its titles and colours are the settings file's until then. They head
    // the exported columns, not the list's.
    const ExportSettings& exportSettings() const { return m_exportSettings; }

    // Control 1000, showing m_fileList; the folder box 1020.
    CListCtrl* m_listFiles;
    CComboBox* m_cbFolder;
    // The rows of the list: records of the store of the latest scan.
    const FileListModel& GetFileList() const { return m_fileList; }
    // Whether the export may change its folder-heading option: true while the
    // rows stand grouped by folder as far as the last header click knows.
    bool m_bFolderHeadingAllowed = true;
    QIcon m_hIcon;
    // Direction of the last header-click sort.
    bool m_bSortAscending = false;
    // The column of that sort while the rows stand in its order; -1 when
    // they stand in scan order. A second click on it reverses the order.
    int m_nSortColumn = -1;

    // Takes the check boxes, then starts listing the current folder into the
    // (empty) list. False when no scan could start.
    bool Rescan();
    // Starts listing rawFolder (the file system's bytes; and with recurse its
    // subfolders) into the list, after the rows already there, stopping a
    // scan that runs. Rows arrive from the event loop. A scan that stops on
    // an error says so in a message box, and so does a folder that is not
    // there; one without a folder stays silent. The scan creates no folder.
    bool ScanFolder(const std::string& rawFolder, bool recurse, bool includeSystem, bool includeHidden);
    // Queues the row of one record after the last; queued rows reach the
    // list a few times a second and when the scan ends.
    bool AddFileItem(const FileItem* pItem);
    // Stops a running scan, frees every record and removes every row; the
    // list asks for no cell in between.
    void ClearItems();
    // Makes the folder the file system names rawFolder the current folder
    // and lists it anew (start-up calls it with the command line's folder).
    void SetFolder(const std::string& rawFolder);

    // True while a listing is under way: its folder being checked or read,
    // or a catalogue being read or compared with the list.
    bool IsScanning() const;
    // True while a sort, a copy or an export runs off the window's thread.
    bool IsWorking() const { return m_pWork != nullptr; }
    // Stops it, if it can still stop (an export putting its file in place
    // cannot); the status line says so.
    void StopWork();
    // Lists of up to this many rows are sorted and copied on the window's
    // thread at once (a few milliseconds); longer ones off it. Tests set 0.
    static constexpr int kRowsAtOnce = 4096;
    int m_nRowsAtOnce = kRowsAtOnce;
    // True while a catalogue is being written.
    bool IsSaving() const { return m_pSave != nullptr; }
    // The catalogue the list shows (its path as the file system names it),
    // empty when it shows a scan.
    const std::string& CataloguePath() const { return m_strCataloguePath; }
    // What a catalogue saved now would say of the list's scan.
    const CatalogueFacts& ListFacts() const { return m_facts; }

    // Reads the catalogue at rawPath in the background and shows it in place
    // of the list once it is read whole; a catalogue that cannot be read is
    // said so in a message box and the list stays as it was.
    bool OpenCatalogue(const std::string& rawPath);
    // The same for a catalogue named on the command line, which may name a
    // folder instead: that folder is listed.
    void OpenCatalogueAtStart(const std::string& rawPath);
    // Writes the list, in scan order, into a catalogue at rawPath in the
    // background; a failure is said so in a message box, and a file that was
    // there stays as it was.
    bool SaveCatalogue(const std::string& rawPath);
    // The two menu items: ask for the file, then open or save.
    void OnOpenCatalogue();
    void OnSaveCatalogue();
    QAction* GetOpenCatalogueAction() const { return m_pOpenCatalogue; }
    QAction* GetSaveCatalogueAction() const { return m_pSaveCatalogue; }

    // Compares the list with the catalogue at rawPath (its old side) in the
    // background and shows the comparison once it is made; a catalogue that
    // cannot be read is said so and the list stays. Lists not made alike
    // (code pages, options, a scan cut short) are compared, and the user is
    // told what differs.
    bool CompareWithCatalogue(const std::string& rawPath);
    // The menu item: asks for the catalogue, then compares.
    void OnCompareCatalogue();
    // The comparison shown, or null.
    const Comparison* GetComparison() const { return m_fileList.GetComparison(); }
    QAction* GetCompareCatalogueAction() const { return m_pCompareCatalogue; }
    // Checked: a comparison shows its unchanged files too.
    QAction* GetShowUnchangedAction() const { return m_pShowUnchanged; }
    // Stops the running scan, if any; its rows stay and the status line says
    // that it stopped.
    void StopScan();
    // The line under the list: a scan's progress, then its outcome.
    QLabel* GetStatusLine() const { return m_pStatus; }

    // The window has no OK: Enter off a push button does nothing.
    void accept() override {}
    // Every way the window ends (終了, Escape, the close box) stops the scan
    // and saves the folder history.
    void done(int nResult) override;

    // The export buttons 1001 and 1002 (defined with the export run).
    void OnOutputSelected();
    void OnOutputAll();

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    // The window's menu, a right click anywhere but on the rows: the About
    // item.
    void contextMenuEvent(QContextMenuEvent* pEvent) override;
    // Enter in the folder box lists the typed folder.
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

    void OnAbout();
    void OnHelp();
    void OnColumnClick(int nColumn);
    void OnSelectFolder();
    void OnSize();
    void OnFormattedSize();
    void OnFilterChange();
    void OnUpdateList();
    void OnListContextMenu(const QPoint& ptGlobal);

private:
    void LoadSettings();
    void FinishSave();
    void SaveHistory();
    // A history entry: the text shown and the folder's bytes.
    void InsertHistory(const QString& strFolder, const std::string& rawFolder);
    // The bytes of the folder the box's text names: a history entry's own
    // when the text is the picked entry's, else the text's file name bytes.
    std::string RawFolderOfBox() const;
    // The narrowest client area that shows every button whole.
    int MinimumClientWidth() const;
    // Asks for the options, then writes the selected rows or all rows.
    void RunExport(bool bSelectedRows);
    // The save dialog, then the file written off the window's thread; after
    // a failure, the dialog again.
    void AskAndWrite(const std::shared_ptr<CExportRun>& pRun);

    // Long work on the records.
    enum class WorkKind { kSort, kCopy, kExport };
    // nRows: the rows it works on.
    void StartWork(WorkKind kind, std::size_t nRows, std::function<void(WorkControl&)> fnWork,
                   std::function<void()> fnEnd);
    void FinishWork();
    void ShowWorkProgress();
    // Puts the rows' text on the clipboard: at once when they are few, off
    // the window's thread when they are many (see m_nRowsAtOnce).
    void CopyRows(const std::vector<int>& rows, const std::vector<int>& columns);
    // Sorts by a list column, off the window's thread when the rows are many.
    void SortList(int nColumn, bool bDescending);
    void SortDone(int nColumn, bool bDescending);
    // The status line as the last listing left it.
    void SetRestingStatus(const QString& strText, const QString& strDetail = {});
    // A scan's outcome there, with its warnings.
    void ShowOutcome(const QString& strText, const ScanResult& result);

    // Catalogues.
    void CreateCatalogueActions();
    void UpdateCatalogueActions();
    void OnOpenTaskWake();
    void OnSaveTaskWake();
    void EndOpen();
    void ShowCatalogue(CatalogueContents contents, const std::string& rawPath);
    void LeaveCatalogue();
    QString CatalogueSummary() const;
    // Comparisons.
    void CreateCompareActions();
    void OnCompareTaskWake();
    void EndCompare();
    void ShowComparison(std::shared_ptr<const Comparison> comparison, const CatalogueFacts& oldFacts,
                        const std::string& rawPath);
    void ShowComparisonCounts();
    void OnShowUnchanged();
    void LeaveComparison();

    // The running scan, on the window's thread.
    void OnScanWake();
    void OnScanEnded();
    void FlushPendingRows();
    void ShowScanProgress();
    // Greys what must wait for a scan or long work, and runs the progress
    // timer while either does.
    void UpdateCommands();
    void EndScan();
    void PlaceStatusLine();
    void CancelFolderCheck();

    // The update button's look at a folder, shared with the task that makes
    // it: its answer, and whether it is still wanted.
    struct FolderCheck {
        std::atomic<bool> bExists{false};
        std::atomic<bool> bCancelled{false};
    };

    // The check boxes 1004, 1005, 1007, 1009.
    QCheckBox* m_chkFormattedSize;
    QCheckBox* m_chkSubfolders;
    QCheckBox* m_chkSystemFiles;
    QCheckBox* m_chkHiddenFiles;
    ExportSettings m_exportSettings;
    FileListModel m_fileList;
    std::vector<const FileItem*> m_pendingRows;  // rows taken, not yet in the list
    std::unique_ptr<BackgroundScan> m_pScan;     // while a scan runs
    std::unique_ptr<LongWork> m_pWork;           // while long work runs
    WorkKind m_workKind = WorkKind::kSort;
    QString m_strRestingStatus;
    QString m_strRestingDetail;
    ThreadWake* m_pScanWake = nullptr;     // its workers wake the window
    ThreadWake* m_pFolderCheck = nullptr;  // while the update button's check runs
    std::shared_ptr<FolderCheck> m_pFolderCheckState;
    std::chrono::steady_clock::time_point m_nextFlush;
    std::chrono::steady_clock::time_point m_scanStart;
    QTimer* m_pProgressTimer = nullptr;
    QLabel* m_pStatus = nullptr;
    QSize m_sizeLast;  // the size the controls were placed for

    // The list's scan (or the catalogue's): what a saved catalogue says.
    CatalogueFacts m_facts;
    bool m_bHasFacts = false;     // the list is a scan's or a catalogue's, and may be saved
    std::string m_strScanFolder;  // the folder, the options and the start of the scan running
    ScanOptions m_scanOptions;
    FILETIME m_scanStarted = 0;
    std::string m_strCataloguePath;    // the catalogue shown, or empty
    QString m_strCatalogueBoxText;     // the folder box's text as the catalogue set it
    std::string m_strCatalogueFolder;  // where the last catalogue was saved or opened
    std::unique_ptr<CatalogueTask> m_pOpen;
    std::unique_ptr<CatalogueTask> m_pSave;
    ThreadWake* m_pOpenWake = nullptr;
    ThreadWake* m_pSaveWake = nullptr;
    bool m_bOpenAtStart = false;    // the catalogue being read was named on the command line
    QString m_strStatusBeforeOpen;  // the status line to put back when an open fails
    QString m_strDetailBeforeOpen;
    QString m_strBaseTitle;
    QAction* m_pOpenCatalogue = nullptr;
    QAction* m_pSaveCatalogue = nullptr;
    std::unique_ptr<CatalogueTask> m_pCompare;
    ThreadWake* m_pCompareWake = nullptr;
    std::string m_strComparedPath;  // the old catalogue of the comparison shown
    QAction* m_pCompareCatalogue = nullptr;
    QAction* m_pShowUnchanged = nullptr;
    int m_nComboMaxWidth = 0;  // the folder box's width up to "リストを更新(&R)"
};

// The dialog for a catalogue to open (or with bSave, to save): Qt's own,
// in strFolder, proposing strName, titled strTitle (or after what it does);
// the chosen file, or empty when cancelled.
QString AskCataloguePath(QWidget* pOwner, bool bSave, const QString& strFolder, const QString& strName,
                         const QString& strTitle);

// The folder browser of "フォルダを選択(&F)...": the chosen folder (UTF-8,
// without a trailing "/" unless it is the root), or nothing when cancelled.
// strStartUtf8 is the folder it opens at when that names one.
using FolderBrowser = std::function<std::optional<std::string>(QWidget* pOwner, const std::string& strStartUtf8)>;
// Replaces the browser (tests); nullptr puts the directory chooser back.
void SetFolderBrowser(FolderBrowser fnBrowser);
// The directory chooser titled "フォルダの選択".
std::optional<std::string> BrowseForFolder(QWidget* pOwner, const std::string& strStartUtf8);

}  // namespace norvane
