#include "catalogue/SortRows.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>

#include "catalogue/CellText.h"
#include "catalogue/Compare.h"
#include "platform/CodePage.h"

namespace norvane {

namespace {

struct Keyed {
    std::uint64_t key;
    std::uint64_t key2;  // the next characters of a text
    std::uint32_t index;
    bool whole;  // the key holds the whole text
    const FileItem* item;
};

// The first characters of a text as two numbers that order as MbsICmp
// orders the texts: a shorter text pads with zeros and sorts first, as a
// prefix does. In 932 each character takes two bytes of the key (its folded
// 16-bit code); in UTF-8 each byte takes one.
bool TextKey(std::string_view text, int codePage, std::uint64_t* key1, std::uint64_t* key2) {
    std::uint64_t keys[2] = {0, 0};
    int bytes = 0;
    std::size_t pos = 0;
    bool wide = codePage == kCodePageShiftJis;
    while (bytes < 16 && pos < text.size()) {
        std::size_t length = wide ? CharLength(text, pos, codePage) : 1;
        unsigned code = static_cast<unsigned char>(text[pos]);
        if (length == 2) code = (code << 8) | static_cast<unsigned char>(text[pos + 1]);
        code = FoldedCharacterCode(code, codePage);
        std::uint64_t& key = keys[bytes / 8];
        key = wide ? (key << 16) | code : (key << 8) | code;
        bytes += wide ? 2 : 1;
        pos += length;
    }
    // Left-align what was filled of each half.
    for (int half = 0; half < 2; ++half) {
        int filled = std::clamp(bytes - 8 * half, 0, 8);
        if (filled > 0 && filled < 8) keys[half] <<= 8 * (8 - filled);
    }
    *key1 = keys[0];
    *key2 = keys[1];
    return pos == text.size();
}

// Folders are shared by many rows: rank each distinct one once.
std::unordered_map<const Folder*, std::uint64_t> FolderRanks(const std::vector<const FileItem*>& rows, int codePage) {
    std::vector<const Folder*> folders;
    std::unordered_map<const Folder*, std::uint64_t> ranks;
    for (const FileItem* item : rows) {
        if (ranks.emplace(item->folder, 0).second) folders.push_back(item->folder);
    }
    auto text = [](const Folder* f) { return f ? std::string_view(f->text) : std::string_view(); };
    std::sort(folders.begin(), folders.end(), [&](const Folder* a, const Folder* b) {
        return MbsICmp(text(a), text(b), codePage) < 0;
    });
    std::uint64_t rank = 0;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        if (i > 0 && MbsICmp(text(folders[i - 1]), text(folders[i]), codePage) != 0) ++rank;
        ranks[folders[i]] = rank;
    }
    return ranks;
}

}  // namespace

std::vector<int> SortOrder(const std::vector<const FileItem*>& rows, int column, bool descending) {
    int codePage = CurrentCodePage();
    std::vector<Keyed> keyed(rows.size());
    std::unordered_map<const Folder*, std::uint64_t> ranks;
    if (column == kColumnDirectory) ranks = FolderRanks(rows, codePage);
    // Only names and extensions longer than the key can tie on it and still
    // differ.
    bool keyIsWhole = column != kColumnFileName && column != kColumnExtension;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const FileItem* item = rows[i];
        std::uint64_t key = 0;
        std::uint64_t key2 = 0;
        bool whole = true;
        switch (column) {
            case kColumnFileName: whole = TextKey(item->fileName, codePage, &key, &key2); break;
            case kColumnDateTime: key = item->fileTime; break;
            case kColumnSize: key = item->fileSize; break;
            case kColumnVersion:
                key = (std::uint64_t{item->versionInfo.dwFileVersionMS} << 32) | item->versionInfo.dwFileVersionLS;
                break;
            case kColumnExtension: whole = TextKey(item->extension(), codePage, &key, &key2); break;
            case kColumnDirectory: key = ranks[item->folder]; break;
            case kColumnSystem: key = item->systemFile ? 1 : 0; break;
            case kColumnHidden: key = item->hidden ? 1 : 0; break;
            default: break;
        }
        keyed[i] = Keyed{key, key2, static_cast<std::uint32_t>(i), whole, item};
    }
    std::sort(keyed.begin(), keyed.end(), [&](const Keyed& a, const Keyed& b) {
        if (a.key != b.key) return descending ? a.key > b.key : a.key < b.key;
        if (a.key2 != b.key2) return descending ? a.key2 > b.key2 : a.key2 < b.key2;
        if (!keyIsWhole && !(a.whole && b.whole)) {
            int order = descending ? CompareDescending(a.item, b.item, column) : CompareAscending(a.item, b.item, column);
            if (order != 0) return order < 0;
        }
        return a.index < b.index;  // equal rows keep their order
    });
    std::vector<int> order(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) order[i] = static_cast<int>(keyed[i].index);
    return order;
}

void SortRows(std::vector<const FileItem*>& rows, int column, bool descending) {
    std::vector<int> order = SortOrder(rows, column, descending);
    std::vector<const FileItem*> sorted(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) sorted[i] = rows[static_cast<std::size_t>(order[i])];
    rows.swap(sorted);
}

}  // namespace norvane
