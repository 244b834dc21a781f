// What a screen reader sees of a CListCtrl: a table of the model's rows and
// columns under a row of column headings (Qt gives a table interface only to
// its own views). The children are the headings, then the cells row by row;
// a cell's interface is made when it is asked for and kept until the rows
// change.
#include <QAccessibleWidget>
#include <QHeaderView>
#include <QPointer>

#include "framework/CListCtrl.h"

namespace norvane {
namespace {

QRect GlobalRect(const QWidget* pWidget, const QRect& rc) { return {pWidget->mapToGlobal(rc.topLeft()), rc.size()}; }

// A cell, or in row -1 a column's heading.
class ReportCell : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    ReportCell(CListCtrl* pView, int nRow, int nColumn) : m_pView(pView), m_nRow(nRow), m_nColumn(nColumn) {}

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
        const bool bCell = type == QAccessible::TableCellInterface && m_nRow >= 0;
        return bCell ? static_cast<QAccessibleTableCellInterface*>(this) : nullptr;
    }
    QString text(QAccessible::Text type) const override {
        if (type != QAccessible::Name || !isValid()) return {};
        if (m_nRow < 0) return m_pView->model()->headerData(m_nColumn, Qt::Horizontal).toString();
        // A cell may say more than it shows (a changed value, its old one).
        const QVariant spoken = Index().data(Qt::AccessibleTextRole);
        return spoken.isValid() ? spoken.toString() : Index().data().toString();
    }
    QRect rect() const override {
        if (!isValid()) return {};
        if (m_nRow >= 0) return GlobalRect(m_pView->viewport(), m_pView->visualRect(Index()));
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
        state.focused = m_pView->hasFocus() && m_pView->currentIndex() == Index();
        state.invisible = state.offscreen = !m_pView->viewport()->rect().intersects(m_pView->visualRect(Index()));
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
    QModelIndex Index() const { return m_pView->model()->index(m_nRow, m_nColumn); }

    QPointer<CListCtrl> m_pView;
    int m_nRow;
    int m_nColumn;
};

class ReportTable : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit ReportTable(CListCtrl* pView) : QAccessibleWidget(pView, QAccessible::Table), m_pView(pView) {}
    ~ReportTable() override { modelChange(nullptr); }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    int childCount() const override { return (rowCount() + 1) * columnCount(); }
    QAccessibleInterface* child(int nIndex) const override {
        if (nIndex < 0 || nIndex >= childCount()) return nullptr;
        return Cell(nIndex / columnCount() - 1, nIndex % columnCount());
    }
    int indexOfChild(const QAccessibleInterface* pChild) const override {
        const auto* pCell = dynamic_cast<const ReportCell*>(pChild);
        if (pCell == nullptr || pCell->table() != this) return -1;
        return (pCell->rowIndex() + 1) * columnCount() + pCell->columnIndex();
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint ptRows = m_pView->viewport()->mapFromGlobal(QPoint(x, y));
        const QModelIndex index = m_pView->indexAt(ptRows);
        if (index.isValid() && m_pView->viewport()->rect().contains(ptRows)) return Cell(index.row(), index.column());
        const QHeaderView* pHeader = m_pView->horizontalHeader();
        const QPoint ptHeader = pHeader->viewport()->mapFromGlobal(QPoint(x, y));
        const int nColumn = pHeader->logicalIndexAt(ptHeader);
        return pHeader->viewport()->rect().contains(ptHeader) && nColumn >= 0 ? Cell(-1, nColumn) : nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        const QModelIndex current = m_pView->currentIndex();
        return m_pView->hasFocus() && current.isValid() ? Cell(current.row(), current.column()) : nullptr;
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int nRow, int nColumn) const override {
        const bool bInside = nRow >= 0 && nRow < rowCount() && nColumn >= 0 && nColumn < columnCount();
        return bInside ? Cell(nRow, nColumn) : nullptr;
    }
    int columnCount() const override { return m_pView->model() != nullptr ? m_pView->model()->columnCount() : 0; }
    int rowCount() const override { return m_pView->model() != nullptr ? m_pView->model()->rowCount() : 0; }
    QString columnDescription(int nColumn) const override { return Cell(-1, nColumn)->text(QAccessible::Name); }
    QString rowDescription(int) const override { return {}; }
    // Rows are selected whole: no column is.
    int selectedColumnCount() const override { return 0; }
    QList<int> selectedColumns() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    int selectedRowCount() const override { return m_pView->GetSelectedCount(); }
    int selectedCellCount() const override { return selectedRowCount() * columnCount(); }
    QList<int> selectedRows() const override {
        const std::vector<int> rows = m_pView->GetSelectedRows();
        return QList<int>(rows.begin(), rows.end());
    }
    // The cells of the first selected rows only: a reader that asked for
    // every cell of a million selected rows would have millions made.
    QList<QAccessibleInterface*> selectedCells() const override {
        QList<QAccessibleInterface*> cells;
        for (int nRow : m_pView->GetSelectedRows()) {
            for (int nColumn = 0; nColumn < columnCount() && cells.size() < kMaxSelectedCells; ++nColumn)
                cells.append(Cell(nRow, nColumn));
        }
        return cells;
    }
    bool isRowSelected(int nRow) const override {
        return m_pView->selectionModel() != nullptr && m_pView->selectionModel()->isRowSelected(nRow, QModelIndex());
    }
    bool selectRow(int nRow) override { return SelectRow(nRow, QItemSelectionModel::Select); }
    bool unselectRow(int nRow) override { return SelectRow(nRow, QItemSelectionModel::Deselect); }
    // Rows inserted, removed or reordered: the cells made name other rows.
    void modelChange(QAccessibleTableModelChangeEvent*) override {
        for (const QAccessible::Id id : std::as_const(m_cells)) QAccessible::deleteAccessibleInterface(id);
        m_cells.clear();
    }

private:
    static constexpr qsizetype kMaxSelectedCells = 4096;

    QAccessibleInterface* Cell(int nRow, int nColumn) const {
        const int nKey = (nRow + 1) * columnCount() + nColumn;
        if (const auto found = m_cells.constFind(nKey); found != m_cells.constEnd())
            return QAccessible::accessibleInterface(*found);
        auto* pCell = new ReportCell(m_pView, nRow, nColumn);
        m_cells.insert(nKey, QAccessible::registerAccessibleInterface(pCell));
        return pCell;
    }

    bool SelectRow(int nRow, QItemSelectionModel::SelectionFlags flags) {
        QItemSelectionModel* pSelection = m_pView->selectionModel();
        if (pSelection == nullptr || nRow < 0 || nRow >= rowCount()) return false;
        pSelection->select(m_pView->model()->index(nRow, 0), flags | QItemSelectionModel::Rows);
        return true;
    }

    CListCtrl* m_pView;
    mutable QHash<int, QAccessible::Id> m_cells;
};

}  // namespace

QAccessibleInterface* ListCtrlAccessible(const QString& strClass, QObject* pObject) {
    auto* pView = qobject_cast<CListCtrl*>(pObject);
    if (pView == nullptr || strClass != QLatin1String(CListCtrl::staticMetaObject.className())) return nullptr;
    return new ReportTable(pView);
}

}  // namespace norvane
