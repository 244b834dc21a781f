// A table of rows of one height under a header of columns, for lists of any
// length: a row's place is worked out from its number, never stored, so the
// view keeps nothing per row. Rows are selected whole. Rows appended below
// the last one in sight repaint the scroll bar alone, so a list that grows
// while it is shown costs the window almost no painting.
#pragma once

#include <QAbstractItemView>

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

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& pt) const override;
    // The widest cell of the column among the rows in sight; a double click
    // on a heading's border fits the column to it.
    int sizeHintForColumn(int nColumn) const override;
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

private:
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

    QHeaderView* m_pHeader;
    int m_nRowHeight = 0;
    bool m_bShowGrid = false;
    bool m_bInGeometries = false;
};

}  // namespace norvane
