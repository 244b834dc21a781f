#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>

#include "catalogue/CellText.h"
#include "catalogue/Compare.h"
#include "catalogue/SortRows.h"
#include "platform/CodePage.h"

using namespace norvane;

namespace {

// Rows with many ties and near-ties: shared long prefixes, names that differ
// only in case (also full-width capitals in 932), a few folders.
// Folders inside folders as well: names that sort apart from their folder
// texts ("sub-b/" before "sub/"), names equal but for case, a folder whose
// text equals a top folder's, and with loneLead a 932 name ending in a lead
// byte, which reads the "/" after it as its trail byte.
std::vector<const FileItem*> MakeRows(FileStore& store, int codePage, std::mt19937& random, bool loneLead = false) {
    const char* const pieces932[] = {"a", "A", "\x82\x60", "\x82\x81", "\xB1", "\x83\x41", "\x83\x61", ".", "_", "z"};
    const char* const piecesUtf8[] = {"a", "A", "b", "B", "\xE3\x81\x82", ".", "_", "z", "\xEF\xBC\xA1", "0"};
    const char* const* pieces = codePage == kCodePageShiftJis ? pieces932 : piecesUtf8;
    std::vector<const Folder*> folders = {store.AddFolder("/x/"), store.AddFolder("/X/"), store.AddFolder("/x/sub/"),
                                          store.AddFolder("/a/")};
    const Folder* x = folders[0];
    const Folder* sub = store.AddFolder(x, "sub");
    for (const Folder* folder :
         {sub, store.AddFolder(x, "Sub"), store.AddFolder(x, "sub-b"), store.AddFolder(sub, "a"),
          store.AddFolder(store.AddFolder(folders[1], "SUB"), "A"), store.AddFolder(x, "\x82\x60"),
          store.AddFolder(x, "\x82\x81z"), store.AddFolder(folders[3], "\xEF\xBC\xA1")}) {
        folders.push_back(folder);
    }
    if (loneLead) folders.push_back(store.AddFolder(x, "s\x82"));
    std::vector<const FileItem*> rows;
    for (int i = 0; i < 3000; ++i) {
        // A long shared prefix makes many keys tie.
        std::string name = (i % 3 == 0) ? "common-prefix-longer-than-key-" : "";
        int length = static_cast<int>(random() % 6);
        for (int c = 0; c < length; ++c) name += pieces[random() % 10];
        FileItem* item = store.AddItem(name, folders[random() % folders.size()]);
        item->fileSize = random() % 5;
        item->fileTime = random() % 4;
        item->versionInfo.dwFileVersionMS = static_cast<std::uint32_t>(random() % 3) << 16;
        item->versionInfo.dwFileVersionLS = static_cast<std::uint32_t>(random() % 3);
        item->systemFile = random() % 2 == 0;
        item->hidden = random() % 2 == 0;
        rows.push_back(item);
    }
    return rows;
}

}  // namespace

TEST(SortRows, GivesTheStableOrderOfTheComparisonsForEveryColumnAndCodePage) {
    for (auto [codePage, loneLead] :
         {std::pair{kCodePageUtf8, false}, std::pair{kCodePageShiftJis, false}, std::pair{kCodePageShiftJis, true}}) {
        SetCodePage(codePage);
        std::mt19937 random(7);
        FileStore store;
        std::vector<const FileItem*> rows = MakeRows(store, codePage, random, loneLead);
        for (int column = 0; column < kColumnCount; ++column) {
            for (bool descending : {false, true}) {
                std::vector<const FileItem*> expected = rows;
                std::stable_sort(expected.begin(), expected.end(), [&](const FileItem* a, const FileItem* b) {
                    return (descending ? CompareDescending(a, b, column) : CompareAscending(a, b, column)) < 0;
                });
                std::vector<const FileItem*> sorted = rows;
                SortRows(sorted, column, descending);
                EXPECT_EQ(sorted, expected)
                    << "code page " << codePage << " column " << column << (descending ? " descending" : " ascending");
            }
        }
    }
    SetCodePage(kCodePageUtf8);
}

// A sort that can be stopped (in pieces, merged) gives the order of one that
// cannot, over more rows than a piece, counting its work up to its total;
// stopped, it gives no order at all.
TEST(SortRows, AStoppableSortGivesTheSameOrderAndStopsWhenAsked) {
    SetCodePage(kCodePageUtf8);
    std::mt19937 random(11);
    FileStore store;
    std::vector<const FileItem*> rows;
    for (int round = 0; round < 50; ++round) {
        std::vector<const FileItem*> some = MakeRows(store, kCodePageUtf8, random);
        rows.insert(rows.end(), some.begin(), some.end());
    }
    ASSERT_GT(rows.size(), std::size_t{1} << 17);  // at least three pieces
    for (int column : {kColumnFileName, kColumnSize, kColumnDirectory}) {
        for (bool descending : {false, true}) {
            WorkControl control;
            EXPECT_EQ(SortOrder(rows, column, descending, &control), SortOrder(rows, column, descending))
                << "column " << column << (descending ? " descending" : " ascending");
            EXPECT_EQ(control.Done(), control.Total());
        }
    }
    WorkControl stopped;
    EXPECT_TRUE(stopped.Stop());
    EXPECT_TRUE(SortOrder(rows, kColumnFileName, false, &stopped).empty());
    EXPECT_FALSE(stopped.Commit());
}
