// The main window's scan: started off the window's thread, its rows taken on
// the window's thread a slice of time at a go, its progress and outcome on
// the status line, and every way it stops.
#include <QCheckBox>
#include <QFile>
#include <QKeyEvent>
#include <QLocale>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <utility>

#include "app/LongWork.h"
#include "app/MainDlg.h"
#include "app/StatusLine.h"
#include "app/ThreadWake.h"
#include "catalogue/BackgroundScan.h"
#include "framework/MessageBox.h"
#include "platform/CodePage.h"
#include "platform/FileTime.h"

namespace norvane {
namespace {

using Clock = std::chrono::steady_clock;

// How long the window takes rows before it answers its user again, and how
// many it takes from the scan at a time.
constexpr auto kTakeSlice = std::chrono::milliseconds(8);
constexpr std::size_t kRowsPerTake = 2048;
// Taken rows reach the list at most this often (the first at once): each
// insertion costs the view more than the rows it brings.
constexpr auto kFlushInterval = std::chrono::milliseconds(100);
// ...or sooner when this many wait, so that a window catching up on a scan
// far ahead of it holds no large list of rows besides the list's own.
constexpr std::size_t kMaxPendingRows = 64 * 1024;
constexpr int kProgressIntervalMs = 100;

QString Number(std::uint64_t n) { return QLocale(QLocale::English).toString(static_cast<qulonglong>(n)); }

QString Count(std::uint64_t nFiles) { return Number(nFiles) + QStringLiteral(" ファイル"); }

// After a scan that did not end: the rows that stay, and that the folder
// holds more than they.
QString Kept(int nRows) {
    return Number(static_cast<std::uint64_t>(nRows)) + QStringLiteral(" 件を表示（残りは一覧にありません）");
}

QString FromCodePage(std::string_view text) {
    const std::string strUtf8 = CodePageToUtf8(text);
    return QString::fromUtf8(strUtf8.data(), static_cast<qsizetype>(strUtf8.size()));
}

// The outcome of a scan on the status line, with its warnings (folders it
// could not read, loops): how many, and the last one, which names its
// folder, as the detail that gives way when the line is narrow.
std::pair<QString, QString> Outcome(const QString& strText, const ScanResult& result) {
    if (result.diagnostics.empty()) return {strText, {}};
    std::string_view strLast = result.diagnostics.back();
    if (strLast.ends_with('\n')) strLast.remove_suffix(1);
    return {strText + QStringLiteral("　警告 %1 件: ").arg(static_cast<qulonglong>(result.diagnostics.size())),
            FromCodePage(strLast)};
}

}  // namespace

bool CMainDlg::IsScanning() const {
    return m_pScan != nullptr || m_pFolderCheck != nullptr || m_pOpen != nullptr || m_pCompare != nullptr;
}

void CMainDlg::ClearItems() {
    // No scan may add rows to the emptied list; its workers keep their own
    // share of the records until they end. A sort or a copy of the old rows
    // is no longer wanted; an export goes on with its own share.
    CancelFolderCheck();
    EndScan();
    if (m_pWork != nullptr && m_workKind != WorkKind::kExport && m_pWork->Stop()) FinishWork();
    EndOpen();
    EndCompare();
    LeaveComparison();
    LeaveCatalogue();
    m_bHasFacts = false;
    // The rows go first: the list asks for no cell of a freed record.
    m_pendingRows.clear();
    m_fileList.Clear();
    m_nSortColumn = -1;
    UpdateCatalogueActions();
}

bool CMainDlg::Rescan() {
    return ScanFolder(m_strRawFolder, m_chkSubfolders->isChecked(), m_chkSystemFiles->isChecked(),
                      m_chkHiddenFiles->isChecked());
}

bool CMainDlg::AddFileItem(const FileItem* pItem) {
    if (pItem == nullptr) return false;
    m_pendingRows.push_back(pItem);
    return true;
}

bool CMainDlg::ScanFolder(const std::string& rawFolder, bool recurse, bool includeSystem, bool includeHidden) {
    EndScan();
    EndOpen();
    EndCompare();
    LeaveComparison();
    LeaveCatalogue();
    ScanOptions options;
    options.recurse = recurse;
    options.includeSystem = includeSystem;
    options.includeHidden = includeHidden;
    options.workersYield = true;
    // What a catalogue of this scan will say of it.
    m_bHasFacts = false;
    m_strScanFolder = rawFolder;
    m_scanOptions = options;
    m_scanStarted = CurrentFileTime();
    m_pScan = std::make_unique<BackgroundScan>(rawFolder, options);
    // The list shows this scan's records alone, in scan order.
    m_pendingRows.clear();
    m_fileList.Clear(m_pScan->Store());
    m_nSortColumn = -1;
    m_pScanWake = new ThreadWake([this] { OnScanWake(); }, this);
    m_scanStart = Clock::now();
    m_nextFlush = m_scanStart;
    UpdateCommands();
    ShowScanProgress();
    m_pScan->Start(m_pScanWake->Notifier());
    return true;
}

void CMainDlg::OnScanWake() {
    if (m_pScan == nullptr) return;
    const auto sliceEnd = Clock::now() + kTakeSlice;
    ScanBatch batch;
    bool bMore = true;
    for (;;) {
        bMore = m_pScan->Take(batch, std::chrono::milliseconds(0), kRowsPerTake);
        for (FileItem* pItem : batch.rows) AddFileItem(pItem);
        // The diagnostics go to standard output, as they always did; a
        // terminal there gets no control character of a name.
        for (const std::string& text : batch.diagnostics) {
            std::string_view line = text;
            if (line.ends_with('\n')) line.remove_suffix(1);
            std::printf("%s\n", VisibleControls(line, CurrentCodePage()).c_str());
        }
        if (!batch.diagnostics.empty()) std::fflush(stdout);
        // An empty batch means the scan will wake the window again.
        if (!bMore || (batch.rows.empty() && batch.diagnostics.empty())) break;
        if (Clock::now() >= sliceEnd) {
            m_pScanWake->Notify();  // the rest after the window has answered
            break;
        }
    }
    if (!bMore) return OnScanEnded();
    if (m_fileList.rowCount() == 0 || Clock::now() >= m_nextFlush || m_pendingRows.size() >= kMaxPendingRows)
        FlushPendingRows();
}

// Rows and the count on the status line go together, so that the line never
// says fewer files than the list shows.
void CMainDlg::FlushPendingRows() {
    m_nextFlush = Clock::now() + kFlushInterval;
    if (!m_pendingRows.empty()) {
        m_fileList.AppendRows(m_pendingRows);
        m_pendingRows.clear();
    }
    ShowScanProgress();
}

void CMainDlg::ShowScanProgress() {
    auto* pStatusLine = static_cast<StatusLine*>(m_pStatus);
    if (m_pScan == nullptr && m_pOpen != nullptr) {
        return pStatusLine->SetStatus(
            QStringLiteral("カタログを開いています: ") + Count(m_pOpen->RowsDone()) + QStringLiteral("　"),
            QFile::decodeName(QByteArray::fromStdString(m_pOpen->Path())));
    }
    if (m_pScan == nullptr && m_pCompare != nullptr) {
        const std::uint64_t nTotal = m_pCompare->RowsTotal();
        return pStatusLine->SetStatus(QStringLiteral("カタログと比較しています: ") + Count(m_pCompare->RowsDone()) +
                                          (nTotal != 0 ? QStringLiteral(" / ") + Count(nTotal) : QString()) +
                                          QStringLiteral("　"),
                                      QFile::decodeName(QByteArray::fromStdString(m_pCompare->Path())));
    }
    if (m_pScan == nullptr && m_pSave != nullptr) {
        return pStatusLine->SetStatus(QStringLiteral("カタログを保存しています: ") + Count(m_pSave->RowsDone()) +
                                          QStringLiteral(" / ") + Count(m_pSave->RowsTotal()) + QStringLiteral("　"),
                                      QFile::decodeName(QByteArray::fromStdString(m_pSave->Path())));
    }
    if (m_pScan == nullptr) return;
    const ScanProgress progress = m_pScan->Progress();
    // The workers' count runs ahead of the list (they read ahead of it); it
    // is never shown below the rows the list holds.
    const std::uint64_t nFiles = std::max<std::uint64_t>(progress.files, m_fileList.rowCount());
    auto* pStatus = static_cast<StatusLine*>(m_pStatus);
    // What the list shows, and what the workers have found.
    pStatus->SetStatus(QStringLiteral("検索中: ") + Number(static_cast<std::uint64_t>(m_fileList.rowCount())) +
                           QStringLiteral(" 件表示・") + Number(nFiles) + QStringLiteral(" ファイル検出　"),
                       FromCodePage(progress.folder.empty() ? m_szSourceFolder : progress.folder));
}

void CMainDlg::StopScan() {
    CancelFolderCheck();
    if (m_pOpen != nullptr) {
        // The list stays as it was.
        EndOpen();
        static_cast<StatusLine*>(m_pStatus)->SetStatus(m_strStatusBeforeOpen, m_strDetailBeforeOpen);
    }
    if (m_pCompare != nullptr) {
        // The list stays as it was, a comparison shown before included.
        EndCompare();
        static_cast<StatusLine*>(m_pStatus)->SetStatus(m_strStatusBeforeOpen, m_strDetailBeforeOpen);
    }
    // A save is stopped by Escape only when nothing else is under way; the
    // file it would have replaced stays as it was.
    if (m_pScan == nullptr && m_pSave != nullptr) m_pSave->RequestStop();
    if (m_pScan == nullptr) return;
    // A flag for the workers; Take then ends at once, with what was taken.
    m_pScan->RequestStop();
    ScanBatch batch;
    while (m_pScan->Take(batch, std::chrono::milliseconds(0))) {}
    OnScanEnded();
}

void CMainDlg::OnScanEnded() {
    FlushPendingRows();
    const ScanResult result = m_pScan->Result();
    // A list may be kept as a catalogue unless no folder was listed.
    m_facts = ScanFacts(m_strScanFolder, m_scanOptions, m_scanStarted, CurrentFileTime(), result);
    m_bHasFacts = !result.folderMissing && !(result.end == ScanEnd::kStoppedByError && result.reason.empty());
    EndScan();
    const QString strListed = Count(static_cast<std::uint64_t>(m_fileList.rowCount()));
    if (result.folderMissing && !result.notAFolder) {
        SetRestingStatus(QStringLiteral("フォルダが見つかりません"));
        ShowMessage(this, "フォルダが見つかりません", MessageIcon::kWarning);
        return;
    }
    if (result.folderMissing) {
        // A file given in place of a folder (on the command line).
        SetRestingStatus(QStringLiteral("フォルダではありません"));
        const std::string strPath = CodePageToUtf8(FileSystemToCodePage(m_strRawFolder, FileSystemCodePage()));
        ShowMessage(this, "指定されたパスはフォルダではありません。フォルダを指定してください。\n\n" + strPath,
                    MessageIcon::kWarning);
        return;
    }
    switch (result.end) {
        case ScanEnd::kCompleted: return ShowOutcome(strListed, result);
        case ScanEnd::kStoppedByRequest:
            return ShowOutcome(QStringLiteral("中止しました。") + Kept(m_fileList.rowCount()), result);
        case ScanEnd::kStoppedByError: break;
    }
    if (result.reason.empty()) {
        // No folder chosen yet: nothing to say.
        SetRestingStatus({});
        return;
    }
    SetRestingStatus(QStringLiteral("エラーのため中止しました。") + Kept(m_fileList.rowCount()));
    // Standard output is seldom seen from a window: a list cut short is
    // said so, lest it be exported as the whole folder, naming the folder
    // where it went wrong.
    std::string strReason = CodePageToUtf8(result.reason);
    while (!strReason.empty() && (strReason.back() == '\n' || strReason.back() == '\r')) strReason.pop_back();
    const std::string strText =
        "フォルダの一覧を最後まで作れませんでした。リストは途中までのファイルだけを示しています。\n\n" +
        CodePageToUtf8(result.folder.empty() ? m_szSourceFolder : result.folder) + "\n" + strReason;
    ShowMessage(this, strText, MessageIcon::kWarning);
}

// Lets the scan go (its workers end on a thread of their own) and gives the
// window back its controls.
void CMainDlg::EndScan() {
    if (m_pScan == nullptr) return;
    m_pScan.reset();
    m_pScanWake->Retire();
    m_pScanWake = nullptr;
    m_pendingRows.shrink_to_fit();
    UpdateCommands();
}

// While a scan runs the list is not the folder's: it cannot be exported or
// sorted (the list never reorders under its rows), and the buttons and
// headings look so; nor while long work runs (one at a time). The busy
// cursor shows over the list alone, as the rest of the window works as ever.
void CMainDlg::UpdateCommands() {
    const bool bBusy = m_pScan != nullptr || m_pOpen != nullptr || m_pCompare != nullptr || m_pWork != nullptr;
    for (int nId : {IDC_OUTPUT_SELECTED, IDC_OUTPUT_ALL}) Control(nId)->setEnabled(!bBusy);
    UpdateCatalogueActions();
    m_listFiles->EnableColumnClicks(!bBusy);
    if (bBusy) {
        m_listFiles->setCursor(Qt::BusyCursor);
        if (!m_pProgressTimer->isActive()) m_pProgressTimer->start(kProgressIntervalMs);
    } else {
        m_listFiles->unsetCursor();
        // A save going on still shows its progress.
        if (m_pSave == nullptr) m_pProgressTimer->stop();
    }
}

void CMainDlg::SetRestingStatus(const QString& strText, const QString& strDetail) {
    m_strRestingStatus = strText;
    m_strRestingDetail = strDetail;
    static_cast<StatusLine*>(m_pStatus)->SetStatus(strText, strDetail);
}

void CMainDlg::ShowOutcome(const QString& strText, const ScanResult& result) {
    const auto [strLine, strDetail] = Outcome(strText, result);
    SetRestingStatus(strLine, strDetail);
}

// The status line fills the band under the list (a narrow one at the
// template's size: the text is centred in it, its blank leading given up).
void CMainDlg::PlaceStatusLine() {
    if (m_pStatus == nullptr || m_listFiles == nullptr) return;
    const QRect rcList = m_listFiles->geometry();
    const int nBand = std::max(0, height() - rcList.bottom() - 1);
    const int nHeight = std::max(nBand, m_pStatus->fontMetrics().height());
    m_pStatus->setGeometry(rcList.left(), rcList.bottom() + 1 + (nBand - nHeight) / 2, rcList.width(), nHeight);
}

void CMainDlg::keyPressEvent(QKeyEvent* pEvent) {
    // Escape stops a scan (or a catalogue's reading or writing), else long
    // work; with none running it is the dialog's Cancel.
    const bool bEscape =
        pEvent->key() == Qt::Key_Escape && (pEvent->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (bEscape && (IsScanning() || (IsSaving() && !m_pSave->Done()))) {
        StopScan();
        pEvent->accept();
        return;
    }
    if (bEscape && IsWorking()) {
        StopWork();
        pEvent->accept();
        return;
    }
    TemplateDialog::keyPressEvent(pEvent);
}

}  // namespace norvane
