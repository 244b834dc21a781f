#include "catalogue/Comparison.h"

#include <algorithm>
#include <functional>
#include <numeric>
#include <tuple>
#include <unordered_set>
#include <utility>

#include "catalogue/SortRows.h"
#include "platform/CodePage.h"
#include "platform/FileTime.h"

namespace norvane {

namespace {

constexpr std::uint32_t kRemoved = 0x80000000u;
constexpr std::uint32_t kNotMoved = 0xFFFFFFFFu;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;
constexpr std::uint64_t kTicksPerSecond = 10'000'000;

// What an old folder without a folder of the same path on the new side maps to.
const Folder kUnmapped{};

std::uint64_t Mix(std::uint64_t value) {
    // The last step of splitmix64: every bit of the input moves every bit
    // of the hash, so pointers and small numbers spread over the table.
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ULL;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBULL;
    return value ^ (value >> 31);
}

std::uint64_t NameHash(std::string_view name) { return std::hash<std::string_view>{}(name); }

std::uint64_t PathHash(const Folder* folder, std::string_view rawName) {
    return Mix(NameHash(rawName) ^ Mix(reinterpret_cast<std::uintptr_t>(folder)));
}

// The folder of the new side a path key names: null for the top.
const Folder* NewKey(const Folder* folder) { return folder != nullptr && folder->parent != nullptr ? folder : nullptr; }

std::uint64_t Seconds(FILETIME time) { return time / kTicksPerSecond; }

// What pairs a removed file with an added one: its name, size, time and
// version.
struct MoveEntry {
    std::uint64_t hash;
    const FileItem* item;
    std::uint32_t number;  // of the removed file, or of the new row
    bool removed;
};

auto MoveKey(const MoveEntry& entry) {
    const FileItem& item = *entry.item;
    return std::make_tuple(entry.hash, item.fileSize, Seconds(item.fileTime), item.versionInfo.dwFileVersionMS,
                           item.versionInfo.dwFileVersionLS, item.rawName());
}

// The texts of the change cells, in one code page.
struct ChangeTexts {
    std::array<std::string, kChangeKindCount> kinds;
    std::array<std::string, 5> values;  // in ChangedValue's order
    std::string open, separator, close, arrow;
};

ChangeTexts MakeChangeTexts(int codePage) {
    const auto text = [codePage](const char* utf8) { return Utf8ToCodePage(utf8, codePage); };
    return {{text("追加"), text("削除"), text("変更"), text("移動"), text("同一")},
            {text("日時"), text("サイズ"), text("バージョン"), text("システム"), text("隠し")},
            text("（"),
            text("・"),
            text("）"),
            text(" → ")};
}

const ChangeTexts& Texts(int codePage) {
    static const ChangeTexts shiftJis = MakeChangeTexts(kCodePageShiftJis);
    static const ChangeTexts utf8 = MakeChangeTexts(kCodePageUtf8);
    return codePage == kCodePageShiftJis ? shiftJis : utf8;
}

}  // namespace

std::uint8_t ChangedValues(const FileItem& before, const FileItem& after) {
    std::uint8_t changed = 0;
    if (Seconds(before.fileTime) != Seconds(after.fileTime)) changed |= kChangedTime;
    if (before.fileSize != after.fileSize) changed |= kChangedSize;
    if (before.versionInfo.dwFileVersionMS != after.versionInfo.dwFileVersionMS ||
        before.versionInfo.dwFileVersionLS != after.versionInfo.dwFileVersionLS) {
        changed |= kChangedVersion;
    }
    if (before.systemFile != after.systemFile) changed |= kChangedSystem;
    if (before.hidden != after.hidden) changed |= kChangedHidden;
    return changed;
}

bool ComparedRow::IsChanged(int column) const {
    if (kind != ChangeKind::kChanged && kind != ChangeKind::kMoved) return false;
    switch (column) {
        case kColumnDateTime: return (changed & kChangedTime) != 0;
        case kColumnSize: return (changed & kChangedSize) != 0;
        case kColumnVersion: return (changed & kChangedVersion) != 0;
        case kColumnSystem: return (changed & kChangedSystem) != 0;
        case kColumnHidden: return (changed & kChangedHidden) != 0;
        case kColumnDirectory: return kind == ChangeKind::kMoved;
        default: return false;
    }
}

std::size_t ComparisonBuilder::FolderKeyHash::operator()(const FolderKey& key) const {
    return PathHash(key.parent, key.name);
}

ComparisonBuilder::ComparisonBuilder(std::span<const FileItem* const> newRows,
                                     std::shared_ptr<const FileStore> newRecords)
    : m_nLastOld(kNone), m_pKept(std::make_shared<FileStore>()), m_pNewRecords(std::move(newRecords)) {
    m_rows.reserve(newRows.size());
    for (const FileItem* item : newRows) m_rows.push_back({item, nullptr, ChangeKind::kAdded, 0});
    IndexNewSide();
}

ComparisonBuilder::~ComparisonBuilder() = default;

void ComparisonBuilder::IndexNewSide() {
    std::size_t size = 16;
    while (size < 2 * m_rows.size()) size <<= 1;
    m_index.assign(size, 0);
    const std::size_t mask = size - 1;
    std::unordered_set<const Folder*> seen;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const FileItem* item = m_rows[i].item;
        // Each folder once, from the file's up to the first one seen.
        for (const Folder* f = item->folder; NewKey(f) != nullptr && seen.insert(f).second; f = f->parent)
            m_newFolders.emplace(FolderKey{NewKey(f->parent), f->rawName}, f);
        // A path that is there twice (a catalogue edited by hand) is found
        // at its first place, which comes first in the probe order.
        const std::uint64_t hash = PathHash(NewKey(item->folder), item->rawName());
        std::size_t pos = hash & mask;
        while (m_index[pos] != 0) pos = (pos + 1) & mask;
        m_index[pos] = static_cast<std::uint32_t>(i + 1);
    }
}

std::int64_t ComparisonBuilder::FindNew(const Folder* folder, std::string_view rawName) const {
    // Two lists of one tree mostly go through it in the same order: the row
    // after the last one found is the first guess, read in order, where the
    // table costs a few reads from anywhere in memory.
    if (const std::size_t next = m_nLastFound + 1; next < m_rows.size()) {
        const FileItem* item = m_rows[next].item;
        if (NewKey(item->folder) == folder && item->rawName() == rawName) return static_cast<std::int64_t>(next);
    }
    const std::uint64_t hash = PathHash(folder, rawName);
    const std::size_t mask = m_index.size() - 1;
    for (std::size_t pos = hash & mask; m_index[pos] != 0; pos = (pos + 1) & mask) {
        const std::size_t row = m_index[pos] - 1;
        const FileItem* item = m_rows[row].item;
        if (NewKey(item->folder) == folder && item->rawName() == rawName) return static_cast<std::int64_t>(row);
    }
    return -1;
}

bool ComparisonBuilder::MapFolder(const Folder* oldFolder, const Folder** newFolder) {
    if (oldFolder == m_pLastOld && oldFolder != nullptr) {
        *newFolder = m_pLastNew;
        return m_bLastMapped;
    }
    // Up to the top or a folder mapped before, then down again: no
    // recursion, whatever the depth.
    std::vector<const Folder*> chain;
    const Folder* mapped = nullptr;
    bool ok = oldFolder != nullptr;
    for (const Folder* f = oldFolder; f != nullptr && f->parent != nullptr; f = f->parent) {
        const auto found = m_folderMap.find(f);
        if (found != m_folderMap.end()) {
            mapped = found->second;
            ok = mapped != &kUnmapped;
            break;
        }
        chain.push_back(f);
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (ok) {
            const auto found = m_newFolders.find(FolderKey{mapped, (*it)->rawName});
            ok = found != m_newFolders.end();
            mapped = ok ? found->second : nullptr;
        }
        m_folderMap.emplace(*it, ok ? mapped : &kUnmapped);
    }
    m_pLastOld = oldFolder;
    m_pLastNew = ok ? mapped : nullptr;
    m_bLastMapped = ok;
    *newFolder = m_pLastNew;
    return ok;
}

void ComparisonBuilder::SetOldFolders(std::shared_ptr<const FileStore> oldFolders) {
    m_pOldFolders = std::move(oldFolders);
}

const FileItem* ComparisonBuilder::Keep(const FileItem& item) {
    FileItem* kept = m_pKept->AddItem(item.fileName, item.folder, item.rawName());
    kept->fileSize = item.fileSize;
    kept->fileTime = item.fileTime;
    kept->versionInfo = item.versionInfo;
    kept->systemFile = item.systemFile;
    kept->hidden = item.hidden;
    kept->kind = item.kind;
    return kept;
}

void ComparisonBuilder::AddOld(const FileItem& item) {
    const Folder* folder = nullptr;
    const std::int64_t found = MapFolder(item.folder, &folder) ? FindNew(folder, item.rawName()) : -1;
    // A path the old side has twice matches once; the second is removed.
    if (found >= 0 && m_rows[static_cast<std::size_t>(found)].kind == ChangeKind::kAdded) {
        ComparedRow& row = m_rows[static_cast<std::size_t>(found)];
        m_nLastFound = static_cast<std::size_t>(found);
        row.changed = ChangedValues(item, *row.item);
        row.kind = row.changed != 0 ? ChangeKind::kChanged : ChangeKind::kUnchanged;
        if (row.changed != 0) row.old = Keep(item);
        m_nLastOld = static_cast<std::uint32_t>(found);
        return;
    }
    m_removed.push_back(Keep(item));
    m_removedAfter.push_back(m_nLastOld);
    m_nLastOld = kRemoved | static_cast<std::uint32_t>(m_removed.size() - 1);
}

// Removed and added files sorted by name, size, time and version: a run of
// equal ones with exactly one of each is a move.
void ComparisonBuilder::FindMoves(std::vector<std::uint32_t>& movedTo) {
    movedTo.assign(m_removed.size(), kNotMoved);
    std::vector<MoveEntry> entries;
    const auto add = [&entries](const FileItem* item, std::size_t number, bool removed) {
        const std::uint64_t hash =
            Mix(NameHash(item->rawName()) ^
                Mix(item->fileSize ^ Mix(Seconds(item->fileTime)) ^
                    Mix((std::uint64_t{item->versionInfo.dwFileVersionMS} << 32) | item->versionInfo.dwFileVersionLS)));
        entries.push_back({hash, item, static_cast<std::uint32_t>(number), removed});
    };
    for (std::size_t k = 0; k < m_removed.size(); ++k) add(m_removed[k], k, true);
    if (entries.empty()) return;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].kind == ChangeKind::kAdded) add(m_rows[i].item, i, false);
    }
    std::sort(entries.begin(), entries.end(), [](const MoveEntry& a, const MoveEntry& b) {
        return std::make_pair(MoveKey(a), a.removed) < std::make_pair(MoveKey(b), b.removed);
    });
    for (std::size_t start = 0; start < entries.size();) {
        std::size_t end = start + 1;
        while (end < entries.size() && MoveKey(entries[end]) == MoveKey(entries[start])) ++end;
        // Added files sort before removed ones in a run: exactly [added, removed].
        if (end - start == 2 && !entries[start].removed && entries[start + 1].removed) {
            const std::uint32_t row = entries[start].number;
            const std::uint32_t removed = entries[start + 1].number;
            ComparedRow& moved = m_rows[row];
            moved.kind = ChangeKind::kMoved;
            moved.old = m_removed[removed];
            moved.changed = ChangedValues(*moved.old, *moved.item) & (kChangedSystem | kChangedHidden);
            movedTo[removed] = row;
        }
        start = end;
    }
}

// Each removed file goes right after the row of the file before it on the
// old side: a matched file's new row, a moved file's, or the removed file
// before it; before the first row when it came first.
std::vector<std::uint32_t> ComparisonBuilder::PlaceRemoved(const std::vector<std::uint32_t>& movedTo) {
    // After which new row (-1: before the first) each removed file goes:
    // worked out in the old side's order, so the file before a removed one
    // has its place already.
    std::vector<std::int64_t> after(m_removed.size(), -1);
    std::vector<std::pair<std::int64_t, std::uint32_t>> placed;  // after which new row, which removed file
    for (std::uint32_t k = 0; k < m_removed.size(); ++k) {
        const std::uint32_t before = m_removedAfter[k];
        if (before == kNone) after[k] = -1;
        else if ((before & kRemoved) == 0) after[k] = before;
        else if (const std::uint32_t j = before & ~kRemoved; movedTo[j] != kNotMoved) after[k] = movedTo[j];
        else after[k] = after[j];
        if (movedTo[k] == kNotMoved) placed.emplace_back(after[k], k);
    }
    std::stable_sort(placed.begin(), placed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    const auto count = static_cast<std::uint32_t>(m_rows.size());
    std::vector<std::uint32_t> order;
    order.reserve(m_rows.size() + placed.size());
    auto next = placed.begin();
    for (std::int64_t row = -1; row < static_cast<std::int64_t>(count); ++row) {
        if (row >= 0) order.push_back(static_cast<std::uint32_t>(row));
        for (; next != placed.end() && next->first == row; ++next) order.push_back(count + next->second);
    }
    return order;
}

Comparison ComparisonBuilder::Finish() {
    // What only the matching needed goes before the order is made.
    std::vector<std::uint32_t>().swap(m_index);
    m_newFolders.clear();
    m_folderMap.clear();
    std::vector<std::uint32_t> movedTo;
    FindMoves(movedTo);
    Comparison result;
    result.m_order = PlaceRemoved(movedTo);
    // Every removed file keeps its number; a moved one's is in no place of
    // the order (its new row stands for it).
    result.m_removedRows.reserve(m_removed.size());
    for (const FileItem* item : m_removed) result.m_removedRows.push_back({item, item, ChangeKind::kRemoved, 0});
    for (const ComparedRow& row : m_rows) ++result.m_counts[static_cast<int>(row.kind)];
    result.m_counts[static_cast<int>(ChangeKind::kRemoved)] = result.m_order.size() - m_rows.size();
    result.m_newRows = std::move(m_rows);
    result.m_pNewRecords = std::move(m_pNewRecords);
    result.m_pOldFolders = std::move(m_pOldFolders);
    result.m_pOldRecords = std::move(m_pKept);
    return result;
}

Comparison CompareRows(std::span<const FileItem* const> oldRows, std::shared_ptr<const FileStore> oldRecords,
                       std::span<const FileItem* const> newRows, std::shared_ptr<const FileStore> newRecords) {
    ComparisonBuilder builder(newRows, std::move(newRecords));
    builder.SetOldFolders(std::move(oldRecords));
    for (const FileItem* item : oldRows) builder.AddOld(*item);
    return builder.Finish();
}

void AppendChangeText(std::string& out, const ComparedRow& row) {
    const ChangeTexts& texts = Texts(CurrentCodePage());
    out += texts.kinds[static_cast<int>(row.kind)];
    if (row.changed == 0 || (row.kind != ChangeKind::kChanged && row.kind != ChangeKind::kMoved)) return;
    out += texts.open;
    bool first = true;
    for (std::size_t bit = 0; bit < texts.values.size(); ++bit) {
        if ((row.changed & (1u << bit)) == 0) continue;
        if (!std::exchange(first, false)) out += texts.separator;
        out += texts.values[bit];
    }
    out += texts.close;
}

std::string_view ChangeArrow(int codePage) { return Texts(codePage).arrow; }

void AppendChangedValueText(std::string& out, const FileItem& item, int column, bool formattedSize) {
    if (column == kColumnDateTime) AppendDateSecondsText(out, item.fileTime);
    else AppendCellText(out, item, column, formattedSize);
}

void AppendComparedCellText(std::string& out, const ComparedRow& row, int column, bool formattedSize) {
    if (column == kColumnChange) return AppendChangeText(out, row);
    if (!row.IsChanged(column) || row.old == nullptr) return AppendCellText(out, *row.item, column, formattedSize);
    AppendChangedValueText(out, *row.old, column, formattedSize);
    out += ChangeArrow(CurrentCodePage());
    AppendChangedValueText(out, *row.item, column, formattedSize);
}

void AppendComparedRowLine(std::string& out, const ComparedRow& row, const std::vector<int>& columns,
                           bool formattedSize) {
    bool first = true;
    for (int column : columns) {
        if (column < 0 || column > kColumnChange) continue;
        if (!std::exchange(first, false)) out += '\t';
        const std::size_t start = out.size();
        AppendComparedCellText(out, row, column, formattedSize);
        // A tab or line break in a name would split the row: a blank.
        for (std::size_t i = start; i < out.size(); ++i) {
            if (out[i] == '\t' || out[i] == '\n' || out[i] == '\r') out[i] = ' ';
        }
    }
    out += '\n';
}

std::vector<int> ComparisonSortOrder(std::span<const ComparedRow* const> rows, int column, bool descending,
                                     WorkControl* control) {
    if (column != kColumnChange) {
        std::vector<const FileItem*> items;
        items.reserve(rows.size());
        for (const ComparedRow* row : rows) items.push_back(row->item);
        return SortOrder(items, column, descending, control);
    }
    // By the kind, then by what changed, as the change cells read: few keys,
    // so rows are counted into them (stable, one pass each way).
    constexpr std::size_t kKeys = kChangeKindCount * 256;
    const auto key = [&rows, descending](std::size_t i) {
        const ComparedRow& row = *rows[i];
        const std::size_t k = static_cast<std::size_t>(row.kind) * 256 + row.changed;
        return descending ? kKeys - 1 - k : k;
    };
    if (control != nullptr) control->SetTotal(rows.size());
    std::vector<std::size_t> start(kKeys + 1, 0);
    for (std::size_t i = 0; i < rows.size(); ++i) ++start[key(i) + 1];
    if (control != nullptr && control->StopRequested()) return {};
    for (std::size_t k = 0; k < kKeys; ++k) start[k + 1] += start[k];
    std::vector<int> order(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) order[start[key(i)]++] = static_cast<int>(i);
    if (control != nullptr) control->Advance(rows.size());
    return order;
}

}  // namespace norvane
