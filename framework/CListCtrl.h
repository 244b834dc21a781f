// The list view of a dialog (a report with columns) over a ListCtrlModel:
// whole rows selected, several at a time, the selection still shown when
// another control has the focus, and the selection mark of a Windows list:
// the row of the last click, or any number the program sets, and the anchor
// of Shift+click and Shift+arrow while it names a row (it goes with its row
// when the rows are reordered). Ctrl+C copies the selected rows; the sorted
// column's heading shows the direction of the sort.
#pragma once

#include <functional>
#include <vector>

#include <QPersistentModelIndex>

#include "framework/ListCtrlModel.h"
#include "framework/ReportView.h"

namespace norvane {

class CListCtrl : public ReportView {
    Q_OBJECT

public:
    explicit CListCtrl(QWidget* pParent = nullptr);

    // The model's column, and its width in pixels.
    int InsertColumn(int nCol, const QString& strHeading, ColumnAlign align, int nWidth);
    bool DeleteColumn(int nCol);
    int GetItemCount() const;

    // -1 when the list is new or emptied. SetSelectionMark returns the old one.
    int GetSelectionMark() const { return m_nSelectionMark; }
    int SetSelectionMark(int nMark);

    // The selected rows as text: one line per row, the cells of the columns
    // as the list shows them, in their order, joined by tabs.
    QString GetSelectedText() const;
    // Puts that text on the clipboard; with no row selected nothing changes.
    void Copy();
    // The owner may make a copy itself (a long one off its thread): the
    // handler gets the selected rows and the shown columns, and returns true
    // when it took the copy.
    using CopyHandler = std::function<bool(const std::vector<int>& rows, const std::vector<int>& columns)>;
    void SetCopyHandler(CopyHandler fnCopy) { m_fnCopy = std::move(fnCopy); }

    // Clicks on the headings on or off. While off the headings are drawn
    // greyed, as a greyed button's text is; the columns can still be
    // resized.
    void EnableColumnClicks(bool bEnable);

    // The widest cell text of the column over every row, for a double click
    // on the heading's border: each row's text is measured by its
    // characters' advances, the widest few again by the delegate. Nothing is
    // made per row but the cell's text.
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
    // The columns in the order the header shows them, hidden ones left out.
    std::vector<int> ShownColumns() const;
    void SelectFromMark(int nRow, bool bAdd);
    bool MarkNamesRow() const { return m_nSelectionMark >= 0 && m_nSelectionMark < GetItemCount(); }

    int m_nSelectionMark = -1;
    QPersistentModelIndex m_markRow;  // the mark's row while the rows are reordered
    bool m_bOwnShiftPress = false;
    CopyHandler m_fnCopy;
};

}  // namespace norvane
