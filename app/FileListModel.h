// The rows of the main window's list: one record of the catalogue per row,
// read where the catalogue keeps it (nothing is copied; a row holds the
// record's four-byte number in its store), each cell's text made by the
// catalogue's cell-text functions when the list shows it. Rows arrive in
// batches at the end, so a scan can append as it finds files; sorting
// reorders them in place. The model also holds the list's columns (heading
// and alignment).
//
// The list can show a comparison instead: its rows (the new values, a
// removed file's old ones), a changed cell marked by a colour that reads on
// light and dark themes and in bold, and said in words to screen readers
// and in its tip ("変更前 ..."). The change column, when the window has put
// it in, is the model's first.
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <QAbstractTableModel>

#include "catalogue/Comparison.h"
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
    // False when there is no such column.
    bool RemoveColumn(int nCol);

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
    // window's thread gets a copy); for a comparison, the positions of its
    // rows in its order (see GetComparisonShare).
    const std::vector<std::uint32_t>& Refs() const { return m_pComparison != nullptr ? m_compared : m_rows; }

    // Sorts by a list column (or a comparison's change column), stably
    // (equal rows keep their order).
    void Sort(int nColumn, bool bDescending);
    // A new order of the rows, worked out off the window's thread: the rows'
    // numbers in it (as Refs gives them), where each old row goes, and the
    // comparison it was made for (null for the list's own rows).
    struct NewOrder {
        std::vector<std::uint32_t> rows;
        std::vector<int> newRow;
        const Comparison* comparison = nullptr;
    };
    // Any thread: the order that puts refs[order[i]] at row i; empty when
    // order is no permutation of refs.
    static NewOrder PrepareOrder(const std::vector<std::uint32_t>& refs, const std::vector<int>& order);
    // Takes an order prepared for the rows as they are now; one for other
    // rows (or another comparison) changes nothing.
    void ApplyOrder(NewOrder order);

    // Shows a comparison in place of the rows until Clear or SetRows: its
    // rows in its order, unchanged files only with bShowUnchanged. Store and
    // ScanOrder stay the list's own (the comparison's new side).
    void SetComparison(std::shared_ptr<const Comparison> comparison, bool bShowUnchanged);
    // Shows or leaves out the unchanged files, the rows in the comparison's
    // order again.
    void SetShowUnchanged(bool bShowUnchanged);
    const Comparison* GetComparison() const { return m_pComparison.get(); }
    // The comparison shown, shared with work off the window's thread.
    const std::shared_ptr<const Comparison>& GetComparisonShare() const { return m_pComparison; }
    const ComparedRow* Compared(int nRow) const;
    // Model columns and list columns (kColumnChange for the change column),
    // once the change column is in; -1 (no column) stays -1.
    bool HasChangeColumn() const { return columnCount() > kColumnCount; }
    int ListColumn(int nModelColumn) const {
        if (nModelColumn < 0 || !HasChangeColumn()) return nModelColumn;
        return nModelColumn == 0 ? kColumnChange : nModelColumn - 1;
    }
    int ModelColumn(int nListColumn) const {
        if (nListColumn < 0 || !HasChangeColumn()) return nListColumn;
        return nListColumn == kColumnChange ? 0 : nListColumn + 1;
    }

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

// The records refs number in store; any thread.
std::vector<const FileItem*> ItemsOf(const FileStore& store, const std::vector<ItemRef>& refs);

// The text copied rows become, from their records; any thread. With a
// control it stops when asked (giving nothing) and counts its rows.
QString CopiedText(const std::vector<const FileItem*>& items, const std::vector<int>& columns, bool bFormattedSize,
                   WorkControl* pControl = nullptr);
// The same for a comparison's rows; columns are list columns, kColumnChange
// for the change column.
QString CopiedText(const std::vector<const ComparedRow*>& rows, const std::vector<int>& columns, bool bFormattedSize,
                   WorkControl* pControl = nullptr);
// The rows of comparison at positions (of its order, as Refs gives them).
std::vector<const ComparedRow*> RowsOf(const Comparison& comparison, const std::vector<std::uint32_t>& positions);

}  // namespace norvane
