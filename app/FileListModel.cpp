#include "app/FileListModel.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>

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

QString FromCodePage(std::string& strText) {
    if (CurrentCodePage() != kCodePageUtf8) strText = CodePageToUtf8(strText);
    return QString::fromUtf8(strText.data(), static_cast<qsizetype>(strText.size()));
}

// A changed cell's background: amber mixed into the list's base colour, so
// that it stays light under dark text and dark under light text.
QColor ChangedCellColor() {
    const QColor base = QGuiApplication::palette().color(QPalette::Active, QPalette::Base);
    const QColor amber(255, 176, 0);
    const double share = base.lightness() >= 128 ? 0.35 : 0.40;
    const auto mix = [share](int from, int to) { return static_cast<int>(from * (1 - share) + to * share + 0.5); };
    return QColor(mix(base.red(), amber.red()), mix(base.green(), amber.green()), mix(base.blue(), amber.blue()));
}

}  // namespace

int FileListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return static_cast<int>(m_pComparison != nullptr ? m_compared.size() : m_rows.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
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

bool FileListModel::RemoveColumn(int nCol) {
    if (nCol < 0 || nCol >= columnCount()) return false;
    beginRemoveColumns(QModelIndex(), nCol, nCol);
    m_columns.erase(m_columns.begin() + nCol);
    endRemoveColumns();
    return true;
}

void FileListModel::AppendRows(std::span<const FileItem* const> items) {
    if (items.empty() || m_pComparison != nullptr) return;
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
    m_pComparison.reset();
    std::vector<std::uint32_t>().swap(m_compared);
    m_pStore = std::move(store);
    endResetModel();
}

void FileListModel::SetRows(std::shared_ptr<const FileStore> store, std::vector<ItemRef> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    std::vector<ItemRef>().swap(m_scanOrder);
    m_pComparison.reset();
    std::vector<std::uint32_t>().swap(m_compared);
    m_pStore = std::move(store);
    endResetModel();
}

void FileListModel::SetComparison(std::shared_ptr<const Comparison> comparison, bool bShowUnchanged) {
    beginResetModel();
    // The list's own rows in scan order stay what a saved catalogue keeps.
    if (m_scanOrder.empty()) m_scanOrder = std::move(m_rows);
    std::vector<ItemRef>().swap(m_rows);
    m_pComparison = std::move(comparison);
    m_bShowUnchanged = bShowUnchanged;
    FillCompared();
    endResetModel();
}

void FileListModel::SetShowUnchanged(bool bShowUnchanged) {
    m_bShowUnchanged = bShowUnchanged;
    if (m_pComparison == nullptr) return;
    beginResetModel();
    FillCompared();
    endResetModel();
}

void FileListModel::FillCompared() {
    std::vector<std::uint32_t>().swap(m_compared);
    const Comparison& comparison = *m_pComparison;
    m_compared.reserve(m_bShowUnchanged ? comparison.size()
                                        : comparison.size() - comparison.Count(ChangeKind::kUnchanged));
    for (std::size_t i = 0; i < comparison.size(); ++i) {
        if (m_bShowUnchanged || comparison[i].kind != ChangeKind::kUnchanged)
            m_compared.push_back(static_cast<std::uint32_t>(i));
    }
}

const ComparedRow* FileListModel::Compared(int nRow) const {
    if (m_pComparison == nullptr || nRow < 0 || nRow >= rowCount()) return nullptr;
    return &(*m_pComparison)[m_compared[static_cast<std::size_t>(nRow)]];
}

const FileItem* FileListModel::Item(int nRow) const {
    if (nRow < 0 || nRow >= rowCount()) return nullptr;
    if (m_pComparison != nullptr) return Compared(nRow)->item;
    return m_pStore->Item(m_rows[static_cast<std::size_t>(nRow)]);
}

std::vector<const FileItem*> FileListModel::Items() const {
    std::vector<const FileItem*> items(static_cast<std::size_t>(rowCount()));
    for (std::size_t i = 0; i < items.size(); ++i) items[i] = Item(static_cast<int>(i));
    return items;
}

void FileListModel::Sort(int nColumn, bool bDescending) {
    if (m_pComparison != nullptr) {
        NewOrder order =
            PrepareOrder(m_compared, ComparisonSortOrder(RowsOf(*m_pComparison, m_compared), nColumn, bDescending));
        order.comparison = m_pComparison.get();
        ApplyOrder(std::move(order));
        return;
    }
    // The order is worked out from keys (SortOrder): a million rows sort in
    // well under a second, where comparing records one pair at a time does not.
    ApplyOrder(PrepareOrder(m_rows, SortOrder(Items(), nColumn, bDescending)));
}

FileListModel::NewOrder FileListModel::PrepareOrder(const std::vector<std::uint32_t>& refs,
                                                    const std::vector<int>& order) {
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
    if (order.comparison != m_pComparison.get()) return;
    if (m_pComparison != nullptr) {
        if (order.rows.size() != m_compared.size() || order.rows.empty()) return;
        MoveRows(order.newRow, [&] { m_compared.swap(order.rows); });
        return;
    }
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

std::vector<const ComparedRow*> RowsOf(const Comparison& comparison, const std::vector<std::uint32_t>& positions) {
    std::vector<const ComparedRow*> rows(positions.size());
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = &comparison[positions[i]];
    return rows;
}

void FileListModel::SetFormattedSize(bool bFormattedSize) {
    m_bFormattedSize = bFormattedSize;
    const int nColumn = ModelColumn(kColumnSize);
    if (rowCount() > 0) emit dataChanged(index(0, nColumn), index(rowCount() - 1, nColumn));
}

QString FileListModel::RowsText(const std::vector<int>& rows, const std::vector<int>& columns) const {
    std::vector<int> shown;
    for (int nColumn : columns) {
        if (nColumn >= 0 && nColumn < columnCount()) shown.push_back(ListColumn(nColumn));
    }
    if (m_pComparison != nullptr) {
        std::vector<const ComparedRow*> compared;
        for (int nRow : rows) {
            if (const ComparedRow* pRow = Compared(nRow)) compared.push_back(pRow);
        }
        return CopiedText(compared, shown, m_bFormattedSize);
    }
    std::vector<const FileItem*> items;
    for (int nRow : rows) {
        if (const FileItem* pItem = Item(nRow)) items.push_back(pItem);
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

namespace {

// Copied lines of rows (records or compared rows), a piece at a time, each
// piece after a look at the stop.
template <typename Row, typename AppendLine>
QString CopiedLines(const std::vector<const Row*>& rows, WorkControl* pControl, AppendLine appendLine) {
    constexpr std::size_t kPiece = 4096;
    std::string strText;
    if (pControl != nullptr) pControl->SetTotal(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (pControl != nullptr && i % kPiece == 0 && i > 0) {
            if (pControl->StopRequested()) return {};
            pControl->Advance(kPiece);
        }
        appendLine(strText, *rows[i]);
    }
    return FromCodePage(strText);
}

}  // namespace

QString CopiedText(const std::vector<const FileItem*>& items, const std::vector<int>& columns, bool bFormattedSize,
                   WorkControl* pControl) {
    return CopiedLines(items, pControl, [&](std::string& out, const FileItem& item) {
        AppendRowLine(out, item, columns, bFormattedSize);
    });
}

QString CopiedText(const std::vector<const ComparedRow*>& rows, const std::vector<int>& columns, bool bFormattedSize,
                   WorkControl* pControl) {
    return CopiedLines(rows, pControl, [&](std::string& out, const ComparedRow& row) {
        AppendComparedRowLine(out, row, columns, bFormattedSize);
    });
}

QString FileListModel::CellText(int nRow, int nColumn) const {
    m_strCell.clear();
    if (const ComparedRow* pCompared = Compared(nRow)) {
        const int nListColumn = ListColumn(nColumn);
        if (nListColumn == kColumnChange) AppendChangeText(m_strCell, *pCompared);
        else AppendCellText(m_strCell, *pCompared->item, nListColumn, m_bFormattedSize);
    } else {
        AppendCellText(m_strCell, *m_pStore->Item(m_rows[static_cast<std::size_t>(nRow)]), nColumn, m_bFormattedSize);
    }
    return FromCodePage(m_strCell);
}

QString FileListModel::ChangedText(const ComparedRow& row, int nListColumn) const {
    m_strCell.clear();
    AppendComparedCellText(m_strCell, row, nListColumn, m_bFormattedSize);
    return FromCodePage(m_strCell);
}

QVariant FileListModel::data(const QModelIndex& index, int nRole) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    if (nRole == Qt::DisplayRole) return CellText(index.row(), index.column());
    if (nRole == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_columns[static_cast<std::size_t>(index.column())].align);
    const bool bMarkRole = nRole == Qt::BackgroundRole || nRole == Qt::FontRole || nRole == Qt::ToolTipRole ||
                           nRole == Qt::AccessibleTextRole;
    const ComparedRow* pCompared = bMarkRole ? Compared(index.row()) : nullptr;
    const int nListColumn = pCompared != nullptr ? ListColumn(index.column()) : -1;
    if (pCompared == nullptr || !pCompared->IsChanged(nListColumn) || pCompared->old == nullptr) return {};
    switch (nRole) {
        case Qt::BackgroundRole: return ChangedCellColor();
        case Qt::FontRole: {
            QFont font;  // bold, the rest as the list's
            font.setBold(true);
            return font;
        }
        case Qt::ToolTipRole: return QStringLiteral("変更: ") + ChangedText(*pCompared, nListColumn);
        default: {
            // Said in words: the value shown, then the old one.
            const bool bMoved = nListColumn == kColumnDirectory;
            m_strCell.clear();
            AppendChangedValueText(m_strCell, *pCompared->item, nListColumn, m_bFormattedSize);
            m_strCell += Utf8ToCodePage(bMoved ? "（移動前 " : "（変更前 ");
            AppendChangedValueText(m_strCell, *pCompared->old, nListColumn, m_bFormattedSize);
            m_strCell += Utf8ToCodePage("）");
            return FromCodePage(m_strCell);
        }
    }
}

}  // namespace norvane
