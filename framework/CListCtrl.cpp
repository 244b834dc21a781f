#include "framework/CListCtrl.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QMouseEvent>

#include <algorithm>
#include <utility>

namespace norvane {

CListCtrl::CListCtrl(QWidget* pParent) : ReportView(pParent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);  // Tab moves to the next control
    QHeaderView* pHeader = horizontalHeader();
    pHeader->setHighlightSections(false);
    pHeader->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(pHeader, &QHeaderView::sectionClicked, this, &CListCtrl::ColumnClick);
    // No arrow until the program sorts.
    pHeader->setSortIndicator(-1, Qt::AscendingOrder);
    pHeader->setSortIndicatorShown(true);
    // The selection stays visible when another control has the focus.
    QPalette palette = this->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    }
    setPalette(palette);
}

void CListCtrl::setModel(QAbstractItemModel* pModel) {
    QItemSelectionModel* pOldSelection = selectionModel();
    ReportView::setModel(pModel);
    if (pOldSelection != nullptr && pOldSelection != selectionModel()) pOldSelection->deleteLater();
    m_nSelectionMark = -1;
    SetSortArrow(-1, true);
    if (pModel == nullptr) return;
    // An emptied list forgets its mark and its order.
    connect(pModel, &QAbstractItemModel::modelReset, this, [this] {
        m_nSelectionMark = -1;
        SetSortArrow(-1, true);
    });
    // Reordered rows take the mark along, as they take the selection and the
    // current row: Shift+click after a sort selects from the same file.
    connect(pModel, &QAbstractItemModel::layoutAboutToBeChanged, this, [this] {
        m_markRow =
            MarkNamesRow() ? QPersistentModelIndex(model()->index(m_nSelectionMark, 0)) : QPersistentModelIndex();
    });
    connect(pModel, &QAbstractItemModel::layoutChanged, this, [this] {
        if (m_markRow.isValid()) m_nSelectionMark = m_markRow.row();
        m_markRow = QPersistentModelIndex();
    });
}

int CListCtrl::GetItemCount() const { return model() != nullptr ? model()->rowCount() : 0; }

int CListCtrl::SetSelectionMark(int nMark) { return std::exchange(m_nSelectionMark, nMark); }

std::vector<int> CListCtrl::ShownColumns() const {
    const QHeaderView* pHeader = horizontalHeader();
    std::vector<int> columns;
    for (int nVisual = 0; nVisual < pHeader->count(); ++nVisual) {
        const int nColumn = pHeader->logicalIndex(nVisual);
        if (nColumn >= 0 && !pHeader->isSectionHidden(nColumn)) columns.push_back(nColumn);
    }
    return columns;
}

void CListCtrl::Copy() {
    if (GetSelectedCount() > 0) emit CopyRows(GetSelectedRows(), ShownColumns());
}

void CListCtrl::EnableColumnClicks(bool bEnable) {
    QHeaderView* pHeader = horizontalHeader();
    pHeader->setSectionsClickable(bEnable);
    if (bEnable) {
        pHeader->setPalette(QPalette());  // the list's own again
        return;
    }
    // Greyed by its colours, not by disabling it: a disabled header could
    // not be resized.
    QPalette palette = pHeader->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::ButtonText, palette.color(QPalette::Disabled, QPalette::ButtonText));
    pHeader->setPalette(palette);
}

int CListCtrl::sizeHintForColumn(int nColumn) const {
    if (!m_fnWidestRows || model() == nullptr) return ReportView::sizeHintForColumn(nColumn);
    ensurePolished();
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    int nWidest = 0;
    for (int nRow : m_fnWidestRows(nColumn, option.fontMetrics)) {
        const QModelIndex index = model()->index(nRow, nColumn);
        nWidest = std::max(nWidest, itemDelegateForIndex(index)->sizeHint(option, index).width());
    }
    return nWidest + GridWidth();
}

void CListCtrl::SetSortArrow(int nColumn, bool bAscending) {
    // A Windows list points the arrow up for an ascending sort (the least
    // on top); Qt's styles point it down for their ascending order.
    horizontalHeader()->setSortIndicator(nColumn, bAscending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

int CListCtrl::GetSortArrowColumn() const { return horizontalHeader()->sortIndicatorSection(); }

bool CListCtrl::IsSortArrowUp() const { return horizontalHeader()->sortIndicatorOrder() == Qt::DescendingOrder; }

void CListCtrl::contextMenuEvent(QContextMenuEvent* pEvent) {
    // Only clicks on the rows and the menu key come here; a click on the
    // header goes to the dialog's menu, as does everything while nothing
    // takes the list's.
    if (!isSignalConnected(QMetaMethod::fromSignal(&CListCtrl::ContextMenu))) return pEvent->ignore();
    QPoint ptGlobal = pEvent->globalPos();
    if (pEvent->reason() == QContextMenuEvent::Keyboard && currentIndex().isValid()) {
        // At the current row when it is in sight, as a keyboard user expects.
        const QRect rcRow = visualRect(currentIndex());
        if (viewport()->rect().intersects(rcRow)) ptGlobal = viewport()->mapToGlobal(rcRow.bottomLeft());
    }
    emit ContextMenu(ptGlobal);
    pEvent->accept();
}

void CListCtrl::SelectFromMark(int nRow, bool bAdd) {
    const QItemSelection range(
        model()->index(std::min(m_nSelectionMark, nRow), 0),
        model()->index(std::max(m_nSelectionMark, nRow), std::max(0, model()->columnCount() - 1)));
    selectionModel()->select(
        range, (bAdd ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect) | QItemSelectionModel::Rows);
    selectionModel()->setCurrentIndex(model()->index(nRow, 0), QItemSelectionModel::NoUpdate);
}

void CListCtrl::mousePressEvent(QMouseEvent* pEvent) {
    const QModelIndex index = indexAt(pEvent->position().toPoint());
    const Qt::KeyboardModifiers mods = pEvent->modifiers();
    const bool bLeft = index.isValid() && pEvent->button() == Qt::LeftButton;
    m_bOwnShiftPress = bLeft && (mods & Qt::ShiftModifier) && MarkNamesRow() &&
                       selectionMode() == QAbstractItemView::ExtendedSelection;
    if (m_bOwnShiftPress) {
        // The range runs from the mark, wherever it was set; the mark stays.
        SelectFromMark(index.row(), (mods & Qt::ControlModifier) != 0);
        pEvent->accept();
        return;
    }
    ReportView::mousePressEvent(pEvent);
    if (bLeft) m_nSelectionMark = index.row();
}

void CListCtrl::mouseMoveEvent(QMouseEvent* pEvent) {
    if (m_bOwnShiftPress) return pEvent->accept();
    ReportView::mouseMoveEvent(pEvent);
}

void CListCtrl::mouseReleaseEvent(QMouseEvent* pEvent) {
    if (std::exchange(m_bOwnShiftPress, false)) return pEvent->accept();
    ReportView::mouseReleaseEvent(pEvent);
}

// The mark follows the keys as a desktop list's anchor does: a key that
// moves the focus alone sets it to the new row, Shift extends the selection
// from it, Ctrl moves the focus and leaves it, Space (with or without Ctrl)
// sets it where it acts; a key that cannot move the focus (End on the last
// row) changes neither the mark nor the selection.
void CListCtrl::keyPressEvent(QKeyEvent* pEvent) {
    // The selected rows, not Qt's one cell.
    if (pEvent->matches(QKeySequence::Copy)) {
        Copy();
        pEvent->accept();
        return;
    }
    const int nKey = pEvent->key();
    const bool bNavigation = nKey == Qt::Key_Up || nKey == Qt::Key_Down || nKey == Qt::Key_PageUp ||
                             nKey == Qt::Key_PageDown || nKey == Qt::Key_Home || nKey == Qt::Key_End;
    const Qt::KeyboardModifiers mods = pEvent->modifiers();
    const int nOldRow = currentIndex().isValid() ? currentIndex().row() : -1;
    ReportView::keyPressEvent(pEvent);
    if (!currentIndex().isValid()) return;
    const int nRow = currentIndex().row();
    if (nKey == Qt::Key_Space) {
        m_nSelectionMark = nRow;
    } else if (!bNavigation || nRow == nOldRow) {
        return;
    } else if (mods & Qt::ShiftModifier) {
        // Without a mark the range starts where the focus was.
        if (!MarkNamesRow()) m_nSelectionMark = nOldRow >= 0 ? nOldRow : nRow;
        SelectFromMark(nRow, false);
    } else if (!(mods & Qt::ControlModifier)) {
        m_nSelectionMark = nRow;
    }
}

}  // namespace norvane
