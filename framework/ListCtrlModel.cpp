#include "framework/ListCtrlModel.h"

#include <algorithm>

#include "framework/AfxTypes.h"

namespace norvane {

int ListCtrlModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant ListCtrlModel::data(const QModelIndex& index, int nRole) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    if (nRole == Qt::TextAlignmentRole) {
        return QVariant::fromValue(m_columns[static_cast<std::size_t>(index.column())].align);
    }
    return nRole == Qt::DisplayRole ? QVariant(CellText(index.row(), index.column())) : QVariant();
}

QVariant ListCtrlModel::headerData(int nSection, Qt::Orientation orientation, int nRole) const {
    if (orientation != Qt::Horizontal || nSection < 0 || nSection >= columnCount()) return {};
    const Column& column = m_columns[static_cast<std::size_t>(nSection)];
    if (nRole == Qt::DisplayRole) return column.strHeading;
    if (nRole == Qt::TextAlignmentRole) return QVariant::fromValue(column.align);
    return {};
}

Qt::ItemFlags ListCtrlModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

int ListCtrlModel::InsertColumn(int nCol, const QString& strHeading, int nFormat) {
    const int nAt = std::clamp(nCol, 0, columnCount());
    beginInsertColumns(QModelIndex(), nAt, nAt);
    const Qt::Alignment align = (nFormat == LVCFMT_RIGHT ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    m_columns.insert(m_columns.begin() + nAt, Column{strHeading, align});
    endInsertColumns();
    return nAt;
}

void ListCtrlModel::Reorder(const std::vector<int>& order, const std::function<void()>& fnMove) {
    const std::vector<int> newRow = NewRows(order);
    if (!newRow.empty()) MoveRows(newRow, fnMove);
}

std::vector<int> ListCtrlModel::NewRows(const std::vector<int>& order) {
    const std::size_t nCount = order.size();
    std::vector<int> newRow(nCount, -1);
    for (std::size_t i = 0; i < nCount; ++i) {
        const int nOld = order[i];
        if (nOld < 0 || static_cast<std::size_t>(nOld) >= nCount || newRow[static_cast<std::size_t>(nOld)] >= 0) return {};
        newRow[static_cast<std::size_t>(nOld)] = static_cast<int>(i);
    }
    return newRow;
}

void ListCtrlModel::MoveRows(const std::vector<int>& newRow, const std::function<void()>& fnMove) {
    if (newRow.size() != static_cast<std::size_t>(rowCount())) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    fnMove();
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& idx : from) to.append(index(newRow[static_cast<std::size_t>(idx.row())], idx.column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace norvane
