#include "catalogue/SortRows.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
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

// Folders are shared by many rows: each distinct one is ranked once, in the
// order MbsICmp gives their texts, without making the texts (a deep tree's
// texts together grow with the square of its depth). A text is its chain of
// names from the top, each followed by "/"; as no name holds a "/" of its
// own, two texts compare as their chains do, name by name, and a folder
// comes right before the folders inside it. So the folders form a tree of
// names (names equal but for case merge into one node), and ranks are the
// order of a walk of it with each node's children sorted.
class FolderRanker {
public:
    explicit FolderRanker(int codePage) : m_codePage(codePage) { m_nodes.emplace_back(); }

    // False for texts this rule does not cover (a "/" inside a name, a text
    // without its final "/", or in 932 a lone lead byte before a "/").
    bool Add(const Folder* folder) {
        std::vector<const Folder*> chain;
        for (const Folder* f = folder; f != nullptr && !m_nodeOf.count(f); f = f->parent) chain.push_back(f);
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const Folder* f = *it;
            std::uint32_t node = 0;
            if (f->parent != nullptr) {
                if (f->name.find('/') != std::string_view::npos || EndsWithLoneLead(f->name)) return false;
                node = Child(m_nodeOf[f->parent], std::string(f->name) + '/');
            } else if (!AddTopText(f->name, &node)) {
                return false;
            }
            m_nodeOf[f] = node;
        }
        return true;
    }

    std::uint64_t RankOf(const Folder* folder) const {
        return folder == nullptr ? 0 : m_nodes[m_nodeOf.at(folder)].rank;
    }

    // A walk in text order numbers the nodes.
    void Rank() {
        std::uint64_t next = 0;
        std::vector<std::uint32_t> stack = {0};
        while (!stack.empty()) {
            Node& node = m_nodes[stack.back()];
            stack.pop_back();
            node.rank = next++;
            std::sort(node.children.begin(), node.children.end(), [&](std::uint32_t a, std::uint32_t b) {
                return MbsICmp(m_nodes[a].key, m_nodes[b].key, m_codePage) < 0;
            });
            stack.insert(stack.end(), node.children.rbegin(), node.children.rend());
        }
    }

private:
    struct Node {
        std::string key;  // a name and its "/"
        std::vector<std::uint32_t> children;
        std::uint64_t rank = 0;
    };

    bool EndsWithLoneLead(std::string_view name) const {
        if (m_codePage != kCodePageShiftJis) return false;
        std::size_t pos = 0;
        std::size_t last = 0;
        while (pos < name.size()) {
            last = pos;
            pos += CharLength(name, pos, m_codePage);
        }
        return !name.empty() && pos - last == 1 && IsLeadByte(static_cast<unsigned char>(name[last]), m_codePage);
    }

    // The top folder's text, split after each "/" that stands as a character.
    bool AddTopText(std::string_view text, std::uint32_t* node) {
        std::uint32_t at = 0;
        std::size_t start = 0;
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::size_t length = CharLength(text, pos, m_codePage);
            pos += length;
            if (length == 1 && text[pos - 1] == '/') {
                at = Child(at, std::string(text.substr(start, pos - start)));
                start = pos;
            }
        }
        *node = at;
        return start == text.size();
    }

    // The child of parent for key, made when new; keys equal but for case
    // find the same child.
    std::uint32_t Child(std::uint32_t parent, std::string key) {
        std::string folded(reinterpret_cast<const char*>(&parent), sizeof parent);
        for (std::size_t pos = 0; pos < key.size();) {
            std::size_t length = CharLength(key, pos, m_codePage);
            unsigned code = static_cast<unsigned char>(key[pos]);
            if (length == 2) code = (code << 8) | static_cast<unsigned char>(key[pos + 1]);
            code = FoldedCharacterCode(code, m_codePage);
            if (length == 2) folded += static_cast<char>(code >> 8);
            folded += static_cast<char>(code & 0xFF);
            pos += length;
        }
        auto [it, added] = m_children.emplace(std::move(folded), static_cast<std::uint32_t>(m_nodes.size()));
        if (added) {
            m_nodes[parent].children.push_back(it->second);
            m_nodes.push_back(Node{std::move(key), {}, 0});
        }
        return it->second;
    }

    int m_codePage;
    std::vector<Node> m_nodes;  // 0: the empty text
    std::unordered_map<std::string, std::uint32_t> m_children;
    std::unordered_map<const Folder*, std::uint32_t> m_nodeOf;
};

// Folder ranks; for texts the folder tree cannot rank, from the texts made.
std::unordered_map<const Folder*, std::uint64_t> FolderRanks(const std::vector<const FileItem*>& rows, int codePage) {
    std::unordered_map<const Folder*, std::uint64_t> ranks;
    std::vector<const Folder*> folders;
    for (const FileItem* item : rows) {
        if (ranks.emplace(item->folder, 0).second) folders.push_back(item->folder);
    }
    FolderRanker ranker(codePage);
    bool ranked = true;
    for (const Folder* folder : folders) ranked = ranked && ranker.Add(folder);
    if (ranked) {
        ranker.Rank();
        for (const Folder* folder : folders) ranks[folder] = ranker.RankOf(folder);
        return ranks;
    }
    std::vector<std::pair<std::string, const Folder*>> texts;
    for (const Folder* folder : folders) texts.emplace_back(FolderText(folder), folder);
    std::sort(texts.begin(), texts.end(),
              [&](const auto& a, const auto& b) { return MbsICmp(a.first, b.first, codePage) < 0; });
    std::uint64_t rank = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0 && MbsICmp(texts[i - 1].first, texts[i].first, codePage) != 0) ++rank;
        ranks[texts[i].second] = rank;
    }
    return ranks;
}

// Rows are keyed and sorted in pieces of this many, so that a sort off the
// window's thread stops within a few milliseconds when asked.
constexpr std::size_t kPiece = std::size_t{1} << 16;

bool Stopped(const WorkControl* control) { return control != nullptr && control->StopRequested(); }

void Advance(WorkControl* control, std::size_t done) {
    if (control != nullptr) control->Advance(done);
}

Keyed KeyOf(const FileItem* item, std::uint32_t index, int column, int codePage,
            std::unordered_map<const Folder*, std::uint64_t>& ranks) {
    Keyed keyed{0, 0, index, true, item};
    switch (column) {
        case kColumnFileName: keyed.whole = TextKey(item->fileName, codePage, &keyed.key, &keyed.key2); break;
        case kColumnDateTime: keyed.key = item->fileTime; break;
        case kColumnSize: keyed.key = item->fileSize; break;
        case kColumnVersion:
            keyed.key = (std::uint64_t{item->versionInfo.dwFileVersionMS} << 32) | item->versionInfo.dwFileVersionLS;
            break;
        case kColumnExtension: keyed.whole = TextKey(item->extension(), codePage, &keyed.key, &keyed.key2); break;
        case kColumnDirectory: keyed.key = ranks[item->folder]; break;
        case kColumnSystem: keyed.key = item->systemFile ? 1 : 0; break;
        case kColumnHidden: keyed.key = item->hidden ? 1 : 0; break;
        default: break;
    }
    return keyed;
}

// The key of each row for the column; false when stopped.
bool MakeKeys(const std::vector<const FileItem*>& rows, int column, int codePage, std::vector<Keyed>& keyed,
              WorkControl* control) {
    std::unordered_map<const Folder*, std::uint64_t> ranks;
    if (column == kColumnDirectory) ranks = FolderRanks(rows, codePage);
    keyed.resize(rows.size());
    for (std::size_t from = 0; from < rows.size(); from += kPiece) {
        if (Stopped(control)) return false;
        const std::size_t to = std::min(rows.size(), from + kPiece);
        for (std::size_t i = from; i < to; ++i)
            keyed[i] = KeyOf(rows[i], static_cast<std::uint32_t>(i), column, codePage, ranks);
        Advance(control, to - from);
    }
    return !Stopped(control);
}

// With a control, sorts pieces, then merges them pairwise. The order is
// total (equal rows by their index), so it is the one order whatever the
// way there; false when stopped.
template <typename Less>
bool SortKeyed(std::vector<Keyed>& keyed, const Less& less, WorkControl* control) {
    const std::size_t n = keyed.size();
    if (control == nullptr) {
        std::sort(keyed.begin(), keyed.end(), less);  // nobody to stop it: one sort is quicker
        return true;
    }
    for (std::size_t from = 0; from < n; from += kPiece) {
        if (Stopped(control)) return false;
        const std::size_t to = std::min(n, from + kPiece);
        std::sort(keyed.begin() + static_cast<std::ptrdiff_t>(from), keyed.begin() + static_cast<std::ptrdiff_t>(to),
                  less);
        Advance(control, to - from);
    }
    if (n <= kPiece) return true;
    std::vector<Keyed> merged(n);
    for (std::size_t width = kPiece; width < n; width *= 2) {
        for (std::size_t lo = 0; lo < n; lo += 2 * width) {
            if (Stopped(control)) return false;
            const auto at = [&](std::size_t i) { return keyed.begin() + static_cast<std::ptrdiff_t>(std::min(i, n)); };
            std::merge(at(lo), at(lo + width), at(lo + width), at(lo + 2 * width),
                       merged.begin() + static_cast<std::ptrdiff_t>(lo), less);
            Advance(control, std::min(n, lo + 2 * width) - lo);
        }
        keyed.swap(merged);
    }
    return true;
}

// Work units of a sort of n rows: keys, pieces, and each merge pass.
std::uint64_t SortWork(std::size_t n) {
    std::uint64_t work = 2 * std::uint64_t{n};
    for (std::size_t width = kPiece; width < n; width *= 2) work += n;
    return work;
}

}  // namespace

std::vector<int> SortOrder(const std::vector<const FileItem*>& rows, int column, bool descending,
                           WorkControl* control) {
    const int codePage = CurrentCodePage();
    if (control != nullptr) control->SetTotal(SortWork(rows.size()));
    std::vector<Keyed> keyed;
    if (!MakeKeys(rows, column, codePage, keyed, control)) return {};
    // Only names and extensions longer than the key can tie on it and still
    // differ.
    const bool keyIsWhole = column != kColumnFileName && column != kColumnExtension;
    const auto less = [&](const Keyed& a, const Keyed& b) {
        if (a.key != b.key) return descending ? a.key > b.key : a.key < b.key;
        if (a.key2 != b.key2) return descending ? a.key2 > b.key2 : a.key2 < b.key2;
        if (!keyIsWhole && !(a.whole && b.whole)) {
            int order =
                descending ? CompareDescending(a.item, b.item, column) : CompareAscending(a.item, b.item, column);
            if (order != 0) return order < 0;
        }
        return a.index < b.index;  // equal rows keep their order
    };
    if (!SortKeyed(keyed, less, control)) return {};
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
