#include "framework/CListCtrl.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <utility>

namespace norvane {

CListCtrl::CListCtrl(QWidget* pParent)
    : QAbstractItemView(pParent),
      m_pHeader(new QHeaderView(Qt::Horizontal, this)),
      m_nRowHeight(fontMetrics().height() + 4) {
    static const bool bAccessible = (QAccessible::installFactory(&ListCtrlAccessible), true);
    Q_UNUSED(bAccessible);
    setSelectionBehavior(SelectRows);
    setSelectionMode(ExtendedSelection);
    setEditTriggers(NoEditTriggers);
    setTabKeyNavigation(false);  // Tab moves to the next control
    m_pHeader->setSectionsClickable(true);
    m_pHeader->setHighlightSections(false);
    m_pHeader->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_pHeader->setSortIndicatorShown(true);
    SetSortArrow(-1, true);  // none until the program sorts
    connect(m_pHeader, &QHeaderView::sectionClicked, this, &CListCtrl::ColumnClick);
    connect(m_pHeader, &QHeaderView::sectionResized, this, &CListCtrl::Relayout);
    connect(m_pHeader, &QHeaderView::sectionMoved, this, &CListCtrl::Relayout);
    connect(m_pHeader, &QHeaderView::sectionCountChanged, this, &CListCtrl::Relayout);
    connect(m_pHeader, &QHeaderView::geometriesChanged, this, &CListCtrl::updateGeometries);
    // A double click on a divider fits the column to its cells and heading;
    // on a long list that takes a moment.
    connect(m_pHeader, &QHeaderView::sectionHandleDoubleClicked, this, [this](int nColumn) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const int nWidth = std::max(sizeHintForColumn(nColumn), m_pHeader->sectionSizeHint(nColumn));
        QApplication::restoreOverrideCursor();
        m_pHeader->resizeSection(nColumn, nWidth);
    });
    // The selection stays visible when another control has the focus.
    QPalette palette = this->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    }
    setPalette(palette);
}

void CListCtrl::setModel(QAbstractItemModel* pModel) {
    QItemSelectionModel* pOldSelection = selectionModel();
    if (model() != nullptr) disconnect(model(), &QAbstractItemModel::rowsRemoved, this, nullptr);
    QAbstractItemView::setModel(pModel);
    m_pHeader->setModel(pModel);
    updateGeometries();
    if (pOldSelection != nullptr && pOldSelection != selectionModel()) pOldSelection->deleteLater();
    m_mark = QPersistentModelIndex();
    SetSortArrow(-1, true);
    if (pModel == nullptr) return;
    connect(pModel, &QAbstractItemModel::rowsRemoved, this, &CListCtrl::Relayout);
    // An emptied list forgets its order, as it forgets its mark. Reordered
    // rows take the mark along, as they take the selection and the current
    // row: Shift+click after a sort selects from the same file.
    connect(pModel, &QAbstractItemModel::modelReset, this, [this] { SetSortArrow(-1, true); });
}

int CListCtrl::GetItemCount() const { return model() != nullptr ? model()->rowCount() : 0; }

int CListCtrl::SetSelectionMark(int nMark) {
    const int nOld = GetSelectionMark();
    m_mark = model() != nullptr ? QPersistentModelIndex(model()->index(nMark, 0)) : QPersistentModelIndex();
    return nOld;
}

std::vector<int> CListCtrl::ShownColumns() const {
    std::vector<int> columns;
    for (int nVisual = 0; nVisual < m_pHeader->count(); ++nVisual) {
        const int nColumn = m_pHeader->logicalIndex(nVisual);
        if (nColumn >= 0 && !m_pHeader->isSectionHidden(nColumn)) columns.push_back(nColumn);
    }
    return columns;
}

void CListCtrl::Copy() {
    if (GetSelectedCount() > 0) emit CopyRows(GetSelectedRows(), ShownColumns());
}

void CListCtrl::EnableColumnClicks(bool bEnable) {
    m_pHeader->setSectionsClickable(bEnable);
    // Greyed by its colours, not by disabling it: a disabled header could
    // not be resized.
    QPalette palette;  // enabled, the list's own again
    if (!bEnable) {
        palette = m_pHeader->palette();
        for (auto group : {QPalette::Active, QPalette::Inactive})
            palette.setColor(group, QPalette::ButtonText, palette.color(QPalette::Disabled, QPalette::ButtonText));
    }
    m_pHeader->setPalette(palette);
}

int CListCtrl::sizeHintForColumn(int nColumn) const {
    if (!m_fnWidestRows || model() == nullptr) return QAbstractItemView::sizeHintForColumn(nColumn);
    ensurePolished();
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    int nWidest = 0;
    for (int nRow : m_fnWidestRows(nColumn, option.fontMetrics)) {
        const QModelIndex index = model()->index(nRow, nColumn);
        nWidest = std::max(nWidest, itemDelegateForIndex(index)->sizeHint(option, index).width());
    }
    return nWidest + 1;  // and the grid line
}

void CListCtrl::SetSortArrow(int nColumn, bool bAscending) {
    // A Windows list points the arrow up for an ascending sort (the least
    // on top); Qt's styles point it down for their ascending order.
    m_pHeader->setSortIndicator(nColumn, bAscending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

int CListCtrl::GetSortArrowColumn() const { return m_pHeader->sortIndicatorSection(); }

bool CListCtrl::IsSortArrowUp() const { return m_pHeader->sortIndicatorOrder() == Qt::DescendingOrder; }

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
    const QItemSelection range(model()->index(std::min(m_mark.row(), nRow), 0),
                               model()->index(std::max(m_mark.row(), nRow), std::max(0, model()->columnCount() - 1)));
    selectionModel()->select(
        range, (bAdd ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect) | QItemSelectionModel::Rows);
    selectionModel()->setCurrentIndex(model()->index(nRow, 0), QItemSelectionModel::NoUpdate);
}

void CListCtrl::mousePressEvent(QMouseEvent* pEvent) {
    const QModelIndex index = indexAt(pEvent->position().toPoint());
    const Qt::KeyboardModifiers mods = pEvent->modifiers();
    const bool bLeft = index.isValid() && pEvent->button() == Qt::LeftButton;
    m_bOwnShiftPress = bLeft && (mods & Qt::ShiftModifier) && m_mark.isValid();
    if (m_bOwnShiftPress) {
        // The range runs from the mark, wherever it was set; the mark stays.
        SelectFromMark(index.row(), (mods & Qt::ControlModifier) != 0);
        pEvent->accept();
        return;
    }
    QAbstractItemView::mousePressEvent(pEvent);
    if (bLeft) SetSelectionMark(index.row());
}

void CListCtrl::mouseMoveEvent(QMouseEvent* pEvent) {
    if (m_bOwnShiftPress) return pEvent->accept();
    QAbstractItemView::mouseMoveEvent(pEvent);
}

void CListCtrl::mouseReleaseEvent(QMouseEvent* pEvent) {
    if (std::exchange(m_bOwnShiftPress, false)) return pEvent->accept();
    QAbstractItemView::mouseReleaseEvent(pEvent);
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
    QAbstractItemView::keyPressEvent(pEvent);
    if (!currentIndex().isValid()) return;
    const int nRow = currentIndex().row();
    if (nKey == Qt::Key_Space) {
        SetSelectionMark(nRow);
    } else if (!bNavigation || nRow == nOldRow) {
        return;
    } else if (mods & Qt::ShiftModifier) {
        // Without a mark the range starts where the focus was.
        if (!m_mark.isValid()) SetSelectionMark(nOldRow >= 0 ? nOldRow : nRow);
        SelectFromMark(nRow, false);
    } else if (!(mods & Qt::ControlModifier)) {
        SetSelectionMark(nRow);
    }
}

int CListCtrl::TopRow() const { return verticalScrollBar()->value(); }

int CListCtrl::PageRows() const { return std::max(1, viewport()->height() / m_nRowHeight); }

int CListCtrl::RowAtY(int y) const {
    // Rounded down, above the viewport too.
    const int nRows = y >= 0 ? y / m_nRowHeight : -((m_nRowHeight - 1 - y) / m_nRowHeight);
    return TopRow() + nRows;
}

QRect CListCtrl::RowRect(int nRow) const {
    return {-m_pHeader->offset(), (nRow - TopRow()) * m_nRowHeight, m_pHeader->length(), m_nRowHeight};
}

QRect CListCtrl::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.parent() != rootIndex() || m_pHeader->isSectionHidden(index.column())) return {};
    // Less the grid lines on the right and below.
    return {m_pHeader->sectionViewportPosition(index.column()), (index.row() - TopRow()) * m_nRowHeight,
            m_pHeader->sectionSize(index.column()) - 1, m_nRowHeight - 1};
}

QModelIndex CListCtrl::indexAt(const QPoint& pt) const {
    const int nRow = RowAtY(pt.y());
    const int nColumn = m_pHeader->logicalIndexAt(pt.x());
    if (nRow < 0 || nRow >= GetItemCount() || nColumn < 0) return {};
    return model()->index(nRow, nColumn, rootIndex());
}

void CListCtrl::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid()) return;
    const int nRow = index.row();
    const int nPage = PageRows();
    int nTop = TopRow();
    switch (hint) {
        case PositionAtTop: nTop = nRow; break;
        case PositionAtBottom: nTop = nRow - nPage + 1; break;
        case PositionAtCenter: nTop = nRow - nPage / 2; break;
        case EnsureVisible:
            if (nRow < nTop) nTop = nRow;
            else if (nRow >= nTop + nPage) nTop = nRow - nPage + 1;
            break;
    }
    verticalScrollBar()->setValue(nTop);
}

void CListCtrl::reset() {
    QAbstractItemView::reset();
    // A new list starts at its top.
    verticalScrollBar()->setValue(0);
    Relayout();
}

QModelIndex CListCtrl::moveCursor(CursorAction action, Qt::KeyboardModifiers /*mods*/) {
    const int nRows = GetItemCount();
    if (nRows == 0 || m_pHeader->count() == 0) return {};
    const QModelIndex current = currentIndex();
    const int nColumn = current.isValid() ? current.column() : m_pHeader->logicalIndex(0);
    if (!current.isValid()) return model()->index(0, nColumn, rootIndex());
    // Page keys go to the last (first) row in sight, and from there a page on.
    const int nPage = PageRows();
    const int nBottom = TopRow() + nPage - 1;
    int nRow = current.row();
    switch (action) {
        case MoveUp:
        case MovePrevious: --nRow; break;
        case MoveDown:
        case MoveNext: ++nRow; break;
        case MovePageUp: nRow = nRow > TopRow() ? TopRow() : nRow - (nPage - 1); break;
        case MovePageDown: nRow = nRow < nBottom ? nBottom : nRow + (nPage - 1); break;
        case MoveHome: nRow = 0; break;
        case MoveEnd: nRow = nRows - 1; break;
        // Left and right scroll the columns; the row stays.
        case MoveLeft: horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
        case MoveRight: horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    }
    return model()->index(std::clamp(nRow, 0, nRows - 1), nColumn, rootIndex());
}

int CListCtrl::horizontalOffset() const { return m_pHeader->offset(); }

int CListCtrl::verticalOffset() const { return TopRow() * m_nRowHeight; }

bool CListCtrl::isIndexHidden(const QModelIndex& index) const { return m_pHeader->isSectionHidden(index.column()); }

void CListCtrl::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags flags) {
    const int nRows = GetItemCount();
    const int nColumns = model() != nullptr ? model()->columnCount(rootIndex()) : 0;
    if (nRows == 0 || nColumns == 0) return;
    // Every row the rectangle touches, in sight or not; a drag past the last
    // row ends at it.
    const QRect rc = rect.normalized();
    const int nFirst = std::clamp(RowAtY(rc.top()), 0, nRows - 1);
    const int nLast = std::clamp(RowAtY(rc.bottom()), 0, nRows - 1);
    selectionModel()->select(
        QItemSelection(model()->index(nFirst, 0, rootIndex()), model()->index(nLast, nColumns - 1, rootIndex())),
        flags);
}

QRegion CListCtrl::visualRegionForSelection(const QItemSelection& selection) const {
    const int nTop = TopRow();
    const int nEnd = nTop + PageRows();  // the row partly in sight at the bottom included
    QRegion region;
    for (const QItemSelectionRange& range : selection) {
        if (!range.isValid() || range.parent() != rootIndex()) continue;
        const int nFirst = std::max(range.top(), nTop);
        const int nLast = std::min(range.bottom(), nEnd);
        if (nFirst <= nLast)
            region +=
                QRect(0, (nFirst - nTop) * m_nRowHeight, viewport()->width(), (nLast - nFirst + 1) * m_nRowHeight);
    }
    return region;
}

void CListCtrl::updateGeometries() {
    if (m_bInGeometries) return;  // the margins below resize the viewport, which comes back here
    m_bInGeometries = true;
    const int nHeaderHeight = m_pHeader->isHidden() ? 0 : m_pHeader->sizeHint().height();
    setViewportMargins(0, nHeaderHeight, 0, 0);
    const QRect rcView = viewport()->geometry();
    m_pHeader->setGeometry(rcView.left(), rcView.top() - nHeaderHeight, rcView.width(), nHeaderHeight);
    // The vertical scroll bar counts rows, the horizontal one pixels.
    const int nPage = PageRows();
    verticalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setPageStep(nPage);
    verticalScrollBar()->setRange(0, std::max(0, GetItemCount() - nPage));
    horizontalScrollBar()->setSingleStep(std::max(1, fontMetrics().averageCharWidth() * 2));
    horizontalScrollBar()->setPageStep(rcView.width());
    horizontalScrollBar()->setRange(0, std::max(0, m_pHeader->length() - rcView.width()));
    m_pHeader->setOffset(horizontalScrollBar()->value());
    m_bInGeometries = false;
    QAbstractItemView::updateGeometries();
}

void CListCtrl::scrollContentsBy(int dx, int dy) {
    m_pHeader->setOffset(horizontalScrollBar()->value());
    dy *= m_nRowHeight;
    scrollDirtyRegion(dx, dy);
    viewport()->scroll(dx, dy);
}

void CListCtrl::rowsInserted(const QModelIndex& parent, int nFirst, int nLast) {
    QAbstractItemView::rowsInserted(parent, nFirst, nLast);
    if (parent != rootIndex()) return;
    updateGeometries();
    if (nFirst < TopRow() + PageRows() + 1) viewport()->update();
}

void CListCtrl::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    // The focus frame goes round the whole row.
    if (previous.isValid()) viewport()->update(RowRect(previous.row()));
    if (current.isValid()) viewport()->update(RowRect(current.row()));
    QAbstractItemView::currentChanged(current, previous);
    if (hasFocus()) Announce(QAccessible::Focus, current);
}

void CListCtrl::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QAbstractItemView::selectionChanged(selected, deselected);
    // The first cell of each: a range of a million rows is one event.
    if (!selected.isEmpty()) Announce(QAccessible::SelectionAdd, selected.first().topLeft());
    if (!deselected.isEmpty()) Announce(QAccessible::SelectionRemove, deselected.first().topLeft());
}

void CListCtrl::Announce(QAccessible::Event type, const QModelIndex& index) {
    if (!QAccessible::isActive() || !index.isValid()) return;
    QAccessibleEvent event(this, type);
    // The headings come first among the table's children.
    event.setChild((index.row() + 1) * model()->columnCount(rootIndex()) + index.column());
    QAccessible::updateAccessibility(&event);
}

std::vector<std::pair<int, int>> CListCtrl::SelectedRuns() const {
    std::vector<std::pair<int, int>> runs;
    if (selectionModel() == nullptr) return runs;
    // Walk the ranges: selectedRows() is quadratic in their number.
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        if (range.isValid()) runs.emplace_back(range.top(), range.bottom());
    }
    std::sort(runs.begin(), runs.end());
    std::size_t nOut = 0;
    for (const auto& run : runs) {
        if (nOut > 0 && run.first <= runs[nOut - 1].second + 1) {
            runs[nOut - 1].second = std::max(runs[nOut - 1].second, run.second);
        } else {
            runs[nOut++] = run;
        }
    }
    runs.resize(nOut);
    return runs;
}

std::vector<int> CListCtrl::GetSelectedRows() const {
    std::vector<int> rows;
    for (const auto& [nFirst, nLast] : SelectedRuns()) {
        for (int nRow = nFirst; nRow <= nLast; ++nRow) rows.push_back(nRow);
    }
    return rows;
}

int CListCtrl::GetSelectedCount() const {
    int nCount = 0;
    for (const auto& [nFirst, nLast] : SelectedRuns()) nCount += nLast - nFirst + 1;
    return nCount;
}

void CListCtrl::changeEvent(QEvent* pEvent) {
    QAbstractItemView::changeEvent(pEvent);
    if (pEvent->type() != QEvent::FontChange) return;
    m_nRowHeight = fontMetrics().height() + 4;
    Relayout();
}

void CListCtrl::Relayout() {
    updateGeometries();
    viewport()->update();
}

void CListCtrl::paintEvent(QPaintEvent* pEvent) {
    const int nRows = GetItemCount();
    if (nRows == 0 || m_pHeader->count() == 0) return;
    QPainter painter(viewport());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QRect rcDirty = pEvent->rect();
    const int nFirst = std::max({0, TopRow(), RowAtY(rcDirty.top())});
    const int nLast = std::min(nRows - 1, RowAtY(rcDirty.bottom()));
    const QColor gridColor =
        QColor::fromRgba(static_cast<QRgb>(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this)));
    for (int nRow = nFirst; nRow <= nLast; ++nRow) PaintRow(painter, option, nRow, rcDirty, gridColor);
    const QModelIndex current = currentIndex();
    if (hasFocus() && current.isValid() && current.row() >= nFirst && current.row() <= nLast)
        PaintFocusRow(painter, current);
}

// The focus row gets a dotted frame in the colour of its text, as a desktop
// list draws it: seen on a selected row and on a plain one, whether the
// focus came by the keyboard or by the mouse (styles draw their own focus
// frame only after a Tab, and in the colour of the selection).
void CListCtrl::PaintFocusRow(QPainter& painter, const QModelIndex& current) {
    const bool bSelected = selectionModel()->isSelected(current);
    painter.setPen(QPen(palette().color(QPalette::Active, bSelected ? QPalette::HighlightedText : QPalette::Text), 0,
                        Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(RowRect(current.row()).adjusted(0, 0, -1, -2));
}

void CListCtrl::PaintRow(QPainter& painter, QStyleOptionViewItem& option, int nRow, const QRect& rcDirty,
                         const QColor& gridColor) {
    const QStyle::State state = option.state;
    const int y = (nRow - TopRow()) * m_nRowHeight;
    for (int nVisual = 0; nVisual < m_pHeader->count(); ++nVisual) {
        const int nColumn = m_pHeader->logicalIndex(nVisual);
        if (m_pHeader->isSectionHidden(nColumn)) continue;
        const int x = m_pHeader->sectionViewportPosition(nColumn);
        const int nWidth = m_pHeader->sectionSize(nColumn);
        if (x + nWidth <= rcDirty.left() || x > rcDirty.right()) continue;
        const QModelIndex index = model()->index(nRow, nColumn, rootIndex());
        option.rect = QRect(x, y, nWidth - 1, m_nRowHeight - 1);
        option.state = state;
        if (selectionModel()->isSelected(index)) option.state |= QStyle::State_Selected;
        itemDelegateForIndex(index)->paint(&painter, option, index);
        painter.setPen(gridColor);
        painter.drawLine(x + nWidth - 1, y, x + nWidth - 1, y + m_nRowHeight - 1);
        painter.drawLine(x, y + m_nRowHeight - 1, x + nWidth - 1, y + m_nRowHeight - 1);
    }
    option.state = state;
}

}  // namespace norvane
