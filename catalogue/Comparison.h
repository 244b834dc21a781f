// The comparison of two lists of a tree made at different times (two
// catalogues, or a catalogue and a scan): what was added, removed, changed
// and moved. Files are matched by their path relative to their own list's
// top folder, name by name in the file system's bytes (case kept), so a
// tree that was moved elsewhere compares with itself.
//
// The new side is held whole (the list the window shows, the lister's scan);
// the old side comes one record at a time, in its scan order, and only what
// the result needs of it is kept: a removed file's record, a changed file's
// old values. So comparing a catalogue costs little more memory than
// holding the new list.
//
// The result is in a stable order: the new side's scan order, each removed
// file right after the file that came before it in the old side's order
// (before the first row when none did). A removed file and an added one
// with the same name, size, time and version, where no other removed or
// added file has them, are one moved file, shown at its new place.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalogue/CellText.h"
#include "catalogue/FileItem.h"
#include "catalogue/WorkControl.h"

namespace norvane {

// In the order a sort by the change column puts them, and the counts keep.
enum class ChangeKind : std::uint8_t { kAdded, kRemoved, kChanged, kMoved, kUnchanged };
inline constexpr int kChangeKindCount = 5;

// What differs between the two records of a file. Times count to the
// second: most copies keep no more of them.
enum ChangedValue : std::uint8_t {
    kChangedTime = 1 << 0,
    kChangedSize = 1 << 1,
    kChangedVersion = 1 << 2,
    kChangedSystem = 1 << 3,
    kChangedHidden = 1 << 4,
};
std::uint8_t ChangedValues(const FileItem& before, const FileItem& after);

// The list's sort key (and the window's column) of the change.
inline constexpr int kColumnChange = kColumnCount;

struct ComparedRow {
    const FileItem* item = nullptr;  // the values shown: the new record, or a removed file's old one
    const FileItem* old = nullptr;   // a changed, moved or removed file's old record
    ChangeKind kind = ChangeKind::kAdded;
    std::uint8_t changed = 0;  // ChangedValue: of a changed or a moved file

    // Whether the cell of a list column shows a changed value (a moved
    // file's folder included).
    bool IsChanged(int column) const;
};

// The rows of a comparison: the new side's files in its scan order, then
// the removed files, each number kept for good; the comparison's order
// names them.
class Comparison {
public:
    // Rows in the comparison's order.
    std::size_t size() const { return m_order.size(); }
    const ComparedRow& operator[](std::size_t at) const { return Row(m_order[at]); }
    // A row by its number, and the numbers in the comparison's order.
    const ComparedRow& Row(std::uint32_t number) const {
        return number < m_newRows.size() ? m_newRows[number] : m_removedRows[number - m_newRows.size()];
    }
    const std::vector<std::uint32_t>& Order() const { return m_order; }
    // The new side's files are rows 0 to NewRowCount() - 1, in its scan order.
    std::size_t NewRowCount() const { return m_newRows.size(); }

    std::uint64_t Count(ChangeKind kind) const { return m_counts[static_cast<int>(kind)]; }
    // Whether anything was added, removed, changed or moved.
    bool Differs() const { return size() != Count(ChangeKind::kUnchanged); }

private:
    friend class ComparisonBuilder;
    std::vector<ComparedRow> m_newRows;
    std::vector<ComparedRow> m_removedRows;
    std::vector<std::uint32_t> m_order;
    std::array<std::uint64_t, kChangeKindCount> m_counts{};
    // The records the rows point into.
    std::shared_ptr<const FileStore> m_pNewRecords;
    std::shared_ptr<const FileStore> m_pOldFolders;
    std::shared_ptr<const FileStore> m_pOldRecords;
};

class ComparisonBuilder {
public:
    // newRows: the new side in scan order, records of newRecords (which the
    // result keeps); the list itself is not used after the call.
    ComparisonBuilder(std::span<const FileItem* const> newRows, std::shared_ptr<const FileStore> newRecords);
    ~ComparisonBuilder();
    ComparisonBuilder(const ComparisonBuilder&) = delete;
    ComparisonBuilder& operator=(const ComparisonBuilder&) = delete;

    // The store of the old side's folders, which the result keeps.
    void SetOldFolders(std::shared_ptr<const FileStore> oldFolders);
    // The old side's next file, in its scan order; what the result needs of
    // it is copied, so the record need only live for the call.
    void AddOld(const FileItem& item);
    // The rows, in the order above; the builder is done with then.
    Comparison Finish();

private:
    struct FolderKey {
        const Folder* parent;  // a new side's folder, or null for the top
        std::string_view name;
        bool operator==(const FolderKey&) const = default;
    };
    struct FolderKeyHash {
        std::size_t operator()(const FolderKey& key) const;
    };

    void IndexNewSide();
    // The new side's folder with the old folder's path (null for the top);
    // false when it has none.
    bool MapFolder(const Folder* oldFolder, const Folder** newFolder);
    // The new row with the same path, or -1.
    std::int64_t FindNew(const Folder* folder, std::string_view rawName) const;
    const FileItem* Keep(const FileItem& item);
    void FindMoves(std::vector<std::uint32_t>& movedTo);
    // The comparison's order: the new rows, each followed by the removed
    // files placed after it.
    std::vector<std::uint32_t> PlaceRemoved(const std::vector<std::uint32_t>& movedTo);

    std::vector<ComparedRow> m_rows;  // the new side's rows, in its order
    // Open addressing over the new rows: the row's number + 1 (0: empty).
    std::vector<std::uint32_t> m_index;
    std::unordered_map<FolderKey, const Folder*, FolderKeyHash> m_newFolders;
    std::unordered_map<const Folder*, const Folder*> m_folderMap;  // old folder to new (or kUnmapped)
    const Folder* m_pLastOld = nullptr;                            // the last folder mapped, and its mapping
    const Folder* m_pLastNew = nullptr;
    bool m_bLastMapped = false;
    // The removed files, and for each the old side's file before it: the
    // new row that file matched, or kRemoved and the number of the removed
    // file (kNone: it came first).
    std::vector<const FileItem*> m_removed;
    std::vector<std::uint32_t> m_removedAfter;
    std::uint32_t m_nLastOld;
    std::size_t m_nLastFound = SIZE_MAX;  // the new row the last old file matched
    std::shared_ptr<FileStore> m_pKept;
    std::shared_ptr<const FileStore> m_pNewRecords;
    std::shared_ptr<const FileStore> m_pOldFolders;
};

// Two held lists compared (each in scan order).
Comparison CompareRows(std::span<const FileItem* const> oldRows, std::shared_ptr<const FileStore> oldRecords,
                       std::span<const FileItem* const> newRows, std::shared_ptr<const FileStore> newRecords);

// The change cell: "追加", "削除", "移動", "同一", or "変更" with what changed
// in brackets ("変更（日時・サイズ）"; a moved file's changed marks too), in
// the code page.
void AppendChangeText(std::string& out, const ComparedRow& row);
// Between the old and the new value of a changed cell: " → " in the code page.
std::string_view ChangeArrow(int codePage);

// One value of a changed cell: the list's cell text, a time with its seconds.
void AppendChangedValueText(std::string& out, const FileItem& item, int column, bool formattedSize);

// The text of a cell of a compared row as copying gives it: the change
// column, the list's cell, or for a changed value the old text, the arrow
// and the new text (a changed time with its seconds, so that both differ).
void AppendComparedCellText(std::string& out, const ComparedRow& row, int column, bool formattedSize);

// The rows' order after a sort by a list column or by the change column, as
// SortOrder gives it: position i holds rows[order[i]], equal rows in their
// order.
// With a control it stops when asked (giving nothing) and counts its work.
std::vector<int> ComparisonSortOrder(std::span<const ComparedRow* const> rows, int column, bool descending,
                                     WorkControl* control = nullptr);

// The line a copied compared row becomes (in the code page), as
// AppendRowLine for a list's row; columns may name kColumnChange.
void AppendComparedRowLine(std::string& out, const ComparedRow& row, const std::vector<int>& columns,
                           bool formattedSize);

}  // namespace norvane
