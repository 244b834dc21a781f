#include "app/MainDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "app/AboutDlg.h"
#include "app/LongWork.h"
#include "app/ListerApp.h"
#include "app/StatusLine.h"
#include "app/ThreadWake.h"
#include "catalogue/BackgroundScan.h"
#include "catalogue/CellText.h"
#include "framework/MessageBox.h"
#include "platform/CodePage.h"
#include "platform/Paths.h"
#include "res/Resources.h"

namespace norvane {
namespace {

constexpr char kSeparator = '/';
constexpr int kHistorySize = 8;
// The smallest client area, in dialog units: the list's top band and a few
// of its rows below the controls; the width is the controls' (see
// MinimumClientWidth) with this margin on the right.
constexpr int kMinHeightUnits = 124;
constexpr int kRightMarginUnits = 7;

// The list's columns: heading, alignment, width in pixels. The headings are
// fixed; the editable titles apply to exported files only.
struct ColumnSpec {
    const char* pszHeading;
    ColumnAlign align;
    int nWidth;
};
constexpr std::array<ColumnSpec, kColumnCount> kColumns{{
    {"FileName", ColumnAlign::kLeft, 128},
    {"FileDate&Time", ColumnAlign::kRight, 128},
    {"FileSize", ColumnAlign::kRight, 92},
    {"Version", ColumnAlign::kRight, 64},
    {"Expansion", ColumnAlign::kLeft, 64},
    {"Directory", ColumnAlign::kLeft, 780},
    {"SystemFile", ColumnAlign::kLeft, 64},
    {"Hidden", ColumnAlign::kLeft, 64},
}};

FolderBrowser& CurrentFolderBrowser() {
    static FolderBrowser fnBrowser;
    return fnBrowser;
}

// A history entry keeps the folder's bytes beside the text it shows.
constexpr int kRawFolderRole = Qt::UserRole;

// The bytes of the file a text shown by Qt names, as Qt's own dialogs map
// names to texts.
std::string FileNameBytes(const QString& strText) { return QFile::encodeName(strText).toStdString(); }

}  // namespace

void SetFolderBrowser(FolderBrowser fnBrowser) { CurrentFolderBrowser() = std::move(fnBrowser); }

std::optional<std::string> BrowseForFolder(QWidget* pOwner, const std::string& strStartUtf8) {
    QFileDialog dialog(pOwner, QStringLiteral("フォルダの選択"));
    dialog.setFont(DialogFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    // It opens at the typed folder when that names one (a relative text
    // against the current folder), else where it would anyway.
    const QFileInfo start(QString::fromUtf8(strStartUtf8.data(), static_cast<qsizetype>(strStartUtf8.size())));
    if (!strStartUtf8.empty() && start.isDir()) dialog.setDirectory(start.absoluteFilePath());
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) return std::nullopt;
    // Without a trailing "/", except the root, which is nothing else.
    return QDir::cleanPath(chosen.first()).toStdString();
}

CMainDlg::CMainDlg(QWidget* pParent)
    : TemplateDialog(kMainTemplate, pParent),
      m_listFiles(Control<CListCtrl>(IDC_LIST_FILES)),
      m_cbFolder(Control<CComboBox>(IDC_FOLDER)),
      m_hIcon(QPixmap::fromImage(LoadIconImage(IDR_MAINFRAME))),
      m_chkFormattedSize(Control<QCheckBox>(IDC_FORMATTED_SIZE)),
      m_chkSubfolders(Control<QCheckBox>(IDC_SUBFOLDERS)),
      m_chkSystemFiles(Control<QCheckBox>(IDC_SYSTEM_FILES)),
      m_chkHiddenFiles(Control<QCheckBox>(IDC_HIDDEN_FILES)) {
    // The window manager draws the minimised icon and the drag image.
    setWindowIcon(m_hIcon);
    connect(Control<QPushButton>(IDC_OUTPUT_SELECTED), &QPushButton::clicked, this, &CMainDlg::OnOutputSelected);
    connect(Control<QPushButton>(IDC_OUTPUT_ALL), &QPushButton::clicked, this, &CMainDlg::OnOutputAll);
    connect(Control<QPushButton>(IDC_SELECT_FOLDER), &QPushButton::clicked, this, &CMainDlg::OnSelectFolder);
    connect(Control<QPushButton>(IDC_UPDATE_LIST), &QPushButton::clicked, this, &CMainDlg::OnUpdateList);
    connect(m_chkFormattedSize, &QCheckBox::clicked, this, &CMainDlg::OnFormattedSize);
    connect(m_chkSystemFiles, &QCheckBox::clicked, this, &CMainDlg::OnFilterChange);
    connect(m_chkHiddenFiles, &QCheckBox::clicked, this, &CMainDlg::OnFilterChange);
    connect(m_listFiles, &CListCtrl::ColumnClick, this, &CMainDlg::OnColumnClick);
    connect(m_listFiles, &CListCtrl::ContextMenu, this, &CMainDlg::OnListContextMenu);
    for (QCheckBox* pCheck : {m_chkSubfolders, m_chkSystemFiles, m_chkHiddenFiles}) pCheck->setChecked(true);
    SetHelpHandler([this] { OnHelp(); });

    m_listFiles->setModel(&m_fileList);
    for (int nColumn = 0; nColumn < kColumnCount; ++nColumn) {
        const ColumnSpec& column = kColumns[static_cast<std::size_t>(nColumn)];
        m_fileList.InsertColumn(nColumn, QString::fromUtf8(column.pszHeading), column.align);
        m_listFiles->horizontalHeader()->resizeSection(nColumn, column.nWidth);
    }
    // A double click on a heading's border measures the few rows that may
    // be the widest, not a million.
    m_listFiles->SetWidestRows(
        [this](int nColumn, const QFontMetrics& metrics) { return m_fileList.WidestRows(nColumn, metrics); });
    m_pStatus = new StatusLine(this);
    m_pStatus->show();
    PlaceStatusLine();
    m_pProgressTimer = new QTimer(this);
    // The rows and the line under them go together: a scan's progress, or
    // long work's.
    connect(m_pProgressTimer, &QTimer::timeout, this, [this] {
        FlushPendingRows();
        ShowWorkProgress();
    });
    // Copying many rows runs off the window's thread.
    connect(m_listFiles, &CListCtrl::CopyRows, this, &CMainDlg::CopyRows);
    // The catalogue items go into the list's menu and the window's, and take
    // their keys wherever the focus is in the window.
    CreateCatalogueActions();
    CreateCompareActions();

    // Enter in the folder box is its own: it lists the typed folder. The box
    // takes the keys and hands them to its edit field without events.
    m_cbFolder->installEventFilter(this);
    // The label "フォルダ：" has no mnemonic, so it is no buddy of the folder
    // box, and a screen reader would give its text to the list after it: the
    // two are named here.
    m_cbFolder->setAccessibleName(QStringLiteral("フォルダ"));
    m_listFiles->setAccessibleName(QStringLiteral("ファイル一覧"));
    if (QLineEdit* pEdit = m_cbFolder->lineEdit()) pEdit->installEventFilter(this);
    LoadSettings();

    m_sizeLast = size();
    // The folder box is as wide as it gets (up to "リストを更新(&R)"); the
    // window keeps the controls on its left and a folder box wide enough for
    // a path and its drop-down arrow, and the list's header and a few rows.
    m_nComboMaxWidth = m_cbFolder->width();
    setMinimumSize(MinimumClientWidth(), MapDialogRect(QRect(0, 0, 0, kMinHeightUnits)).height());
}

// F1 in a dialog that outlives the window does nothing.
CMainDlg::~CMainDlg() { SetHelpHandler(nullptr); }

// The titles and colours, and the history, which shows sorted: the combo
// box places each entry it is given.
void CMainDlg::LoadSettings() {
    CListerApp* pApp = AfxGetApp();
    pApp->LoadTitleSettings(&m_exportSettings.titles);
    FolderHistory history;
    pApp->LoadFolderHistory(&history);
    for (const std::string& strEntry : history) {
        if (strEntry.empty()) continue;
        const int nAt = m_cbFolder->AddString(CodePageToUtf8(strEntry));
        m_cbFolder->setItemData(nAt, QByteArray::fromStdString(CodePageToFileSystem(strEntry, FileSystemCodePage())),
                                kRawFolderRole);
    }
}

// The buttons stay where the template puts them, so the window goes no
// narrower than keeps every control but the list and the folder box (which
// follow its width) whole: no command is ever out of reach.
int CMainDlg::MinimumClientWidth() const {
    int nRight = 0;
    for (const ControlTemplate& control : Template().controls) {
        if (control.nId == IDC_LIST_FILES || control.nId == IDC_FOLDER) continue;
        nRight = std::max(nRight, MapDialogRect(QRect(control.x, control.y, control.cx, control.cy)).right() + 1);
    }
    return nRight + MapDialogRect(QRect(0, 0, kRightMarginUnits, 0)).width();
}

// Other window commands are the window manager's: the catalogue items, then
// the About item after a separator, as in a window menu.
void CMainDlg::contextMenuEvent(QContextMenuEvent* pEvent) {
    QMenu menu(this);
    menu.addActions({m_pOpenCatalogue, m_pSaveCatalogue, m_pCompareCatalogue, m_pShowUnchanged});
    menu.addSeparator();
    const std::string_view strAbout = FindResourceString(IDS_ABOUTBOX);
    QAction* pAbout = menu.addAction(QString::fromUtf8(strAbout.data(), static_cast<qsizetype>(strAbout.size())));
    // The item chosen, however it was chosen (exec reports only mouse and
    // keyboard choices); the box opens once the menu has gone.
    bool bAbout = false;
    connect(pAbout, &QAction::triggered, this, [&bAbout] { bAbout = true; });
    menu.exec(pEvent->globalPos());
    if (bAbout) OnAbout();
}

void CMainDlg::OnAbout() {
    CAboutDlg dlgAbout(this);
    dlgAbout.exec();
}

void CMainDlg::OnHelp() {
    // One About box per help request at a time: F1 inside it does nothing.
    if (m_bInHelpAbout) return;
    m_bInHelpAbout = true;
    OnAbout();
    m_bInHelpAbout = false;
}

void CMainDlg::resizeEvent(QResizeEvent* pEvent) {
    TemplateDialog::resizeEvent(pEvent);
    OnSize();
}

void CMainDlg::OnSize() {
    QWidget* pList = m_listFiles;
    QWidget* pCombo = m_cbFolder;
    // The first showing announces the size the window was made with: the
    // controls keep the template's places until the size changes.
    if (size() == m_sizeLast) return;
    m_sizeLast = size();
    // Outer size, frame and caption included; the caption is what the window
    // manager draws above the client area (nothing without one).
    const QRect rcWindow = frameGeometry();
    const int nCaption = std::max(0, geometry().top() - rcWindow.top());
    const QRect rcCombo = pCombo->geometry();
    const QRect rcList = pList->geometry();
    // The folder box never reaches under "リストを更新(&R)", which stays
    // where it is: the box's drop-down arrow is always in sight. Sizes below
    // zero become zero (the window's minimum size keeps them above).
    const int nComboWidth = std::min(m_nComboMaxWidth, rcWindow.width() - rcCombo.left() - 20);
    pCombo->setGeometry(rcCombo.left(), rcCombo.top(), std::max(0, nComboWidth), rcCombo.height());
    pList->setGeometry(rcList.left(), rcList.top(), std::max(0, rcWindow.width() - rcList.left() - 20),
                       std::max(0, rcWindow.height() - rcList.top() - 20 - nCaption));
    pCombo->update();
    pList->update();
    PlaceStatusLine();
}

// The window goes from the screen first: a catalogue being saved is
// finished, as the user asked for it, before the history is saved.
void CMainDlg::done(int nResult) {
    TemplateDialog::done(nResult);
    // A scan still running stops, and so does long work (an export leaves
    // the old file); their workers end on their own.
    ClearItems();
    m_pWork.reset();
    FinishSave();
    SaveHistory();
}

// No box as the window goes (a session may be ending): a failure, which left
// the file that was there, is told on standard error.
void CMainDlg::FinishSave() {
    if (m_pSave == nullptr) return;
    m_pSave->Wait();
    if (!m_pSave->Succeeded()) {
        const std::string strPath = CodePageToUtf8(FileSystemToCodePage(m_pSave->Path(), FileSystemCodePage()));
        std::fprintf(stderr, "カタログを保存できませんでした。保存先は変更されていません。\n%s\n%s\n", strPath.c_str(),
                     CatalogueErrorText(m_pSave->Error()).c_str());
    }
    m_pSave.reset();
    m_pSaveWake->Retire();
    m_pSaveWake = nullptr;
}

void CMainDlg::SaveHistory() {
    FolderHistory history;
    for (int i = 0; i < kHistorySize && i < m_cbFolder->count(); ++i) {
        const QVariant raw = m_cbFolder->itemData(i, kRawFolderRole);
        history[static_cast<std::size_t>(i)] =
            raw.isValid() ? FileSystemToCodePage(raw.toByteArray().toStdString(), FileSystemCodePage())
                          : Utf8ToCodePage(m_cbFolder->itemText(i).toStdString());
    }
    AfxGetApp()->SaveFolderHistory(history);
}

// ---- The list ----

void CMainDlg::OnFormattedSize() { m_fileList.SetFormattedSize(m_chkFormattedSize->isChecked()); }

// The system and hidden boxes list the folder anew.
void CMainDlg::OnFilterChange() {
    ClearItems();
    Rescan();
}

// The list's own menu: copying its rows. The window's menu (the About item)
// shows everywhere else, the list's header included.
void CMainDlg::OnListContextMenu(const QPoint& ptGlobal) {
    QMenu menu(this);
    QAction* pCopy = menu.addAction(QStringLiteral("コピー(&C)"));
    pCopy->setShortcut(QKeySequence::Copy);
    pCopy->setEnabled(m_listFiles->GetSelectedCount() > 0 && !IsWorking());
    connect(pCopy, &QAction::triggered, m_listFiles, &CListCtrl::Copy);
    menu.addSeparator();
    menu.addActions({m_pOpenCatalogue, m_pSaveCatalogue, m_pCompareCatalogue, m_pShowUnchanged});
    menu.exec(ptGlobal);
}

// ---- Folder choice and history ----

void CMainDlg::SetFolder(const std::string& rawFolder) {
    m_strRawFolder = rawFolder;
    m_szSourceFolder = FileSystemToCodePage(rawFolder, FileSystemCodePage());
    if (!m_szSourceFolder.empty()) AppendSeparatorIfMissing(m_szSourceFolder, kSeparator);
    ClearItems();
    Rescan();
}

void CMainDlg::InsertHistory(const QString& strFolder, const std::string& rawFolder) {
    // Newest first, at most eight; an equal entry further down stays.
    if (m_cbFolder->count() >= kHistorySize) m_cbFolder->DeleteString(kHistorySize - 1);
    m_cbFolder->InsertString(0, strFolder.toStdString());
    m_cbFolder->setItemData(0, QByteArray::fromStdString(rawFolder), kRawFolderRole);
}

std::string CMainDlg::RawFolderOfBox() const {
    const QString strText = m_cbFolder->currentText();
    // The folder of the catalogue shown, by its own bytes.
    if (!m_strCataloguePath.empty() && strText == m_strCatalogueBoxText) return m_facts.topFolder;
    const int nPicked = m_cbFolder->currentIndex();
    if (nPicked >= 0 && m_cbFolder->itemText(nPicked) == strText) {
        const QVariant raw = m_cbFolder->itemData(nPicked, kRawFolderRole);
        if (raw.isValid()) return raw.toByteArray().toStdString();
    }
    return FileNameBytes(strText);
}

void CMainDlg::OnSelectFolder() {
    const std::string strStart = m_cbFolder->currentText().toStdString();
    const FolderBrowser& fnBrowser = CurrentFolderBrowser();
    const std::optional<std::string> chosen = fnBrowser ? fnBrowser(this, strStart) : BrowseForFolder(this, strStart);
    if (!chosen || chosen->empty()) return;
    const QString strChosen = QString::fromStdString(*chosen);
    const std::string rawFolder = FileNameBytes(strChosen);
    SetFolder(rawFolder);
    m_cbFolder->setEditText(strChosen);
    InsertHistory(strChosen, rawFolder);
}

// The folder is looked at off the window's thread, by a task of the
// process's pool (a share may take its time to answer); the answer lists
// it, or says that it is not there and changes nothing. A newer choice or
// Escape makes the answer go unheard, and a check that has not begun by
// then looks at nothing.
void CMainDlg::OnUpdateList() {
    CancelFolderCheck();
    const QString strTyped = m_cbFolder->currentText();
    const std::string rawFolder = RawFolderOfBox();
    auto pCheck = std::make_shared<FolderCheck>();
    m_pFolderCheckState = pCheck;
    m_pFolderCheck = new ThreadWake(
        [this, strTyped, rawFolder, pCheck] {
            CancelFolderCheck();
            if (!pCheck->bExists.load()) {
                ShowMessage(this, "フォルダが見つかりません", MessageIcon::kWarning);
                return;
            }
            SetFolder(rawFolder);
            InsertHistory(strTyped, rawFolder);
        },
        this);
    RunInBackground([rawFolder, pCheck, fnAnswer = m_pFolderCheck->Notifier()] {
        if (pCheck->bCancelled.load()) return;
        pCheck->bExists.store(FolderExists(rawFolder));
        fnAnswer();
    });
}

// Enter in the folder box, with its list closed (the open list takes Enter
// itself, to pick an entry), does what "リストを更新(&R)" does; Enter
// elsewhere stays the dialog's.
bool CMainDlg::eventFilter(QObject* pWatched, QEvent* pEvent) {
    const bool bFolderBox = m_cbFolder != nullptr && (pWatched == m_cbFolder || pWatched == m_cbFolder->lineEdit());
    if (pEvent->type() == QEvent::KeyPress && bFolderBox) {
        const auto* pKey = static_cast<QKeyEvent*>(pEvent);
        const bool bEnter = pKey->key() == Qt::Key_Return || pKey->key() == Qt::Key_Enter;
        if (bEnter && (pKey->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            OnUpdateList();
            return true;
        }
    }
    return TemplateDialog::eventFilter(pWatched, pEvent);
}

void CMainDlg::CancelFolderCheck() {
    if (m_pFolderCheck == nullptr) return;
    m_pFolderCheckState->bCancelled.store(true);
    m_pFolderCheckState.reset();
    m_pFolderCheck->Retire();
    m_pFolderCheck = nullptr;
}

}  // namespace norvane
