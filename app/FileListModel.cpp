#include "app/FileListModel.h"

#include <bit>
#include <cassert>
#include <utility>

#include "catalogue/CellText.h"
#include "catalogue/SortRows.h"
#include "platform/CodePage.h"

namespace norvane {

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

void FileListModel::AppendRows(std::span<const FileItem* const> items) {
    if (items.empty()) return;
    const int nFirst = rowCount();
    beginInsertRows(QModelIndex(), nFirst, nFirst + static_cast<int>(items.size()) - 1);
    // The row list doubles from a power of two, as the lister's does: with
    // growth that followed the batches, it could be copied once more late in
    // a scan, the old and the new copy held together at the scan's peak.
    if (m_rows.size() + items.size() > m_rows.capacity()) m_rows.reserve(std::bit_ceil(m_rows.size() + items.size()));
    for (const FileItem* pItem : items) {
        assert(m_pStore != nullptr && m_pStore->Item(pItem->ref) == pItem);
        m_rows.push_back(pItem->ref);
    }
    endInsertRows();
}

void FileListModel::Clear(std::shared_ptr<const FileStore> store) {
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    std::vector<ItemRef>().swap(m_scanOrder);
    m_pStore = std::move(store);
    endResetModel();
}

void FileListModel::SetRows(std::shared_ptr<const FileStore> store, std::vector<ItemRef> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    std::vector<ItemRef>().swap(m_scanOrder);
    m_pStore = std::move(store);
    endResetModel();
}

const FileItem* FileListModel::Item(int nRow) const {
    return nRow >= 0 && nRow < rowCount() ? m_pStore->Item(m_rows[static_cast<std::size_t>(nRow)]) : nullptr;
}

std::vector<const FileItem*> FileListModel::Items() const {
    std::vector<const FileItem*> items(m_rows.size());
    for (std::size_t i = 0; i < items.size(); ++i) items[i] = m_pStore->Item(m_rows[i]);
    return items;
}

void FileListModel::Sort(int nColumn, bool bDescending) {
    // The order is worked out from keys (SortOrder): a million rows sort in
    // well under a second, where comparing records one pair at a time does not.
    const std::vector<int> order = SortOrder(Items(), nColumn, bDescending);
    // A catalogue keeps the scan's order, which a sort loses.
    if (m_scanOrder.empty()) m_scanOrder = m_rows;
    Reorder(order, [&] {
        std::vector<ItemRef> sorted(m_rows.size());
        for (std::size_t i = 0; i < sorted.size(); ++i) sorted[i] = m_rows[static_cast<std::size_t>(order[i])];
        m_rows.swap(sorted);
    });
}

void FileListModel::SetFormattedSize(bool bFormattedSize) {
    m_bFormattedSize = bFormattedSize;
    if (!m_rows.empty()) emit dataChanged(index(0, kColumnSize), index(rowCount() - 1, kColumnSize));
}

QString FileListModel::RowsText(const std::vector<int>& rows, const std::vector<int>& columns) const {
    std::string strText;
    for (int nRow : rows) {
        const FileItem* pItem = Item(nRow);
        if (pItem == nullptr) continue;
        bool bFirst = true;
        for (int nColumn : columns) {
            if (nColumn < 0 || nColumn >= columnCount()) continue;
            if (!std::exchange(bFirst, false)) strText += '\t';
            const std::size_t nStart = strText.size();
            AppendCellText(strText, *pItem, nColumn, m_bFormattedSize);
            // A tab or line break in a name would split the row: a blank.
            for (std::size_t i = nStart; i < strText.size(); ++i) {
                if (strText[i] == '\t' || strText[i] == '\n' || strText[i] == '\r') strText[i] = ' ';
            }
        }
        strText += '\n';
    }
    if (CurrentCodePage() != kCodePageUtf8) strText = CodePageToUtf8(strText);
    return QString::fromUtf8(strText.data(), static_cast<qsizetype>(strText.size()));
}

QString FileListModel::CellText(int nRow, int nColumn) const {
    m_strCell.clear();
    AppendCellText(m_strCell, *m_pStore->Item(m_rows[static_cast<std::size_t>(nRow)]), nColumn, m_bFormattedSize);
    if (CurrentCodePage() != kCodePageUtf8) m_strCell = CodePageToUtf8(m_strCell);
    return QString::fromUtf8(m_strCell.data(), static_cast<qsizetype>(m_strCell.size()));
}

}  // namespace norvane
