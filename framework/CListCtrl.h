// The list view of a dialog: a report with columns over a table model, for
// lists of any length. A row's place is worked out from its number, never
// stored, so the view keeps nothing per row, and rows appended below those in
// sight repaint the scroll bar alone. Rows are selected whole, between grid
// lines, and the selection stays shown while another control has the focus.
// Screen readers see a table (ReportAccessible.cpp). The selection mark is a
// Windows list's: the row of the last click, or one the program sets, and
// the anchor of Shift+click and Shift+arrow; it goes with its row when the
// rows are reordered.
#pragma once

#include <functional>
#include <utility>
#include <vector>

#include <QAbstractItemView>
#include <QAccessible>
#include <QPersistentModelIndex>

class QFontMetrics;
class QHeaderView;

namespace norvane {

class CListCtrl : public QAbstractItemView {
    Q_OBJECT

public:
    explicit CListCtrl(QWidget* pParent = nullptr);

    void setModel(QAbstractItemModel* pModel) override;
    QHeaderView* horizontalHeader() const { return m_pHeader; }
    int RowHeight() const { return m_nRowHeight; }
    int GetItemCount() const;
    // The selected rows in display order, and their number.
    std::vector<int> GetSelectedRows() const;
    int GetSelectedCount() const;

    // -1 when the list is new or emptied, or the mark names no row.
    // SetSelectionMark returns the old one.
    int GetSelectionMark() const { return m_mark.isValid() ? m_mark.row() : -1; }
    int SetSelectionMark(int nMark);

    // Asks the owner to copy the selected rows (CopyRows); with no row
    // selected nothing happens.
    void Copy();
    // The columns in the order the header shows them, hidden ones left out.
    std::vector<int> ShownColumns() const;

    // Clicks on the headings on or off; while off the headings are greyed,
    // and the columns can still be resized.
    void EnableColumnClicks(bool bEnable);

    // The rows whose text in a column may be the widest, for a double click
    // on the heading's border: the owner picks them cheaply, the list
    // measures them by the delegate. Unset, every row is measured.
    using WidestRowsFn = std::function<std::vector<int>(int nColumn, const QFontMetrics& metrics)>;
    void SetWidestRows(WidestRowsFn fnWidest) { m_fnWidestRows = std::move(fnWidest); }
    int sizeHintForColumn(int nColumn) const override;

    // The sort arrow in the heading of nColumn (-1: none), up for an
    // ascending sort; an emptied list shows none.
    void SetSortArrow(int nColumn, bool bAscending);
    int GetSortArrowColumn() const;
    bool IsSortArrowUp() const;

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& pt) const override;
    void reset() override;

signals:
    // Ctrl+C or Copy() with rows selected: the rows and the shown columns,
    // whose text the owner puts on the clipboard.
    void CopyRows(const std::vector<int>& rows, const std::vector<int>& columns);
    // A click on a column heading.
    void ColumnClick(int nColumn);
    // A right click on the rows, or the menu key while the list has the
    // focus: ptGlobal is where a menu should open. Unconnected, the list has
    // no menu of its own and the dialog's shows.
    void ContextMenu(const QPoint& ptGlobal);

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers mods) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags flags) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    void rowsInserted(const QModelIndex& parent, int nFirst, int nLast) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;

private:
    // The selected rows as sorted, disjoint [first, last] runs.
    std::vector<std::pair<int, int>> SelectedRuns() const;
    int TopRow() const;
    // The rows wholly in sight (at least one).
    int PageRows() const;
    // The row at y in the viewport, in sight or not, and not clamped.
    int RowAtY(int y) const;
    // The whole row in viewport coordinates, across the shown columns.
    QRect RowRect(int nRow) const;
    void PaintRow(QPainter& painter, QStyleOptionViewItem& option, int nRow, const QRect& rcDirty,
                  const QColor& gridColor);
    void PaintFocusRow(QPainter& painter, const QModelIndex& current);
    // The rows' or columns' extent changed: the scroll bars, the header and
    // the rows in sight follow.
    void Relayout();
    // Tells screen readers of an event at the cell of index.
    void Announce(QAccessible::Event type, const QModelIndex& index);
    void SelectFromMark(int nRow, bool bAdd);

    QHeaderView* m_pHeader;
    int m_nRowHeight = 0;
    bool m_bInGeometries = false;
    QPersistentModelIndex m_mark;  // invalid once its row is gone (an emptied list)
    bool m_bOwnShiftPress = false;
    WidestRowsFn m_fnWidestRows;
};

// The accessible interface of a CListCtrl, for QAccessible::installFactory.
QAccessibleInterface* ListCtrlAccessible(const QString& strClass, QObject* pObject);

}  // namespace norvane
