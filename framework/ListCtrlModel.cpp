#include "framework/ListCtrlModel.h"

#include <QFontMetrics>

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <utility>

namespace norvane {
namespace {

// The advances of a font's characters, each asked of the font once.
class CharAdvances {
public:
    explicit CharAdvances(const QFontMetrics& metrics) : m_metrics(metrics), m_basic(0x10000, kUnknown) {}

    int Of(const QString& strText) {
        int nWidth = 0;
        const qsizetype nLength = strText.size();
        for (qsizetype i = 0; i < nLength; ++i) {
            const QChar ch = strText[i];
            if (ch.isHighSurrogate() && i + 1 < nLength && strText[i + 1].isLowSurrogate()) {
                nWidth += Beyond(QChar::surrogateToUcs4(ch, strText[i + 1]), strText.mid(i, 2));
                ++i;
                continue;
            }
            std::int32_t& nAdvance = m_basic[ch.unicode()];
            if (nAdvance == kUnknown) nAdvance = m_metrics.horizontalAdvance(ch);
            nWidth += nAdvance;
        }
        return nWidth;
    }

private:
    static constexpr std::int32_t kUnknown = -1;

    int Beyond(char32_t code, const QString& strPair) {
        const auto found = m_beyond.find(code);
        if (found != m_beyond.end()) return found->second;
        return m_beyond[code] = m_metrics.horizontalAdvance(strPair);
    }

    const QFontMetrics& m_metrics;
    std::vector<std::int32_t> m_basic;  // the Basic Multilingual Plane
    std::unordered_map<char32_t, int> m_beyond;
};

// How far below the widest sum a text may be and still be measured again:
// shaping (kerning, above all) takes a few pixels off a long text's sum.
int Slack(int nWidest) { return 4 + nWidest / 16; }

}  // namespace

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

int ListCtrlModel::InsertColumn(int nCol, const QString& strHeading, ColumnAlign align) {
    const int nAt = std::clamp(nCol, 0, columnCount());
    beginInsertColumns(QModelIndex(), nAt, nAt);
    const Qt::Alignment flags = (align == ColumnAlign::kRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    m_columns.insert(m_columns.begin() + nAt, Column{strHeading, flags});
    endInsertColumns();
    return nAt;
}

bool ListCtrlModel::RemoveColumn(int nCol) {
    if (nCol < 0 || nCol >= columnCount()) return false;
    beginRemoveColumns(QModelIndex(), nCol, nCol);
    m_columns.erase(m_columns.begin() + nCol);
    endRemoveColumns();
    return true;
}

std::vector<int> ListCtrlModel::WidestRows(int nColumn, const QFontMetrics& metrics) const {
    if (nColumn < 0 || nColumn >= columnCount()) return {};
    CharAdvances advances(metrics);
    // (sum, row) of the rows within the slack of the widest so far; pruned
    // when it has grown, so it stays small whatever the number of rows.
    std::vector<std::pair<int, int>> candidates;
    int nWidest = 0;
    auto prune = [&] {
        std::erase_if(candidates, [&](const auto& candidate) { return candidate.first < nWidest - Slack(nWidest); });
        std::sort(candidates.begin(), candidates.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        if (candidates.size() > kWidestRows) candidates.resize(kWidestRows);
    };
    const int nRows = rowCount();
    for (int nRow = 0; nRow < nRows; ++nRow) {
        const int nWidth = advances.Of(CellText(nRow, nColumn));
        if (nWidth < nWidest - Slack(nWidest)) continue;
        nWidest = std::max(nWidest, nWidth);
        candidates.emplace_back(nWidth, nRow);
        if (candidates.size() >= 4 * kWidestRows) prune();
    }
    prune();
    std::vector<int> rows;
    rows.reserve(candidates.size());
    for (const auto& candidate : candidates) rows.push_back(candidate.second);
    return rows;
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
        if (nOld < 0 || static_cast<std::size_t>(nOld) >= nCount || newRow[static_cast<std::size_t>(nOld)] >= 0)
            return {};
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
