// The list view of a dialog (a report with columns over a table model):
// whole rows selected, several at a time, the selection still shown when
// another control has the focus, and the selection mark of a Windows list:
// the row of the last click, or any number the program sets, and the anchor
// of Shift+click and Shift+arrow while it names a row (it goes with its row
// when the rows are reordered). Ctrl+C hands the selected rows to the owner
// to copy; the sorted column's heading shows the direction of the sort.
#pragma once

#include <functional>
#include <vector>

#include <QPersistentModelIndex>

#include "framework/ReportView.h"

class QFontMetrics;

namespace norvane {

class CListCtrl : public ReportView {
    Q_OBJECT

public:
    explicit CListCtrl(QWidget* pParent = nullptr);

    int GetItemCount() const;

    // -1 when the list is new or emptied. SetSelectionMark returns the old one.
    int GetSelectionMark() const { return m_nSelectionMark; }
    int SetSelectionMark(int nMark);

    // Asks the owner to copy the selected rows (CopyRows); with no row
    // selected nothing happens.
    void Copy();
    // The columns in the order the header shows them, hidden ones left out.
    std::vector<int> ShownColumns() const;

    // Clicks on the headings on or off. While off the headings are drawn
    // greyed, as a greyed button's text is; the columns can still be
    // resized.
    void EnableColumnClicks(bool bEnable);

    // The rows whose text in a column may be the widest, for a double click
    // on the heading's border: the owner picks them cheaply, the list
    // measures them by the delegate. Unset, every row is measured.
    using WidestRowsFn = std::function<std::vector<int>(int nColumn, const QFontMetrics& metrics)>;
    void SetWidestRows(WidestRowsFn fnWidest) { m_fnWidestRows = std::move(fnWidest); }
    int sizeHintForColumn(int nColumn) const override;

    // The sort arrow in the heading of nColumn (-1: none). An emptied list
    // shows none.
    void SetSortArrow(int nColumn, bool bAscending);
    // The column with the arrow (-1: none), and whether it points up
    // (ascending).
    int GetSortArrowColumn() const;
    bool IsSortArrowUp() const;

    void setModel(QAbstractItemModel* pModel) override;

signals:
    // Ctrl+C or Copy() with rows selected: the rows, and the shown columns;
    // the owner puts their text on the clipboard (a long copy off its
    // thread).
    void CopyRows(const std::vector<int>& rows, const std::vector<int>& columns);
    // A click on a column heading.
    void ColumnClick(int nColumn);
    // A right click on the rows, or the menu key while the list has the
    // focus: ptGlobal is where a menu should open. Unconnected, the list has
    // no menu of its own and the dialog's shows.
    void ContextMenu(const QPoint& ptGlobal);

protected:
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;

private:
    void SelectFromMark(int nRow, bool bAdd);
    bool MarkNamesRow() const { return m_nSelectionMark >= 0 && m_nSelectionMark < GetItemCount(); }

    int m_nSelectionMark = -1;
    QPersistentModelIndex m_markRow;  // the mark's row while the rows are reordered
    bool m_bOwnShiftPress = false;
    WidestRowsFn m_fnWidestRows;
};

}  // namespace norvane
