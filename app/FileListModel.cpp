#include "app/FileListModel.h"

#include <QFontMetrics>

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstdint>
#include <unordered_map>
#include <utility>

#include "catalogue/CellText.h"
#include "catalogue/SortRows.h"
#include "platform/CodePage.h"

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

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant FileListModel::data(const QModelIndex& index, int nRole) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    if (nRole == Qt::TextAlignmentRole) {
        return QVariant::fromValue(m_columns[static_cast<std::size_t>(index.column())].align);
    }
    return nRole == Qt::DisplayRole ? QVariant(CellText(index.row(), index.column())) : QVariant();
}

QVariant FileListModel::headerData(int nSection, Qt::Orientation orientation, int nRole) const {
    if (orientation != Qt::Horizontal || nSection < 0 || nSection >= columnCount()) return {};
    const Column& column = m_columns[static_cast<std::size_t>(nSection)];
    if (nRole == Qt::DisplayRole) return column.strHeading;
    if (nRole == Qt::TextAlignmentRole) return QVariant::fromValue(column.align);
    return {};
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

int FileListModel::InsertColumn(int nCol, const QString& strHeading, ColumnAlign align) {
    const int nAt = std::clamp(nCol, 0, columnCount());
    beginInsertColumns(QModelIndex(), nAt, nAt);
    const Qt::Alignment flags = (align == ColumnAlign::kRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    m_columns.insert(m_columns.begin() + nAt, Column{strHeading, flags});
    endInsertColumns();
    return nAt;
}

void FileListModel::AppendRows(std::span<const FileItem* const> items) {
    if (items.empty()) return;
    const int nFirst = rowCount();
    beginInsertRows(QModelIndex(), nFirst, nFirst + static_cast<int>(items.size()) - 1);
    // The row list doubles from a power of two, as the lister's does: with
    // growth that followed the batches, it could be copied once more late in
    // a scan, the old and the new copy held together at the scan's peak.
    if (m_rows.size() + items.size() > m_rows.capacity()) m_rows.reserve(std::bit_ceil(m_rows.size() + items.size()));
    for (const FileItem* pItem : items) {
        assert(m_pStore != nullptr && m_pStore->Item(pItem->ref) == pItem);
        m_rows.push_back(pItem->ref);
    }
    endInsertRows();
}

void FileListModel::Clear(std::shared_ptr<const FileStore> store) {
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    std::vector<ItemRef>().swap(m_scanOrder);
    m_pStore = std::move(store);
    endResetModel();
}

void FileListModel::SetRows(std::shared_ptr<const FileStore> store, std::vector<ItemRef> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    std::vector<ItemRef>().swap(m_scanOrder);
    m_pStore = std::move(store);
    endResetModel();
}

const FileItem* FileListModel::Item(int nRow) const {
    return nRow >= 0 && nRow < rowCount() ? m_pStore->Item(m_rows[static_cast<std::size_t>(nRow)]) : nullptr;
}

std::vector<const FileItem*> FileListModel::Items() const {
    std::vector<const FileItem*> items(m_rows.size());
    for (std::size_t i = 0; i < items.size(); ++i) items[i] = m_pStore->Item(m_rows[i]);
    return items;
}

void FileListModel::Sort(int nColumn, bool bDescending) {
    // The order is worked out from keys (SortOrder): a million rows sort in
    // well under a second, where comparing records one pair at a time does not.
    ApplyOrder(PrepareOrder(m_rows, SortOrder(Items(), nColumn, bDescending)));
}

FileListModel::NewOrder FileListModel::PrepareOrder(const std::vector<ItemRef>& refs, const std::vector<int>& order) {
    NewOrder prepared;
    if (order.size() != refs.size()) return prepared;
    prepared.newRow = NewRows(order);
    if (prepared.newRow.empty()) return prepared;
    prepared.rows.resize(refs.size());
    for (std::size_t i = 0; i < refs.size(); ++i) prepared.rows[i] = refs[static_cast<std::size_t>(order[i])];
    return prepared;
}

std::vector<int> FileListModel::NewRows(const std::vector<int>& order) {
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

void FileListModel::MoveRows(const std::vector<int>& newRow, const std::function<void()>& fnMove) {
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

void FileListModel::ApplyOrder(NewOrder order) {
    if (order.rows.size() != m_rows.size() || order.rows.empty()) return;
    // A catalogue keeps the scan's order, which a sort loses.
    if (m_scanOrder.empty()) m_scanOrder = m_rows;
    MoveRows(order.newRow, [&] { m_rows.swap(order.rows); });
}

std::vector<const FileItem*> ItemsOf(const FileStore& store, const std::vector<ItemRef>& refs) {
    std::vector<const FileItem*> items(refs.size());
    for (std::size_t i = 0; i < refs.size(); ++i) items[i] = store.Item(refs[i]);
    return items;
}

void FileListModel::SetFormattedSize(bool bFormattedSize) {
    m_bFormattedSize = bFormattedSize;
    if (!m_rows.empty()) emit dataChanged(index(0, kColumnSize), index(rowCount() - 1, kColumnSize));
}

QString FileListModel::RowsText(const std::vector<int>& rows, const std::vector<int>& columns) const {
    std::vector<const FileItem*> items;
    for (int nRow : rows) {
        if (const FileItem* pItem = Item(nRow)) items.push_back(pItem);
    }
    std::vector<int> shown;
    for (int nColumn : columns) {
        if (nColumn >= 0 && nColumn < columnCount()) shown.push_back(nColumn);
    }
    return CopiedText(items, shown, m_bFormattedSize);
}

std::vector<int> FileListModel::WidestRows(int nColumn, const QFontMetrics& metrics) const {
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

QString CopiedText(const std::vector<const FileItem*>& items, const std::vector<int>& columns, bool bFormattedSize,
                   WorkControl* pControl) {
    constexpr std::size_t kPiece = 4096;
    std::string strText;
    if (pControl != nullptr) pControl->SetTotal(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (pControl != nullptr && i % kPiece == 0 && i > 0) {
            if (pControl->StopRequested()) return {};
            pControl->Advance(kPiece);
        }
        AppendRowLine(strText, *items[i], columns, bFormattedSize);
    }
    if (CurrentCodePage() != kCodePageUtf8) strText = CodePageToUtf8(strText);
    return QString::fromUtf8(strText.data(), static_cast<qsizetype>(strText.size()));
}

QString FileListModel::CellText(int nRow, int nColumn) const {
    m_strCell.clear();
    AppendCellText(m_strCell, *m_pStore->Item(m_rows[static_cast<std::size_t>(nRow)]), nColumn, m_bFormattedSize);
    if (CurrentCodePage() != kCodePageUtf8) m_strCell = CodePageToUtf8(m_strCell);
    return QString::fromUtf8(m_strCell.data(), static_cast<qsizetype>(m_strCell.size()));
}

}  // namespace norvane
