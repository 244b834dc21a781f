#include "framework/ListCtrlView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

#include "framework/ListCtrlModel.h"

namespace norvane {

ListCtrlView::ListCtrlView(QWidget* pParent) : QTableView(pParent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);  // Tab moves to the next control
    setWordWrap(false);
    setShowGrid(false);
    setCornerButtonEnabled(false);
    setSortingEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    QHeaderView* pHeader = horizontalHeader();
    pHeader->setSectionsClickable(true);
    pHeader->setHighlightSections(false);
    pHeader->setStretchLastSection(false);
    pHeader->setSectionResizeMode(QHeaderView::Interactive);
    pHeader->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The selection stays visible when another control has the focus.
    QPalette palette = this->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    }
    setPalette(palette);
    UpdateRowHeight();
}

ListCtrlModel* ListCtrlView::Model() const { return dynamic_cast<ListCtrlModel*>(model()); }

void ListCtrlView::UpdateRowHeight() {
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
}

void ListCtrlView::changeEvent(QEvent* pEvent) {
    QTableView::changeEvent(pEvent);
    if (pEvent->type() == QEvent::FontChange) UpdateRowHeight();
}

void ListCtrlView::SelectFromMark(int nRow, bool bAdd) {
    ListCtrlModel* pModel = Model();
    const int nMark = pModel->SelectionMark();
    const int nFirst = std::min(nMark, nRow);
    const int nLast = std::max(nMark, nRow);
    const int nLastColumn = std::max(0, pModel->columnCount() - 1);
    const QItemSelection range(pModel->index(nFirst, 0), pModel->index(nLast, nLastColumn));
    selectionModel()->select(range, (bAdd ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect) |
                                        QItemSelectionModel::Rows);
    selectionModel()->setCurrentIndex(pModel->index(nRow, 0), QItemSelectionModel::NoUpdate);
}

void ListCtrlView::mousePressEvent(QMouseEvent* pEvent) {
    ListCtrlModel* pModel = Model();
    const QModelIndex index = indexAt(pEvent->position().toPoint());
    const Qt::KeyboardModifiers mods = pEvent->modifiers();
    m_bOwnShiftPress = false;
    if (pModel != nullptr && index.isValid() && pEvent->button() == Qt::LeftButton && (mods & Qt::ShiftModifier) &&
        selectionMode() == QAbstractItemView::ExtendedSelection) {
        const int nMark = pModel->SelectionMark();
        if (nMark >= 0 && nMark < pModel->rowCount()) {
            // The range runs from the mark, wherever it was set; the mark stays.
            SelectFromMark(index.row(), (mods & Qt::ControlModifier) != 0);
            m_bOwnShiftPress = true;
            pEvent->accept();
            return;
        }
    }
    QTableView::mousePressEvent(pEvent);
    if (pModel != nullptr && index.isValid() && pEvent->button() == Qt::LeftButton) {
        pModel->SetSelectionMark(index.row());
    }
}

void ListCtrlView::mouseMoveEvent(QMouseEvent* pEvent) {
    if (m_bOwnShiftPress) {
        pEvent->accept();
        return;
    }
    QTableView::mouseMoveEvent(pEvent);
}

void ListCtrlView::mouseReleaseEvent(QMouseEvent* pEvent) {
    if (m_bOwnShiftPress) {
        m_bOwnShiftPress = false;
        pEvent->accept();
        return;
    }
    QTableView::mouseReleaseEvent(pEvent);
}

void ListCtrlView::keyPressEvent(QKeyEvent* pEvent) {
    ListCtrlModel* pModel = Model();
    const int nKey = pEvent->key();
    const bool bNavigation = nKey == Qt::Key_Up || nKey == Qt::Key_Down || nKey == Qt::Key_PageUp ||
                             nKey == Qt::Key_PageDown || nKey == Qt::Key_Home || nKey == Qt::Key_End;
    const Qt::KeyboardModifiers mods = pEvent->modifiers();
    QTableView::keyPressEvent(pEvent);
    if (pModel == nullptr || !currentIndex().isValid()) return;
    const int nRow = currentIndex().row();
    if (bNavigation && (mods & Qt::ShiftModifier)) {
        const int nMark = pModel->SelectionMark();
        if (nMark >= 0 && nMark < pModel->rowCount()) SelectFromMark(nRow, false);
        else pModel->SetSelectionMark(nRow);
    } else if ((bNavigation && !(mods & Qt::ControlModifier)) || nKey == Qt::Key_Space) {
        pModel->SetSelectionMark(nRow);
    }
}

}  // namespace norvane
