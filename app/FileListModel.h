// The rows of the main window's list: one record of the catalogue per row,
// read where the catalogue keeps it (nothing is copied; a row holds the
// record's four-byte number in its store), each cell's text made by the
// catalogue's cell-text functions when the list shows it. Rows arrive in
// batches at the end, so a scan can append as it finds files; sorting
// reorders them in place.
//
// The list can show a comparison instead: its rows (the new values, a
// removed file's old ones), a changed cell marked by a colour that reads on
// light and dark themes and in bold, and said in words to screen readers
// and in its tip ("変更前 ..."). The change column, when the window has put
// it in, is the model's first.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "catalogue/Comparison.h"
#include "catalogue/FileItem.h"
#include "framework/ListCtrlModel.h"

namespace norvane {

class FileListModel : public ListCtrlModel {
public:
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;

    // Appends rows after the last: records of the list's store.
    void AppendRows(std::span<const FileItem* const> items);
    // Removes every row; the rows to come are records of store, which the
    // list keeps while it shows them.
    void Clear(std::shared_ptr<const FileStore> store = nullptr);
    // Shows rows (records of store, in scan order) in place of every row.
    void SetRows(std::shared_ptr<const FileStore> store, std::vector<ItemRef> rows);
    // The records and the rows in scan order, whatever the list's order.
    const std::shared_ptr<const FileStore>& Store() const { return m_pStore; }
    const std::vector<ItemRef>& ScanOrder() const { return m_scanOrder.empty() ? m_rows : m_scanOrder; }
    const FileItem* Item(int nRow) const;
    // The records of every row, in the list's order.
    std::vector<const FileItem*> Items() const;

    // Sorts by a list column (or a comparison's change column), stably
    // (equal rows keep their order).
    void Sort(int nColumn, bool bDescending);

    // Shows a comparison in place of the rows until Clear or SetRows: its
    // rows in its order, unchanged files only with bShowUnchanged. Store and
    // ScanOrder stay the list's own (the comparison's new side).
    void SetComparison(std::shared_ptr<const Comparison> comparison, bool bShowUnchanged);
    // Shows or leaves out the unchanged files, the rows in the comparison's
    // order again.
    void SetShowUnchanged(bool bShowUnchanged);
    const Comparison* GetComparison() const { return m_pComparison.get(); }
    const ComparedRow* Compared(int nRow) const;
    // Model columns and list columns (kColumnChange for the change column),
    // once the change column is in.
    bool HasChangeColumn() const { return columnCount() > kColumnCount; }
    int ListColumn(int nModelColumn) const {
        return HasChangeColumn() ? (nModelColumn == 0 ? kColumnChange : nModelColumn - 1) : nModelColumn;
    }
    int ModelColumn(int nListColumn) const {
        return HasChangeColumn() ? (nListColumn == kColumnChange ? 0 : nListColumn + 1) : nListColumn;
    }

    QVariant data(const QModelIndex& index, int nRole = Qt::DisplayRole) const override;
    // Sizes as short texts with a unit, or plain numbers: the size column
    // shows them anew.
    void SetFormattedSize(bool bFormattedSize);

    // The rows to copy, made straight from the records.
    QString RowsText(const std::vector<int>& rows, const std::vector<int>& columns) const override;

protected:
    QString CellText(int nRow, int nColumn) const override;

private:
    // The rows of the comparison in its order, less the unchanged ones
    // unless they are shown.
    void FillCompared();
    // The old value of a changed cell, as copying and the tip give it.
    QString ChangedText(const ComparedRow& row, int nListColumn) const;

    std::shared_ptr<const FileStore> m_pStore;
    std::shared_ptr<const Comparison> m_pComparison;
    std::vector<std::uint32_t> m_compared;  // positions in the comparison's order
    bool m_bShowUnchanged = false;
    std::vector<ItemRef> m_rows;
    std::vector<ItemRef> m_scanOrder;  // once sorted: the rows as they came
    bool m_bFormattedSize = false;
    mutable std::string m_strCell;  // reused for every cell
};

}  // namespace norvane
