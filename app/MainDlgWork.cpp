// The main window's long work on the records: sorting and copying a long
// list and writing an export, off the window's thread (app/LongWork.h),
// with their progress on the status line and Escape to stop them.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLocale>

#include <memory>
#include <utility>
#include <vector>

#include "app/LongWork.h"
#include "app/MainDlg.h"
#include "app/StatusLine.h"
#include "catalogue/CellText.h"
#include "catalogue/SortRows.h"

namespace norvane {
namespace {

QString Number(std::uint64_t n) { return QLocale(QLocale::English).toString(static_cast<qulonglong>(n)); }

// What a sort off the window's thread reads and gives back: the window
// copies the rows' record numbers (a few milliseconds for a million), the
// rest is the work's.
struct SortJob {
    std::vector<ItemRef> refs;
    std::shared_ptr<const FileStore> store;  // the records stay while it runs
    FileListModel::NewOrder order;
};

struct CopyJob {
    std::vector<ItemRef> refs;  // of the rows to copy
    std::vector<int> columns;
    bool bFormattedSize = false;
    std::shared_ptr<const FileStore> store;
    QString strText;
};

}  // namespace

void CMainDlg::StartWork(WorkKind kind, std::size_t nRows, std::function<void(WorkControl&)> fnWork,
                         std::function<void()> fnEnd) {
    m_workKind = kind;
    m_pWork = std::make_unique<LongWork>(this, nRows, std::move(fnWork), [this, fnEnd = std::move(fnEnd)] {
        // Over before its end runs: the end may start other work.
        FinishWork();
        fnEnd();
        if (m_pScan == nullptr && m_pWork == nullptr)
            static_cast<StatusLine*>(m_pStatus)->SetStatus(m_strRestingStatus);
    });
    UpdateCommands();
    ShowWorkProgress();
}

void CMainDlg::FinishWork() {
    m_pWork.reset();
    UpdateCommands();
}

void CMainDlg::StopWork() {
    if (m_pWork == nullptr) return;
    if (!m_pWork->Stop()) return ShowWorkProgress();  // an export puts its file in place: its end comes
    const WorkKind kind = m_workKind;
    FinishWork();
    if (IsScanning()) return;  // the scan's progress has the line
    auto* pStatus = static_cast<StatusLine*>(m_pStatus);
    switch (kind) {
        case WorkKind::kSort: pStatus->SetStatus(QStringLiteral("並べ替えを中止しました。順序は元のままです")); break;
        case WorkKind::kCopy: pStatus->SetStatus(QStringLiteral("コピーを中止しました")); break;
        case WorkKind::kExport:
            pStatus->SetStatus(QStringLiteral("出力を中止しました。ファイルは書き込まれていません"));
            break;
    }
}

void CMainDlg::ShowWorkProgress() {
    // A scan's progress, or a catalogue being read, has the line first.
    if (m_pWork == nullptr || m_pScan != nullptr || m_pOpen != nullptr) return;
    const WorkControl& control = m_pWork->Control();
    const std::uint64_t nDone = std::min(control.Done(), control.Total());
    const QString strOf = Number(nDone) + QStringLiteral(" / ") + Number(control.Total()) + QStringLiteral(" 行");
    QString strText;
    switch (m_workKind) {
        case WorkKind::kSort:
            strText = QStringLiteral("並べ替え中: ") +
                      QString::number(control.Total() > 0 ? nDone * 100 / control.Total() : 0) + QStringLiteral("%");
            break;
        case WorkKind::kCopy: strText = QStringLiteral("コピー中: ") + strOf; break;
        case WorkKind::kExport:
            // Putting the file in place can no longer be stopped.
            if (control.Committing()) {
                static_cast<StatusLine*>(m_pStatus)->SetStatus(QStringLiteral("出力中: ファイルを保存しています"));
                return;
            }
            strText = QStringLiteral("出力中: ") + strOf;
            break;
    }
    static_cast<StatusLine*>(m_pStatus)->SetStatus(strText + QStringLiteral("（Esc で中止）"));
}

void CMainDlg::OnColumnClick(int nColumn) {
    if (IsScanning() || IsWorking()) return;  // the header is greyed meanwhile
    // The window remembers the column it sorted by; the list's selection
    // mark is the user's anchor for Shift+click and is left alone.
    const bool bDescending = m_nSortColumn == nColumn && m_bSortAscending;
    if (m_fileList.rowCount() <= m_nRowsAtOnce) {
        m_fileList.Sort(nColumn, bDescending);
        SortDone(nColumn, bDescending);
        return;
    }
    // The heading keeps its arrow until the rows are in their new order
    // (the header turned it at the click).
    m_listFiles->SetSortArrow(m_nSortColumn, m_bSortAscending);
    auto pJob = std::make_shared<SortJob>();
    pJob->refs = m_fileList.Refs();
    pJob->store = m_fileList.Store();
    StartWork(
        WorkKind::kSort, pJob->refs.size(),
        [pJob, nColumn, bDescending](WorkControl& control) {
            const std::vector<int> order = SortOrder(ItemsOf(*pJob->store, pJob->refs), nColumn, bDescending, &control);
            if (!control.StopRequested()) pJob->order = FileListModel::PrepareOrder(pJob->refs, order);
        },
        [this, pJob, nColumn, bDescending] {
            m_fileList.ApplyOrder(std::move(pJob->order));
            SortDone(nColumn, bDescending);
        });
}

void CMainDlg::SortDone(int nColumn, bool bDescending) {
    m_bSortAscending = !bDescending;
    m_nSortColumn = nColumn;
    // Only a sort by folder keeps each folder's rows together (the sort is
    // stable, so a folder's rows stay in one run in either direction); after
    // any other the export's folder headings would split folders apart.
    m_bFolderHeadingAllowed = nColumn == kColumnDirectory;
    m_listFiles->SetSortArrow(nColumn, m_bSortAscending);
}

void CMainDlg::CopyRows(const std::vector<int>& rows, const std::vector<int>& columns) {
    if (rows.size() <= static_cast<std::size_t>(m_nRowsAtOnce))
        return QApplication::clipboard()->setText(m_fileList.RowsText(rows, columns));
    if (IsWorking()) {
        static_cast<StatusLine*>(m_pStatus)->SetStatus(QStringLiteral("ほかの処理の終了後にコピーしてください"));
        return;
    }
    auto pJob = std::make_shared<CopyJob>();
    const std::vector<ItemRef>& refs = m_fileList.Refs();
    pJob->refs.reserve(rows.size());
    for (int nRow : rows) {
        if (nRow >= 0 && static_cast<std::size_t>(nRow) < refs.size())
            pJob->refs.push_back(refs[static_cast<std::size_t>(nRow)]);
    }
    pJob->columns = columns;
    pJob->bFormattedSize = m_chkFormattedSize->isChecked();
    pJob->store = m_fileList.Store();
    StartWork(
        WorkKind::kCopy, pJob->refs.size(),
        [pJob](WorkControl& control) {
            pJob->strText =
                CopiedText(ItemsOf(*pJob->store, pJob->refs), pJob->columns, pJob->bFormattedSize, &control);
        },
        [pJob] { QApplication::clipboard()->setText(pJob->strText); });
}

}  // namespace norvane
