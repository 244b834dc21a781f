// A table of rows of one height under a header of columns, for lists of any
// length: a row's place is worked out from its number, never stored, so the
// view keeps nothing per row. Rows are selected whole. Rows appended below
// the last one in sight repaint the scroll bar alone, so a list that grows
// while it is shown costs the window almost no painting. Screen readers see
// a table (ReportAccessible.cpp), told of the focus row and the selection.
#pragma once

#include <utility>
#include <vector>

#include <QAbstractItemView>
#include <QAccessible>

class QHeaderView;

namespace norvane {

class ReportView : public QAbstractItemView {
    Q_OBJECT

public:
    explicit ReportView(QWidget* pParent = nullptr);

    void setModel(QAbstractItemModel* pModel) override;
    QHeaderView* horizontalHeader() const { return m_pHeader; }
    // Lines between the rows and between the columns.
    void setShowGrid(bool bShow);
    int RowHeight() const { return m_nRowHeight; }
    // The selected rows in display order, and their number.
    std::vector<int> GetSelectedRows() const;
    int GetSelectedCount() const;

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& pt) const override;
    void reset() override;

protected:
    // The grid line's share of a cell's width.
    int GridWidth() const { return m_bShowGrid ? 1 : 0; }
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

private:
    // The selected rows as sorted, disjoint [first, last] runs.
    std::vector<std::pair<int, int>> SelectedRuns() const;
    int RowCount() const;
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
    void OnColumnsChanged();
    // Tells screen readers of an event at the cell of index.
    void Announce(QAccessible::Event type, const QModelIndex& index);

    QHeaderView* m_pHeader;
    int m_nRowHeight = 0;
    bool m_bShowGrid = false;
    bool m_bInGeometries = false;
};

// The accessible interface of a ReportView, for QAccessible::installFactory.
QAccessibleInterface* ReportViewAccessible(const QString& strClass, QObject* pObject);

}  // namespace norvane
