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
    ApplyOrder(PrepareOrder(m_rows, SortOrder(Items(), nColumn, bDescending)));
}

FileListModel::NewOrder FileListModel::PrepareOrder(const std::vector<ItemRef>& refs, const std::vector<int>& order) {
    NewOrder prepared;
    if (order.size() != refs.size()) return prepared;
    prepared.newRow = NewRows(order);
    if (prepared.newRow.empty()) return prepared;
    prepared.rows.resize(refs.size());
    for (std::size_t i = 0; i < refs.size(); ++i) prepared.rows[i] = refs[static_cast<std::size_t>(order[i])];
    return prepared;
}

void FileListModel::ApplyOrder(NewOrder order) {
    if (order.rows.size() != m_rows.size() || order.rows.empty()) return;
    // A catalogue keeps the scan's order, which a sort loses.
    if (m_scanOrder.empty()) m_scanOrder = m_rows;
    MoveRows(order.newRow, [&] { m_rows.swap(order.rows); });
}

std::vector<const FileItem*> ItemsOf(const FileStore& store, const std::vector<ItemRef>& refs) {
    std::vector<const FileItem*> items(refs.size());
    for (std::size_t i = 0; i < refs.size(); ++i) items[i] = store.Item(refs[i]);
    return items;
}

void FileListModel::SetFormattedSize(bool bFormattedSize) {
    m_bFormattedSize = bFormattedSize;
    if (!m_rows.empty()) emit dataChanged(index(0, kColumnSize), index(rowCount() - 1, kColumnSize));
}

QString FileListModel::RowsText(const std::vector<int>& rows, const std::vector<int>& columns) const {
    std::vector<const FileItem*> items;
    for (int nRow : rows) {
        if (const FileItem* pItem = Item(nRow)) items.push_back(pItem);
    }
    std::vector<int> shown;
    for (int nColumn : columns) {
        if (nColumn >= 0 && nColumn < columnCount()) shown.push_back(nColumn);
    }
    return CopiedText(items, shown, m_bFormattedSize);
}

QString CopiedText(const std::vector<const FileItem*>& items, const std::vector<int>& columns, bool bFormattedSize,
                   WorkControl* pControl) {
    constexpr std::size_t kPiece = 4096;
    std::string strText;
    if (pControl != nullptr) pControl->SetTotal(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (pControl != nullptr && i % kPiece == 0 && i > 0) {
            if (pControl->StopRequested()) return {};
            pControl->Advance(kPiece);
        }
        AppendRowLine(strText, *items[i], columns, bFormattedSize);
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
