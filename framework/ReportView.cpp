#include "framework/ReportView.h"

#include <QApplication>
#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace norvane {

ReportView::ReportView(QWidget* pParent)
    : QAbstractItemView(pParent),
      m_pHeader(new QHeaderView(Qt::Horizontal, this)),
      m_nRowHeight(fontMetrics().height() + 4) {
    static const bool bAccessible = (QAccessible::installFactory(&ReportViewAccessible), true);
    Q_UNUSED(bAccessible);
    setSelectionBehavior(SelectRows);
    m_pHeader->setSectionsClickable(true);
    connect(m_pHeader, &QHeaderView::sectionResized, this, &ReportView::OnColumnsChanged);
    connect(m_pHeader, &QHeaderView::sectionMoved, this, &ReportView::OnColumnsChanged);
    connect(m_pHeader, &QHeaderView::sectionCountChanged, this, &ReportView::OnColumnsChanged);
    connect(m_pHeader, &QHeaderView::geometriesChanged, this, &ReportView::updateGeometries);
    // A double click on a divider fits the column to its cells and heading;
    // on a long list that takes a moment.
    connect(m_pHeader, &QHeaderView::sectionHandleDoubleClicked, this, [this](int nColumn) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const int nWidth = std::max(sizeHintForColumn(nColumn), m_pHeader->sectionSizeHint(nColumn));
        QApplication::restoreOverrideCursor();
        m_pHeader->resizeSection(nColumn, nWidth);
    });
}

void ReportView::setModel(QAbstractItemModel* pModel) {
    if (model() != nullptr) disconnect(model(), &QAbstractItemModel::rowsRemoved, this, nullptr);
    QAbstractItemView::setModel(pModel);
    m_pHeader->setModel(pModel);
    if (pModel != nullptr) {
        connect(pModel, &QAbstractItemModel::rowsRemoved, this, [this] {
            updateGeometries();
            viewport()->update();
        });
    }
    updateGeometries();
}

void ReportView::setShowGrid(bool bShow) {
    m_bShowGrid = bShow;
    viewport()->update();
}

int ReportView::RowCount() const { return model() != nullptr ? model()->rowCount(rootIndex()) : 0; }

int ReportView::TopRow() const { return verticalScrollBar()->value(); }

int ReportView::PageRows() const { return std::max(1, viewport()->height() / m_nRowHeight); }

int ReportView::RowAtY(int y) const {
    // Rounded down, above the viewport too.
    const int nRows = y >= 0 ? y / m_nRowHeight : -((m_nRowHeight - 1 - y) / m_nRowHeight);
    return TopRow() + nRows;
}

QRect ReportView::RowRect(int nRow) const {
    return {-m_pHeader->offset(), (nRow - TopRow()) * m_nRowHeight, m_pHeader->length(), m_nRowHeight};
}

QRect ReportView::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.parent() != rootIndex() || m_pHeader->isSectionHidden(index.column())) return {};
    const int nGrid = m_bShowGrid ? 1 : 0;
    return {m_pHeader->sectionViewportPosition(index.column()), (index.row() - TopRow()) * m_nRowHeight,
            m_pHeader->sectionSize(index.column()) - nGrid, m_nRowHeight - nGrid};
}

QModelIndex ReportView::indexAt(const QPoint& pt) const {
    const int nRow = RowAtY(pt.y());
    const int nColumn = m_pHeader->logicalIndexAt(pt.x());
    if (nRow < 0 || nRow >= RowCount() || nColumn < 0) return {};
    return model()->index(nRow, nColumn, rootIndex());
}

void ReportView::scrollTo(const QModelIndex& index, ScrollHint hint) {
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

void ReportView::reset() {
    QAbstractItemView::reset();
    // A new list starts at its top.
    verticalScrollBar()->setValue(0);
    updateGeometries();
    viewport()->update();
}

QModelIndex ReportView::moveCursor(CursorAction action, Qt::KeyboardModifiers /*mods*/) {
    const int nRows = RowCount();
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

int ReportView::horizontalOffset() const { return m_pHeader->offset(); }

int ReportView::verticalOffset() const { return TopRow() * m_nRowHeight; }

bool ReportView::isIndexHidden(const QModelIndex& index) const { return m_pHeader->isSectionHidden(index.column()); }

void ReportView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags flags) {
    const int nRows = RowCount();
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

QRegion ReportView::visualRegionForSelection(const QItemSelection& selection) const {
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

void ReportView::updateGeometries() {
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
    verticalScrollBar()->setRange(0, std::max(0, RowCount() - nPage));
    horizontalScrollBar()->setSingleStep(std::max(1, fontMetrics().averageCharWidth() * 2));
    horizontalScrollBar()->setPageStep(rcView.width());
    horizontalScrollBar()->setRange(0, std::max(0, m_pHeader->length() - rcView.width()));
    m_pHeader->setOffset(horizontalScrollBar()->value());
    m_bInGeometries = false;
    QAbstractItemView::updateGeometries();
}

void ReportView::scrollContentsBy(int dx, int dy) {
    m_pHeader->setOffset(horizontalScrollBar()->value());
    dy *= m_nRowHeight;
    scrollDirtyRegion(dx, dy);
    viewport()->scroll(dx, dy);
}

void ReportView::rowsInserted(const QModelIndex& parent, int nFirst, int nLast) {
    QAbstractItemView::rowsInserted(parent, nFirst, nLast);
    if (parent != rootIndex()) return;
    updateGeometries();
    if (nFirst < TopRow() + PageRows() + 1) viewport()->update();
}

void ReportView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    // The focus frame goes round the whole row.
    if (previous.isValid()) viewport()->update(RowRect(previous.row()));
    if (current.isValid()) viewport()->update(RowRect(current.row()));
    QAbstractItemView::currentChanged(current, previous);
    if (hasFocus()) Announce(QAccessible::Focus, current);
}

void ReportView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QAbstractItemView::selectionChanged(selected, deselected);
    // The first cell of each: a range of a million rows is one event.
    if (!selected.isEmpty()) Announce(QAccessible::SelectionAdd, selected.first().topLeft());
    if (!deselected.isEmpty()) Announce(QAccessible::SelectionRemove, deselected.first().topLeft());
}

void ReportView::Announce(QAccessible::Event type, const QModelIndex& index) {
    if (!QAccessible::isActive() || !index.isValid()) return;
    QAccessibleEvent event(this, type);
    // The headings come first among the table's children.
    event.setChild((index.row() + 1) * model()->columnCount(rootIndex()) + index.column());
    QAccessible::updateAccessibility(&event);
}

std::vector<std::pair<int, int>> ReportView::SelectedRuns() const {
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

std::vector<int> ReportView::GetSelectedRows() const {
    std::vector<int> rows;
    for (const auto& [nFirst, nLast] : SelectedRuns()) {
        for (int nRow = nFirst; nRow <= nLast; ++nRow) rows.push_back(nRow);
    }
    return rows;
}

int ReportView::GetSelectedCount() const {
    int nCount = 0;
    for (const auto& [nFirst, nLast] : SelectedRuns()) nCount += nLast - nFirst + 1;
    return nCount;
}

void ReportView::changeEvent(QEvent* pEvent) {
    QAbstractItemView::changeEvent(pEvent);
    if (pEvent->type() != QEvent::FontChange) return;
    m_nRowHeight = fontMetrics().height() + 4;
    updateGeometries();
    viewport()->update();
}

void ReportView::OnColumnsChanged() {
    updateGeometries();
    viewport()->update();
}

void ReportView::paintEvent(QPaintEvent* pEvent) {
    const int nRows = RowCount();
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
void ReportView::PaintFocusRow(QPainter& painter, const QModelIndex& current) {
    const bool bSelected = selectionModel()->isSelected(current);
    QPen pen(palette().color(QPalette::Active, bSelected ? QPalette::HighlightedText : QPalette::Text));
    pen.setStyle(Qt::DotLine);
    pen.setWidth(0);
    painter.save();
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const QRect rcRow = RowRect(current.row()).adjusted(0, 0, -1, m_bShowGrid ? -2 : -1);
    painter.drawRect(rcRow);
    painter.restore();
}

void ReportView::PaintRow(QPainter& painter, QStyleOptionViewItem& option, int nRow, const QRect& rcDirty,
                          const QColor& gridColor) {
    const QStyle::State state = option.state;
    const int nGrid = m_bShowGrid ? 1 : 0;
    const int y = (nRow - TopRow()) * m_nRowHeight;
    for (int nVisual = 0; nVisual < m_pHeader->count(); ++nVisual) {
        const int nColumn = m_pHeader->logicalIndex(nVisual);
        if (m_pHeader->isSectionHidden(nColumn)) continue;
        const int x = m_pHeader->sectionViewportPosition(nColumn);
        const int nWidth = m_pHeader->sectionSize(nColumn);
        if (x + nWidth <= rcDirty.left() || x > rcDirty.right()) continue;
        const QModelIndex index = model()->index(nRow, nColumn, rootIndex());
        option.rect = QRect(x, y, nWidth - nGrid, m_nRowHeight - nGrid);
        option.state = state;
        if (selectionModel()->isSelected(index)) option.state |= QStyle::State_Selected;
        itemDelegateForIndex(index)->paint(&painter, option, index);
        if (nGrid == 0) continue;
        painter.setPen(gridColor);
        painter.drawLine(x + nWidth - 1, y, x + nWidth - 1, y + m_nRowHeight - 1);
        painter.drawLine(x, y + m_nRowHeight - 1, x + nWidth - 1, y + m_nRowHeight - 1);
    }
    option.state = state;
}

}  // namespace norvane
