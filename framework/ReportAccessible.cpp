// What a screen reader sees of a ReportView: a table of the model's rows and
// columns, with a row of column headings above them. Qt gives a table
// interface only to its own views. The children are the headings, then the
// cells row by row; a cell's interface is made when it is asked for and kept
// until the rows change.
#include <QAccessibleWidget>
#include <QHeaderView>
#include <QPointer>

#include "framework/ReportView.h"

namespace norvane {
namespace {

// The widget's place on the screen.
QRect GlobalRect(const QWidget* pWidget, const QRect& rc) { return {pWidget->mapToGlobal(rc.topLeft()), rc.size()}; }

// A cell, or in row -1 a column's heading.
class ReportCell : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    ReportCell(ReportView* pView, int nRow, int nColumn) : m_pView(pView), m_nRow(nRow), m_nColumn(nColumn) {}

    bool isValid() const override {
        const QAbstractItemModel* pModel = m_pView != nullptr ? m_pView->model() : nullptr;
        return pModel != nullptr && m_nRow < pModel->rowCount() && m_nColumn < pModel->columnCount();
    }
    QObject* object() const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_pView); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override { return m_nRow < 0 ? QAccessible::ColumnHeader : QAccessible::Cell; }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TableCellInterface && m_nRow >= 0
                   ? static_cast<QAccessibleTableCellInterface*>(this)
                   : nullptr;
    }

    QString text(QAccessible::Text type) const override {
        if (type != QAccessible::Name || !isValid()) return {};
        if (m_nRow < 0) return m_pView->model()->headerData(m_nColumn, Qt::Horizontal).toString();
        return m_pView->model()->index(m_nRow, m_nColumn).data().toString();
    }

    QRect rect() const override {
        if (!isValid()) return {};
        if (m_nRow >= 0) {
            return GlobalRect(m_pView->viewport(), m_pView->visualRect(m_pView->model()->index(m_nRow, m_nColumn)));
        }
        const QHeaderView* pHeader = m_pView->horizontalHeader();
        return GlobalRect(pHeader->viewport(), QRect(pHeader->sectionViewportPosition(m_nColumn), 0,
                                                     pHeader->sectionSize(m_nColumn), pHeader->height()));
    }

    QAccessible::State state() const override {
        QAccessible::State state;
        state.invalid = !isValid();
        if (state.invalid || m_nRow < 0) return state;
        state.selectable = state.focusable = true;
        state.selected = isSelected();
        const QModelIndex current = m_pView->currentIndex();
        state.focused = m_pView->hasFocus() && current.row() == m_nRow && current.column() == m_nColumn;
        state.invisible = state.offscreen =
            !m_pView->viewport()->rect().intersects(m_pView->visualRect(m_pView->model()->index(m_nRow, m_nColumn)));
        return state;
    }

    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {parent()->child(m_nColumn)}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_nColumn; }
    int rowIndex() const override { return m_nRow; }
    bool isSelected() const override { return m_pView->selectionModel()->isRowSelected(m_nRow, QModelIndex()); }
    QAccessibleInterface* table() const override { return parent(); }

private:
    QPointer<ReportView> m_pView;
    int m_nRow;
    int m_nColumn;
};

class ReportTable : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit ReportTable(ReportView* pView) : QAccessibleWidget(pView, QAccessible::Table) {}
    ~ReportTable() override { Forget(); }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    int childCount() const override { return (rowCount() + 1) * columnCount(); }
    QAccessibleInterface* child(int nIndex) const override {
        const int nColumns = columnCount();
        if (nIndex < 0 || nIndex >= childCount()) return nullptr;
        return Cell(nIndex / nColumns - 1, nIndex % nColumns);
    }
    int indexOfChild(const QAccessibleInterface* pChild) const override {
        const auto* pCell = dynamic_cast<const ReportCell*>(pChild);
        return pCell != nullptr && pCell->table() == this
                   ? (pCell->rowIndex() + 1) * columnCount() + pCell->columnIndex()
                   : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint ptRows = View()->viewport()->mapFromGlobal(QPoint(x, y));
        const QModelIndex index = View()->indexAt(ptRows);
        if (index.isValid() && View()->viewport()->rect().contains(ptRows)) return Cell(index.row(), index.column());
        const QHeaderView* pHeader = View()->horizontalHeader();
        const QPoint ptHeader = pHeader->viewport()->mapFromGlobal(QPoint(x, y));
        const int nColumn = pHeader->logicalIndexAt(ptHeader);
        return pHeader->viewport()->rect().contains(ptHeader) && nColumn >= 0 ? Cell(-1, nColumn) : nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        const QModelIndex current = View()->currentIndex();
        return View()->hasFocus() && current.isValid() ? Cell(current.row(), current.column()) : nullptr;
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int nRow, int nColumn) const override {
        return nRow >= 0 && nRow < rowCount() && nColumn >= 0 && nColumn < columnCount() ? Cell(nRow, nColumn)
                                                                                         : nullptr;
    }
    int columnCount() const override { return View()->model() != nullptr ? View()->model()->columnCount() : 0; }
    int rowCount() const override { return View()->model() != nullptr ? View()->model()->rowCount() : 0; }
    QString columnDescription(int nColumn) const override {
        return View()->model() != nullptr ? View()->model()->headerData(nColumn, Qt::Horizontal).toString() : QString();
    }
    QString rowDescription(int) const override { return {}; }
    // Rows are selected whole: no column is.
    int selectedColumnCount() const override { return 0; }
    QList<int> selectedColumns() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    int selectedCellCount() const override { return selectedRowCount() * columnCount(); }
    int selectedRowCount() const override {
        int nCount = 0;
        for (const auto& [nFirst, nLast] : View()->SelectedRuns()) nCount += nLast - nFirst + 1;
        return nCount;
    }
    QList<int> selectedRows() const override {
        QList<int> rows;
        for (const auto& [nFirst, nLast] : View()->SelectedRuns()) {
            for (int nRow = nFirst; nRow <= nLast; ++nRow) rows.append(nRow);
        }
        return rows;
    }
    // The cells of the first selected rows: a reader that asked for every
    // cell of a million selected rows would have millions of objects made.
    QList<QAccessibleInterface*> selectedCells() const override {
        QList<QAccessibleInterface*> cells;
        for (int nRow : selectedRows()) {
            if (cells.size() >= kMaxSelectedCells) break;
            for (int nColumn = 0; nColumn < columnCount(); ++nColumn) cells.append(Cell(nRow, nColumn));
        }
        return cells;
    }
    bool isRowSelected(int nRow) const override {
        return View()->selectionModel() != nullptr && View()->selectionModel()->isRowSelected(nRow, QModelIndex());
    }
    bool selectRow(int nRow) override { return SelectRow(nRow, QItemSelectionModel::Select); }
    bool unselectRow(int nRow) override { return SelectRow(nRow, QItemSelectionModel::Deselect); }
    // Rows inserted, removed, reordered: the cells made name other rows now.
    void modelChange(QAccessibleTableModelChangeEvent*) override { Forget(); }

private:
    static constexpr qsizetype kMaxSelectedCells = 4096;

    ReportView* View() const { return static_cast<ReportView*>(widget()); }

    QAccessibleInterface* Cell(int nRow, int nColumn) const {
        const int nKey = (nRow + 1) * columnCount() + nColumn;
        if (const auto found = m_cells.constFind(nKey); found != m_cells.constEnd())
            return QAccessible::accessibleInterface(*found);
        auto* pCell = new ReportCell(View(), nRow, nColumn);
        m_cells.insert(nKey, QAccessible::registerAccessibleInterface(pCell));
        return pCell;
    }

    void Forget() {
        for (const QAccessible::Id id : std::as_const(m_cells)) QAccessible::deleteAccessibleInterface(id);
        m_cells.clear();
    }

    bool SelectRow(int nRow, QItemSelectionModel::SelectionFlags flags) {
        QItemSelectionModel* pSelection = View()->selectionModel();
        if (pSelection == nullptr || nRow < 0 || nRow >= rowCount() ||
            View()->selectionMode() == QAbstractItemView::NoSelection)
            return false;
        if (View()->selectionMode() == QAbstractItemView::SingleSelection && (flags & QItemSelectionModel::Select))
            flags |= QItemSelectionModel::Clear;
        pSelection->select(View()->model()->index(nRow, 0), flags | QItemSelectionModel::Rows);
        return true;
    }

    mutable QHash<int, QAccessible::Id> m_cells;
};

}  // namespace

QAccessibleInterface* ReportViewAccessible(const QString& strClass, QObject* pObject) {
    auto* pView = qobject_cast<ReportView*>(pObject);
    if (pView == nullptr || strClass != QLatin1String(ReportView::staticMetaObject.className())) return nullptr;
    return new ReportTable(pView);
}

}  // namespace norvane
