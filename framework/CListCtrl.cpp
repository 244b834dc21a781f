#include "framework/CListCtrl.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>

#include <algorithm>

#include "framework/ListCtrlModel.h"
#include "framework/ListCtrlView.h"

namespace norvane {

CListCtrl::CListCtrl() = default;

CListCtrl::~CListCtrl() {
    // The view may outlive this handle (it belongs to the dialog's window):
    // it must not keep a model whose owner is gone.
    Detach();
    Disconnect();
}

QTableView* CListCtrl::GetView() const { return qobject_cast<QTableView*>(m_pWidget.data()); }

void CListCtrl::Attach(QWidget* pWidget, int nId) {
    auto* pView = qobject_cast<QTableView*>(pWidget);
    Detach();
    Disconnect();
    CWnd::Attach(pWidget, nId);
    m_pModel = std::make_unique<ListCtrlModel>();
    m_pModel->SetSender(pWidget, nId);
    m_pModel->SetNotifyHandler([this](NMHDR& hdr, LRESULT& result) {
        if (m_fnNotify) m_fnNotify(&hdr, &result);
    });
    m_dwExStyle = 0;
    m_dwStyle = 0;
    m_bSelDirty = true;
    if (pView == nullptr) return;
    QItemSelectionModel* pOldSelection = pView->selectionModel();
    pView->setModel(m_pModel.get());
    if (pOldSelection != nullptr && pOldSelection != pView->selectionModel()) pOldSelection->deleteLater();
    pView->setShowGrid(false);
    Connect();
}

QTableView* CListCtrl::Create(QWidget* pParent, int nId) {
    auto* pView = new ListCtrlView(pParent);
    Attach(pView, nId);
    return pView;
}

void CListCtrl::Connect() {
    QTableView* pView = GetView();
    ListCtrlModel* pModel = m_pModel.get();
    auto dirty = [this] { m_bSelDirty = true; };
    m_connections.push_back(QObject::connect(pView->selectionModel(), &QItemSelectionModel::selectionChanged, pModel, dirty));
    m_connections.push_back(QObject::connect(pModel, &QAbstractItemModel::layoutChanged, pModel, dirty));
    m_connections.push_back(QObject::connect(pModel, &QAbstractItemModel::rowsInserted, pModel, dirty));
    m_connections.push_back(QObject::connect(pModel, &QAbstractItemModel::rowsRemoved, pModel, dirty));
    m_connections.push_back(QObject::connect(pModel, &QAbstractItemModel::modelReset, pModel, dirty));
    m_connections.push_back(QObject::connect(pView->horizontalHeader(), &QHeaderView::sectionClicked, pModel,
                                             [pModel](int nColumn) { pModel->NotifyColumnClick(nColumn); }));
    // When the window goes, so do its rows, as with a destroyed list control.
    m_connections.push_back(QObject::connect(pView, &QObject::destroyed, pModel, [this] {
        m_bSelDirty = true;
        Disconnect();
        m_pModel.reset();
    }));
}

void CListCtrl::Disconnect() {
    for (const QMetaObject::Connection& connection : m_connections) QObject::disconnect(connection);
    m_connections.clear();
}

void CListCtrl::Detach() {
    if (!m_pModel) return;
    m_pModel->SetDetached(true);
    if (QTableView* pView = GetView(); pView != nullptr && pView->model() == m_pModel.get()) {
        Disconnect();
        QItemSelectionModel* pSelection = pView->selectionModel();
        pView->setModel(nullptr);
        if (pSelection != nullptr && pSelection != pView->selectionModel()) delete pSelection;
    }
}

void CListCtrl::SetNotifyHandler(std::function<void(NMHDR*, LRESULT*)> fnHandler) {
    m_fnNotify = std::move(fnHandler);
}

int CListCtrl::InsertColumn(int nCol, std::string_view strHeading, int nFormat, int nWidth) {
    if (!m_pModel) return -1;
    const int nAt = m_pModel->InsertColumn(nCol, QString::fromUtf8(strHeading.data(), static_cast<qsizetype>(strHeading.size())),
                                           nFormat, nWidth);
    QTableView* pView = GetView();
    if (nAt >= 0 && pView != nullptr && pView->model() == m_pModel.get()) {
        pView->horizontalHeader()->resizeSection(nAt, nWidth >= 0 ? nWidth : pView->horizontalHeader()->defaultSectionSize());
    }
    return nAt;
}

int CListCtrl::GetColumnWidth(int nCol) const {
    QTableView* pView = GetView();
    if (pView == nullptr || !m_pModel || nCol < 0 || nCol >= m_pModel->columnCount()) return 0;
    return pView->horizontalHeader()->sectionSize(nCol);
}

int CListCtrl::InsertItem(int nItem, DWORD_PTR dwData) {
    return InsertItems(nItem, std::span<const DWORD_PTR>(&dwData, 1));
}

int CListCtrl::InsertItems(int nItem, std::span<const DWORD_PTR> items) {
    if (!m_pModel) return -1;
    return m_pModel->InsertItems(nItem, items);
}

bool CListCtrl::DeleteItem(int nItem) { return m_pModel && m_pModel->DeleteItem(nItem); }

bool CListCtrl::DeleteAllItems() {
    if (!m_pModel) return false;
    m_pModel->DeleteAllItems();
    return true;
}

int CListCtrl::GetItemCount() const { return m_pModel ? m_pModel->ItemCount() : 0; }

DWORD_PTR CListCtrl::GetItemData(int nItem) const { return m_pModel ? m_pModel->ItemData(nItem) : 0; }

bool CListCtrl::SetItemData(int nItem, DWORD_PTR dwData) { return m_pModel && m_pModel->SetItemData(nItem, dwData); }

bool CListCtrl::SortItems(PFNLVCOMPARE pfnCompare, DWORD_PTR dwData) {
    if (pfnCompare == nullptr) return false;
    const auto lParamSort = static_cast<LPARAM>(dwData);
    return SortItems([pfnCompare, lParamSort](LPARAM a, LPARAM b) { return pfnCompare(a, b, lParamSort); });
}

bool CListCtrl::SortItems(const std::function<int(LPARAM, LPARAM)>& fnCompare) {
    if (!m_pModel || !fnCompare) return false;
    m_pModel->SortItems(fnCompare);
    m_bSelDirty = true;
    return true;
}

bool CListCtrl::SortItemsByOrder(const std::function<std::vector<int>(const std::vector<DWORD_PTR>&)>& fnOrder) {
    if (!m_pModel || !fnOrder) return false;
    m_pModel->ReorderItems(fnOrder);
    m_bSelDirty = true;
    return true;
}

const std::vector<std::pair<int, int>>& CListCtrl::SelectedRuns() const {
    if (!m_bSelDirty) return m_selRuns;
    m_selRuns.clear();
    m_bSelDirty = false;
    QTableView* pView = GetView();
    if (pView == nullptr || !m_pModel || pView->model() != m_pModel.get() || pView->selectionModel() == nullptr) {
        return m_selRuns;
    }
    // Walk the ranges (selectedRows() is quadratic in their number).
    const QItemSelection selection = pView->selectionModel()->selection();
    m_selRuns.reserve(static_cast<std::size_t>(selection.size()));
    for (const QItemSelectionRange& range : selection) {
        if (range.isValid()) m_selRuns.emplace_back(range.top(), range.bottom());
    }
    std::sort(m_selRuns.begin(), m_selRuns.end());
    std::size_t nOut = 0;
    for (const auto& run : m_selRuns) {
        if (nOut > 0 && run.first <= m_selRuns[nOut - 1].second + 1) {
            m_selRuns[nOut - 1].second = std::max(m_selRuns[nOut - 1].second, run.second);
        } else {
            m_selRuns[nOut++] = run;
        }
    }
    m_selRuns.resize(nOut);
    return m_selRuns;
}

UINT CListCtrl::GetSelectedCount() const {
    long long nCount = 0;
    for (const auto& run : SelectedRuns()) nCount += run.second - run.first + 1;
    return static_cast<UINT>(nCount);
}

int CListCtrl::GetNextItem(int nItem, UINT nFlags) const {
    const int nCount = GetItemCount();
    const int nStart = std::max(nItem + 1, 0);
    if (nStart >= nCount) return -1;
    if (nFlags & LVNI_FOCUSED) {
        QTableView* pView = GetView();
        const int nFocus = (pView != nullptr && pView->currentIndex().isValid()) ? pView->currentIndex().row() : -1;
        return nFocus >= nStart ? nFocus : -1;
    }
    if (!(nFlags & LVNI_SELECTED)) return nStart;
    const auto& runs = SelectedRuns();
    // The first run that ends at or after nStart.
    auto it = std::lower_bound(runs.begin(), runs.end(), nStart,
                               [](const std::pair<int, int>& run, int nRow) { return run.second < nRow; });
    if (it == runs.end()) return -1;
    const int nNext = std::max(it->first, nStart);
    return nNext < nCount ? nNext : -1;
}

bool CListCtrl::SetItemState(int nItem, UINT nState, UINT nStateMask) {
    QTableView* pView = GetView();
    if (!m_pModel || pView == nullptr || pView->model() != m_pModel.get()) return false;
    m_pModel->Flush();
    const int nCount = m_pModel->rowCount();
    if (nItem < -1 || nItem >= nCount) return false;
    QItemSelectionModel* pSelection = pView->selectionModel();
    if (nStateMask & LVIS_SELECTED) {
        const bool bSelect = (nState & LVIS_SELECTED) != 0;
        if (nCount > 0) {
            const int nFirst = nItem < 0 ? 0 : nItem;
            const int nLast = nItem < 0 ? nCount - 1 : nItem;
            const QItemSelection range(m_pModel->index(nFirst, 0),
                                       m_pModel->index(nLast, std::max(0, m_pModel->columnCount() - 1)));
            pSelection->select(range, (bSelect ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                          QItemSelectionModel::Rows);
        }
    }
    if ((nStateMask & LVIS_FOCUSED) && nItem >= 0) {
        if (nState & LVIS_FOCUSED) pSelection->setCurrentIndex(m_pModel->index(nItem, 0), QItemSelectionModel::NoUpdate);
        else if (pView->currentIndex().row() == nItem) pSelection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    m_bSelDirty = true;
    return true;
}

UINT CListCtrl::GetItemState(int nItem, UINT nMask) const {
    UINT nState = 0;
    if (nItem < 0 || nItem >= GetItemCount()) return 0;
    if (nMask & LVIS_SELECTED) {
        const auto& runs = SelectedRuns();
        auto it = std::lower_bound(runs.begin(), runs.end(), nItem,
                                   [](const std::pair<int, int>& run, int nRow) { return run.second < nRow; });
        if (it != runs.end() && it->first <= nItem) nState |= LVIS_SELECTED;
    }
    if (nMask & LVIS_FOCUSED) {
        QTableView* pView = GetView();
        if (pView != nullptr && pView->currentIndex().isValid() && pView->currentIndex().row() == nItem) {
            nState |= LVIS_FOCUSED;
        }
    }
    return nState;
}

int CListCtrl::GetSelectionMark() const { return m_pModel ? m_pModel->SelectionMark() : -1; }

int CListCtrl::SetSelectionMark(int nMark) { return m_pModel ? m_pModel->SetSelectionMark(nMark) : -1; }

DWORD CListCtrl::SetExtendedStyle(DWORD dwExStyle) {
    const DWORD dwOld = m_dwExStyle;
    m_dwExStyle = dwExStyle;
    if (QTableView* pView = GetView()) {
        pView->setShowGrid((dwExStyle & LVS_EX_GRIDLINES) != 0);
        // Rows are always selected whole; without full-row selection Windows
        // highlights the first cell only, which a table view cannot tell apart.
    }
    return dwOld;
}

bool CListCtrl::ModifyStyle(DWORD dwRemove, DWORD dwAdd) {
    m_dwStyle = (m_dwStyle & ~dwRemove) | dwAdd;
    return GetView() != nullptr;
}

bool CListCtrl::EnsureVisible(int nItem, bool bPartialOk) {
    QTableView* pView = GetView();
    if (!m_pModel || pView == nullptr || nItem < 0 || nItem >= GetItemCount()) return false;
    m_pModel->Flush();
    pView->scrollTo(m_pModel->index(nItem, 0),
                    bPartialOk ? QAbstractItemView::EnsureVisible : QAbstractItemView::PositionAtCenter);
    return true;
}

void CListCtrl::Invalidate() {
    if (QTableView* pView = GetView()) pView->viewport()->update();
}

}  // namespace norvane
