// The rows of the main window's list: one record of the catalogue per row,
// read where the catalogue keeps it (nothing is copied; a row holds the
// record's four-byte number in its store), each cell's text made by the
// catalogue's cell-text functions when the list shows it. Rows arrive in
// batches at the end, so a scan can append as it finds files; sorting
// reorders them in place.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "catalogue/FileItem.h"
#include "catalogue/WorkControl.h"
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
    // The records and the rows in scan order, whatever the list's order
    // (work off the window's thread holds a share of the records).
    const std::shared_ptr<const FileStore>& Store() const { return m_pStore; }
    const std::vector<ItemRef>& ScanOrder() const { return m_scanOrder.empty() ? m_rows : m_scanOrder; }
    const FileItem* Item(int nRow) const;
    // The records of every row, in the list's order.
    std::vector<const FileItem*> Items() const;

    // The record numbers of every row, in the list's order (work off the
    // window's thread gets a copy).
    const std::vector<ItemRef>& Refs() const { return m_rows; }

    // Sorts by a list column, stably (equal rows keep their order).
    void Sort(int nColumn, bool bDescending);
    // A new order of the rows, worked out off the window's thread: the rows'
    // record numbers in it, and where each old row goes.
    struct NewOrder {
        std::vector<ItemRef> rows;
        std::vector<int> newRow;
    };
    // Any thread: the order that puts refs[order[i]] at row i; empty when
    // order is no permutation of refs.
    static NewOrder PrepareOrder(const std::vector<ItemRef>& refs, const std::vector<int>& order);
    // Takes an order prepared for the rows as they are now; one for other
    // rows changes nothing.
    void ApplyOrder(NewOrder order);
    // Sizes as short texts with a unit, or plain numbers: the size column
    // shows them anew.
    void SetFormattedSize(bool bFormattedSize);

    // The rows to copy, made straight from the records.
    QString RowsText(const std::vector<int>& rows, const std::vector<int>& columns) const override;

protected:
    QString CellText(int nRow, int nColumn) const override;

private:
    std::shared_ptr<const FileStore> m_pStore;
    std::vector<ItemRef> m_rows;
    std::vector<ItemRef> m_scanOrder;  // once sorted: the rows as they came
    bool m_bFormattedSize = false;
    mutable std::string m_strCell;  // reused for every cell
};

// The records refs number in store; any thread.
std::vector<const FileItem*> ItemsOf(const FileStore& store, const std::vector<ItemRef>& refs);

// The text copied rows become, from their records; any thread. With a
// control it stops when asked (giving nothing) and counts its rows.
QString CopiedText(const std::vector<const FileItem*>& items, const std::vector<int>& columns, bool bFormattedSize,
                   WorkControl* pControl = nullptr);

}  // namespace norvane
