// The list view of a dialog (a report with columns) over a ListCtrlModel:
// whole rows selected, several at a time, the selection still shown when
// another control has the focus, and the selection mark of a Windows list:
// the row of the last click, or any number the program sets, and the anchor
// of Shift+click and Shift+arrow while it names a row.
#pragma once

#include <vector>

#include <QTableView>

namespace norvane {

class ListCtrlModel;

class CListCtrl : public QTableView {
    Q_OBJECT

public:
    explicit CListCtrl(QWidget* pParent = nullptr);

    // The model's column, and its width in pixels.
    int InsertColumn(int nCol, const QString& strHeading, int nFormat, int nWidth);
    int GetItemCount() const;

    // The selected rows in display order, and their number.
    std::vector<int> GetSelectedRows() const;
    int GetSelectedCount() const;
    // -1 when the list is new or emptied. SetSelectionMark returns the old one.
    int GetSelectionMark() const { return m_nSelectionMark; }
    int SetSelectionMark(int nMark);

    void setModel(QAbstractItemModel* pModel) override;

signals:
    // A click on a column heading.
    void ColumnClick(int nColumn);

protected:
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;

private:
    // The selected rows as sorted, disjoint [first, last] runs.
    std::vector<std::pair<int, int>> SelectedRuns() const;
    void SelectFromMark(int nRow, bool bAdd);
    bool MarkNamesRow() const { return m_nSelectionMark >= 0 && m_nSelectionMark < GetItemCount(); }

    int m_nSelectionMark = -1;
    bool m_bOwnShiftPress = false;
};

}  // namespace norvane
