#include "framework/ListCtrlModel.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>

namespace norvane {
namespace {

// Room for a cell text: a 260-byte path in a double-byte code page grows by
// half in UTF-8.
constexpr int kTextBufferSize = 1024;

// Length of the longest prefix of text[0, nLength) that does not end inside a
// UTF-8 sequence, so a cut text never shows a broken character.
std::size_t CompleteUtf8Length(const char* text, std::size_t nLength) {
    std::size_t nStart = nLength;
    int nBack = 0;
    while (nStart > 0 && nBack < 4) {
        const auto c = static_cast<unsigned char>(text[nStart - 1]);
        if ((c & 0xC0) != 0x80) break;
        --nStart;
        ++nBack;
    }
    if (nStart == 0) return nLength;
    const auto lead = static_cast<unsigned char>(text[nStart - 1]);
    std::size_t nNeed = 1;
    if (lead >= 0xF0) nNeed = 4;
    else if (lead >= 0xE0) nNeed = 3;
    else if (lead >= 0xC0) nNeed = 2;
    return (static_cast<std::size_t>(nBack) + 1 >= nNeed) ? nLength : nStart - 1;
}

Qt::Alignment AlignmentOf(int nFormat) {
    switch (nFormat & 3) {
    case LVCFMT_RIGHT:
        return Qt::AlignRight | Qt::AlignVCenter;
    case LVCFMT_CENTER:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

// Bottom-up merge sort of the row order. Unlike std::stable_sort it only ever
// compares elements inside the ranges being merged, so a comparison that is
// not a strict weak order gives some order but never reads out of bounds.
void MergeSort(std::vector<int>& order, const std::function<bool(int, int)>& fnLess) {
    const std::size_t n = order.size();
    std::vector<int> buffer(n);
    for (std::size_t nWidth = 1; nWidth < n; nWidth *= 2) {
        for (std::size_t nLeft = 0; nLeft < n; nLeft += 2 * nWidth) {
            const std::size_t nMid = std::min(nLeft + nWidth, n);
            const std::size_t nRight = std::min(nLeft + 2 * nWidth, n);
            std::size_t i = nLeft;
            std::size_t j = nMid;
            std::size_t k = nLeft;
            while (i < nMid && j < nRight) {
                // Take from the right only when strictly less: stability.
                if (fnLess(order[j], order[i])) buffer[k++] = order[j++];
                else buffer[k++] = order[i++];
            }
            while (i < nMid) buffer[k++] = order[i++];
            while (j < nRight) buffer[k++] = order[j++];
        }
        order.swap(buffer);
    }
}

}  // namespace

ListCtrlModel::ListCtrlModel(QObject* pParent) : QAbstractTableModel(pParent) {}

ListCtrlModel::~ListCtrlModel() = default;

int ListCtrlModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_nAnnounced;
}

int ListCtrlModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant ListCtrlModel::data(const QModelIndex& index, int nRole) const {
    if (!index.isValid() || index.row() >= m_nAnnounced || index.column() >= columnCount()) return {};
    if (nRole == Qt::TextAlignmentRole) {
        return QVariant::fromValue(AlignmentOf(m_columns[static_cast<std::size_t>(index.column())].nFormat));
    }
    if (nRole != Qt::DisplayRole || m_bDetached || !m_fnNotify) return {};

    std::array<char, kTextBufferSize> buffer{};
    NMLVDISPINFO info;
    info.hdr.hwndFrom = m_pSender;
    info.hdr.idFrom = static_cast<UINT_PTR>(m_nId);
    info.hdr.code = LVN_GETDISPINFO;
    info.item.mask = LVIF_TEXT;
    info.item.iItem = index.row();
    info.item.iSubItem = index.column();
    info.item.pszText = buffer.data();
    info.item.cchTextMax = kTextBufferSize;
    info.item.lParam = static_cast<LPARAM>(m_rows[static_cast<std::size_t>(index.row())]);
    LRESULT result = 0;
    Notify(info.hdr, result);
    // The owner may point pszText at its own text instead of filling the
    // buffer, as Windows allows.
    const char* text = info.item.pszText;
    if (text == nullptr) return QString();
    const std::size_t nMax = text == buffer.data() ? buffer.size() - 1 : std::size_t{4096};
    const std::size_t nLength = CompleteUtf8Length(text, strnlen(text, nMax));
    return QString::fromUtf8(text, static_cast<qsizetype>(nLength));
}

QVariant ListCtrlModel::headerData(int nSection, Qt::Orientation orientation, int nRole) const {
    if (orientation != Qt::Horizontal || nSection < 0 || nSection >= columnCount()) return {};
    const Column& column = m_columns[static_cast<std::size_t>(nSection)];
    if (nRole == Qt::DisplayRole) return column.strHeading;
    if (nRole == Qt::TextAlignmentRole) return QVariant::fromValue(AlignmentOf(column.nFormat));
    return {};
}

Qt::ItemFlags ListCtrlModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void ListCtrlModel::Notify(NMHDR& hdr, LRESULT& result) const {
    if (m_fnNotify) m_fnNotify(hdr, result);
}

void ListCtrlModel::NotifyColumnClick(int nColumn) const {
    NMLISTVIEW info;
    info.hdr.hwndFrom = m_pSender;
    info.hdr.idFrom = static_cast<UINT_PTR>(m_nId);
    info.hdr.code = LVN_COLUMNCLICK;
    info.iItem = -1;
    info.iSubItem = nColumn;
    LRESULT result = 0;
    Notify(info.hdr, result);
}

int ListCtrlModel::InsertColumn(int nCol, const QString& strHeading, int nFormat, int /*nWidth*/) {
    if (nCol < 0) return -1;
    const int nAt = std::min(nCol, columnCount());
    beginInsertColumns(QModelIndex(), nAt, nAt);
    m_columns.insert(m_columns.begin() + nAt, Column{strHeading, nFormat});
    endInsertColumns();
    return nAt;
}

int ListCtrlModel::InsertItems(int nItem, std::span<const DWORD_PTR> items) {
    if (nItem < 0) return -1;
    const int nAt = std::min(nItem, ItemCount());
    if (items.empty()) return nAt;
    // The mark follows its row, as the focus does.
    if (m_nSelectionMark >= nAt) m_nSelectionMark += static_cast<int>(items.size());
    if (nAt >= m_nAnnounced) {
        // Inside the tail the view does not know yet: announced later at once.
        m_rows.insert(m_rows.begin() + nAt, items.begin(), items.end());
        if (!m_bFlushPosted) {
            m_bFlushPosted = true;
            QMetaObject::invokeMethod(this, &ListCtrlModel::Flush, Qt::QueuedConnection);
        }
        return nAt;
    }
    Flush();
    const int nCount = static_cast<int>(items.size());
    beginInsertRows(QModelIndex(), nAt, nAt + nCount - 1);
    m_rows.insert(m_rows.begin() + nAt, items.begin(), items.end());
    m_nAnnounced += nCount;
    endInsertRows();
    return nAt;
}

void ListCtrlModel::Flush() {
    m_bFlushPosted = false;
    const int nCount = ItemCount();
    if (nCount <= m_nAnnounced) return;
    beginInsertRows(QModelIndex(), m_nAnnounced, nCount - 1);
    m_nAnnounced = nCount;
    endInsertRows();
}

bool ListCtrlModel::DeleteItem(int nItem) {
    if (nItem < 0 || nItem >= ItemCount()) return false;
    Flush();
    beginRemoveRows(QModelIndex(), nItem, nItem);
    m_rows.erase(m_rows.begin() + nItem);
    --m_nAnnounced;
    endRemoveRows();
    if (m_nSelectionMark == nItem) m_nSelectionMark = -1;
    else if (m_nSelectionMark > nItem) --m_nSelectionMark;
    return true;
}

void ListCtrlModel::DeleteAllItems() {
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_nAnnounced = 0;
    endResetModel();
    m_nSelectionMark = -1;
}

DWORD_PTR ListCtrlModel::ItemData(int nItem) const {
    if (nItem < 0 || nItem >= ItemCount()) return 0;
    return m_rows[static_cast<std::size_t>(nItem)];
}

bool ListCtrlModel::SetItemData(int nItem, DWORD_PTR dwData) {
    if (nItem < 0 || nItem >= ItemCount()) return false;
    m_rows[static_cast<std::size_t>(nItem)] = dwData;
    if (nItem < m_nAnnounced) emit dataChanged(index(nItem, 0), index(nItem, std::max(0, columnCount() - 1)));
    return true;
}

void ListCtrlModel::SortItems(const std::function<int(LPARAM, LPARAM)>& fnCompare) {
    Flush();
    const std::size_t nCount = m_rows.size();
    if (nCount < 2) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> order(nCount);
    std::iota(order.begin(), order.end(), 0);
    MergeSort(order, [&](int a, int b) {
        return fnCompare(static_cast<LPARAM>(m_rows[static_cast<std::size_t>(a)]),
                         static_cast<LPARAM>(m_rows[static_cast<std::size_t>(b)])) < 0;
    });
    ApplyOrder(order);
}

void ListCtrlModel::ReorderItems(const std::function<std::vector<int>(const std::vector<DWORD_PTR>&)>& fnOrder) {
    Flush();
    if (m_rows.size() < 2) return;
    std::vector<int> order = fnOrder(m_rows);
    // Only a permutation of the rows is taken.
    std::vector<char> seen(m_rows.size(), 0);
    if (order.size() != m_rows.size()) return;
    for (int nRow : order) {
        if (nRow < 0 || static_cast<std::size_t>(nRow) >= m_rows.size() || seen[static_cast<std::size_t>(nRow)]) return;
        seen[static_cast<std::size_t>(nRow)] = 1;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    ApplyOrder(order);
}

// Puts old row order[i] at row i; the caller has announced the layout change.
void ListCtrlModel::ApplyOrder(const std::vector<int>& order) {
    const std::size_t nCount = order.size();
    std::vector<DWORD_PTR> sorted(nCount);
    std::vector<int> newRow(nCount);
    for (std::size_t i = 0; i < nCount; ++i) {
        const auto nOld = static_cast<std::size_t>(order[i]);
        sorted[i] = m_rows[nOld];
        newRow[nOld] = static_cast<int>(i);
    }
    m_rows.swap(sorted);
    // The selection and the current item follow their rows.
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& idx : from) {
        to.append(index(newRow[static_cast<std::size_t>(idx.row())], idx.column()));
    }
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int ListCtrlModel::SetSelectionMark(int nMark) {
    const int nOld = m_nSelectionMark;
    m_nSelectionMark = nMark;
    return nOld;
}

}  // namespace norvane
