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
// A comparison's rows are positions in its order, and the comparison
// keeps what they point into.
struct SortJob {
    std::vector<std::uint32_t> refs;
    std::shared_ptr<const FileStore> store;  // the records stay while it runs
    std::shared_ptr<const Comparison> comparison;
    FileListModel::NewOrder order;

    std::vector<int> Order(int nColumn, bool bDescending, WorkControl& control) const {
        if (comparison != nullptr)
            return ComparisonSortOrder(RowsOf(*comparison, refs), nColumn, bDescending, &control);
        return SortOrder(ItemsOf(*store, refs), nColumn, bDescending, &control);
    }
};

struct CopyJob {
    std::vector<std::uint32_t> refs;  // of the rows to copy
    std::vector<int> columns;         // list columns
    bool bFormattedSize = false;
    std::shared_ptr<const FileStore> store;
    std::shared_ptr<const Comparison> comparison;
    QString strText;

    QString Text(WorkControl& control) const {
        if (comparison != nullptr) return CopiedText(RowsOf(*comparison, refs), columns, bFormattedSize, &control);
        return CopiedText(ItemsOf(*store, refs), columns, bFormattedSize, &control);
    }
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
            static_cast<StatusLine*>(m_pStatus)->SetStatus(m_strRestingStatus, m_strRestingDetail);
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

void CMainDlg::OnColumnClick(int nModelColumn) {
    if (IsScanning() || IsWorking()) return;  // the header is greyed meanwhile
    // A comparison's change column is the model's first; the window keeps
    // list columns.
    const int nColumn = m_fileList.ListColumn(nModelColumn);
    // The window remembers the column it sorted by; the list's selection
    // mark is the user's anchor for Shift+click and is left alone.
    SortList(nColumn, m_nSortColumn == nColumn && m_bSortAscending);
}

void CMainDlg::SortList(int nColumn, bool bDescending) {
    if (m_fileList.rowCount() <= m_nRowsAtOnce) {
        m_fileList.Sort(nColumn, bDescending);
        SortDone(nColumn, bDescending);
        return;
    }
    // The heading keeps its arrow until the rows are in their new order
    // (the header turned it at the click).
    m_listFiles->SetSortArrow(m_fileList.ModelColumn(m_nSortColumn), m_bSortAscending);
    auto pJob = std::make_shared<SortJob>();
    pJob->refs = m_fileList.Refs();
    pJob->store = m_fileList.Store();
    pJob->comparison = m_fileList.GetComparisonShare();
    StartWork(
        WorkKind::kSort, pJob->refs.size(),
        [pJob, nColumn, bDescending](WorkControl& control) {
            const std::vector<int> order = pJob->Order(nColumn, bDescending, control);
            if (control.StopRequested()) return;
            pJob->order = FileListModel::PrepareOrder(pJob->refs, order);
            pJob->order.comparison = pJob->comparison.get();
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
    m_listFiles->SetSortArrow(m_fileList.ModelColumn(nColumn), m_bSortAscending);
}

void CMainDlg::CopyRows(const std::vector<int>& rows, const std::vector<int>& columns) {
    if (rows.size() <= static_cast<std::size_t>(m_nRowsAtOnce))
        return QApplication::clipboard()->setText(m_fileList.RowsText(rows, columns));
    if (IsWorking()) {
        static_cast<StatusLine*>(m_pStatus)->SetStatus(QStringLiteral("ほかの処理の終了後にコピーしてください"));
        return;
    }
    auto pJob = std::make_shared<CopyJob>();
    const std::vector<std::uint32_t>& refs = m_fileList.Refs();
    pJob->refs.reserve(rows.size());
    for (int nRow : rows) {
        if (nRow >= 0 && static_cast<std::size_t>(nRow) < refs.size())
            pJob->refs.push_back(refs[static_cast<std::size_t>(nRow)]);
    }
    for (int nColumn : columns) {
        if (nColumn >= 0 && nColumn < m_fileList.columnCount()) pJob->columns.push_back(m_fileList.ListColumn(nColumn));
    }
    pJob->bFormattedSize = m_chkFormattedSize->isChecked();
    pJob->store = m_fileList.Store();
    pJob->comparison = m_fileList.GetComparisonShare();
    StartWork(
        WorkKind::kCopy, pJob->refs.size(), [pJob](WorkControl& control) { pJob->strText = pJob->Text(control); },
        [pJob] { QApplication::clipboard()->setText(pJob->strText); });
}

}  // namespace norvane
