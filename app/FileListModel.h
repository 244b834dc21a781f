// The rows of the main window's list: one record of the catalogue per row,
// read where the catalogue keeps it (nothing is copied; a row holds the
// record's four-byte number in its store), each cell's text made by the
// catalogue's cell-text functions when the list shows it. Rows arrive in
// batches at the end, so a scan can append as it finds files; sorting
// reorders them in place. The model also holds the list's columns (heading
// and alignment).
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <QAbstractTableModel>

#include "catalogue/FileItem.h"
#include "catalogue/WorkControl.h"

class QFontMetrics;

namespace norvane {

// How a column lays out its texts.
enum class ColumnAlign { kLeft, kRight };

class FileListModel : public QAbstractTableModel {
public:
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int nRole = Qt::DisplayRole) const override;
    QVariant headerData(int nSection, Qt::Orientation orientation, int nRole = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Returns where it went.
    int InsertColumn(int nCol, const QString& strHeading, ColumnAlign align);

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

    // The rows as text to copy, made straight from the records: one line per
    // row, ending with a line feed, the cells of the columns given, in that
    // order, joined by tabs. A tab or line break inside a cell (a file name
    // may hold one) becomes a blank, so that every row stays one line of
    // cells.
    QString RowsText(const std::vector<int>& rows, const std::vector<int>& columns) const;

    // The rows whose text in nColumn may be the widest in metrics' font,
    // widest first: every row's text is measured by the sum of its
    // characters' advances (no shaping, so a million rows take a moment, not
    // minutes), and those within a few pixels of the widest are given, at
    // most kWidestRows, for the list to measure exactly.
    static constexpr std::size_t kWidestRows = 256;
    std::vector<int> WidestRows(int nColumn, const QFontMetrics& metrics) const;

private:
    // The text of a cell, made when it is shown.
    QString CellText(int nRow, int nColumn) const;
    // Where each row goes in order (newRow[old] = new); empty when order is
    // no permutation. Any thread: a long list's is worked out off the
    // window's thread.
    static std::vector<int> NewRows(const std::vector<int>& order);
    // Puts the rows where newRow says: fnMove rearranges m_rows so; the
    // selection and the current row follow their rows.
    void MoveRows(const std::vector<int>& newRow, const std::function<void()>& fnMove);

    struct Column {
        QString strHeading;
        Qt::Alignment align;
    };
    std::vector<Column> m_columns;
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
