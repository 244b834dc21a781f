// Comparisons of two lists of a tree: every kind of change found in a
// generated pair of trees (the old one kept as a catalogue, read a file at a
// time), the order rule, the bytes a comparison is exported as, its sort by
// the change column, and what is said of lists not made alike.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/Comparison.h"
#include "catalogue/FolderScan.h"
#include "export/ListExporter.h"
#include "platform/CodePage.h"
#include "platform/FileTime.h"
#include "settings/SettingsFile.h"
#include "store/Catalogue.h"
#include "support/PeBuilder.h"
#include "support/TempDir.h"

using namespace norvane;

namespace {

void Run(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

// The old tree: every file written at the same second. Names in no valid
// text among them, a folder too.
void MakeOldTree(const TempDir& dir) {
    for (const char* folder :
         {"old", "old/Top", "old/Top/sub1", "old/Top/sub2", "old/Top/a", "old/Top/b", "old/Top/c", "old/Top/dir\xFF"})
        ASSERT_TRUE(dir.MakeFolder(folder));
    for (const char* file : {"keep.txt", "hideme.txt", "sysme.txt", "redate.txt", "gone.txt", "bad\xFF.txt"})
        ASSERT_TRUE(dir.MakeFile(std::string("old/Top/") + file, "same"));
    ASSERT_TRUE(dir.MakeFile("old/Top/grow.txt", "1234") && dir.MakeFile("old/Top/chg\xFE.txt", "1234"));
    ASSERT_TRUE(dir.MakeFile("old/Top/sub1/move.dat", "moving") && dir.MakeFile("old/Top/dir\xFF/mv\xFF.bin", "mv"));
    ASSERT_TRUE(dir.MakeFile("old/Top/a/dup.dat", "dup") && dir.MakeFile("old/Top/b/dup.dat", "dup"));
    ASSERT_TRUE(PeBuilder::WriteFile(dir / "old/Top/tool.exe", PeBuilder().Build()));
    Run("find '" + dir / "old" + "' -type f -exec touch -d '2024-05-01 12:00:30' {} +");
}

// The new tree: a copy of the old one elsewhere, each kind of change made.
void MakeNewTree(const TempDir& dir) {
    Run("cp -a '" + dir / "old" + "' '" + dir / "new" + "'");
    const std::string top = dir / "new/Top/";
    ASSERT_TRUE(dir.MakeFile("new/Top/grow.txt", "123456") && dir.MakeFile("new/Top/chg\xFE.txt", "12"));
    ASSERT_TRUE(dir.MakeFile("new/Top/added.txt", "new"));
    PeOptions version;
    version.fileVersionLS = 0x00030005;  // 1.2.3.5, the same size
    ASSERT_TRUE(PeBuilder::WriteFile(top + "tool.exe", PeBuilder(version).Build()));
    Run("rm '" + top + "gone.txt' '" + top + "a/dup.dat' '" + top + "b/dup.dat'");
    ASSERT_TRUE(dir.MakeFile("new/Top/c/dup.dat", "dup"));
    Run("mv '" + top + "sub1/move.dat' '" + top + "sub2/' && mv '" + top + "dir\xFF/mv\xFF.bin' '" + top + "sub2/'");
    Run("touch -d '2024-05-01 12:00:30' '" + top + "grow.txt' '" + top + "chg\xFE.txt' '" + top + "tool.exe' '" + top +
        "c/dup.dat' && touch -d '2024-05-01 12:00:31' '" + top + "redate.txt'");
}

struct Scanned {
    std::shared_ptr<FileStore> store = std::make_shared<FileStore>();
    std::vector<const FileItem*> rows;
    CatalogueFacts facts;
};

Scanned Scan(const std::string& folder, const ScanOptions& options = {}) {
    Scanned scanned;
    const ScanResult result =
        ScanFolder(folder, options, *scanned.store, [&](FileItem* item) { scanned.rows.push_back(item); }, {});
    scanned.facts = ScanFacts(folder, options, 0, 0, result);
    return scanned;
}

void Edit(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
}

// The catalogue at path compared with the list, read a file at a time.
Comparison CompareWithCatalogue(const std::string& path, const Scanned& now) {
    ComparisonBuilder builder(now.rows, now.store);
    const auto folders = std::make_shared<FileStore>();
    builder.SetOldFolders(folders);
    CatalogueFacts facts;
    CatalogueError error;
    EXPECT_TRUE(ReadCatalogueRows(
        path, &facts, *folders, [&](const FileItem& item) { builder.AddOld(item); }, &error))
        << CatalogueErrorTextEnglish(error);
    return builder.Finish();
}

// Each row's path below its top folder and its change cell.
std::map<std::string, std::string> Changes(const Comparison& comparison) {
    std::map<std::string, std::string> changes;
    for (std::size_t i = 0; i < comparison.size(); ++i) {
        const FileItem& item = *comparison[i].item;
        std::string path(item.rawName());
        for (const Folder* f = item.folder; f->parent != nullptr; f = f->parent)
            path = std::string(f->rawName) + "/" + path;
        std::string change;
        AppendChangeText(change, comparison[i]);
        changes[path] += (changes[path].empty() ? "" : ",") + change;
    }
    return changes;
}

// Records made in memory: "folder/name" with a size, all in one store.
struct Records {
    std::shared_ptr<FileStore> store = std::make_shared<FileStore>();
    const Folder* top;
    std::map<std::string, const Folder*> folders;
    explicit Records(const std::string& topText) : top(store->AddFolder(topText)) {}

    std::vector<const FileItem*> Rows(const std::vector<std::string>& paths, std::uint64_t size = 1) {
        std::vector<const FileItem*> rows;
        for (const std::string& path : paths) {
            const std::size_t slash = path.rfind('/');
            const Folder* folder = top;
            if (slash != std::string::npos) {
                const std::string name = path.substr(0, slash);
                if (folders.count(name) == 0) folders[name] = store->AddFolder(top, name);
                folder = folders[name];
            }
            FileItem* item = store->AddItem(path.substr(slash + 1), folder);
            item->fileSize = size;
            item->fileTime = FileTimeFromUnix(1714564830, 0);
            rows.push_back(item);
        }
        return rows;
    }
};

std::vector<std::string> Shown(const Comparison& comparison) {
    std::vector<std::string> shown;
    for (std::size_t i = 0; i < comparison.size(); ++i) {
        std::string change;
        AppendChangeText(change, comparison[i]);
        shown.push_back(change + " " + comparison[i].item->directory().substr(1) +
                        std::string(comparison[i].item->fileName));
    }
    return shown;
}

}  // namespace

// A generated pair of trees, the second a changed copy elsewhere: added,
// removed, resized, re-dated, a new version, marks changed (edited into
// the old catalogue as a user of the sqlite3 shell could), moved files (one
// named in no valid text, out of a folder so named), and a name that stood
// in two removed places with one added place, which is no move.
TEST(Comparison, AGeneratedPairOfTreesGivesEveryKindOfChange) {
    TempDir dir;
    MakeOldTree(dir);
    MakeNewTree(dir);
    const Scanned old = Scan(dir / "old/Top");
    const std::string catalogue = dir / "old.nvcat";
    CatalogueError error;
    ASSERT_TRUE(WriteCatalogue(catalogue, old.facts, old.rows, &error));
    Edit(catalogue,
         "UPDATE files SET hidden = 1 WHERE name = 'hideme.txt'; "
         "UPDATE files SET system = 1 WHERE name = 'sysme.txt'");
    const Scanned now = Scan(dir / "new/Top");
    const Comparison comparison = CompareWithCatalogue(catalogue, now);
    const std::map<std::string, std::string> expected = {
        {"keep.txt", "同一"},
        {"hideme.txt", "変更（隠し）"},
        {"sysme.txt", "変更（システム）"},
        {"redate.txt", "変更（日時）"},
        {"grow.txt", "変更（サイズ）"},
        {"chg\xFE.txt", "変更（サイズ）"},
        {"tool.exe", "変更（バージョン）"},
        {"bad\xFF.txt", "同一"},
        {"gone.txt", "削除"},
        {"added.txt", "追加"},
        {"sub2/move.dat", "移動"},
        {"sub2/mv\xFF.bin", "移動"},
        {"a/dup.dat", "削除"},
        {"b/dup.dat", "削除"},
        {"c/dup.dat", "追加"},
    };
    EXPECT_EQ(Changes(comparison), expected);
    EXPECT_EQ(comparison.Count(ChangeKind::kAdded), 2u);
    EXPECT_EQ(comparison.Count(ChangeKind::kRemoved), 3u);
    EXPECT_EQ(comparison.Count(ChangeKind::kChanged), 6u);
    EXPECT_EQ(comparison.Count(ChangeKind::kMoved), 2u);
    EXPECT_EQ(comparison.Count(ChangeKind::kUnchanged), 2u);
    EXPECT_TRUE(comparison.Differs());
    // A moved file: both folders, the old one from the old tree.
    for (std::size_t i = 0; i < comparison.size(); ++i) {
        const ComparedRow& row = comparison[i];
        if (row.kind != ChangeKind::kMoved || row.item->fileName != "move.dat") continue;
        std::string cell;
        AppendComparedCellText(cell, row, kColumnDirectory, false);
        EXPECT_EQ(cell, dir / "old/Top/sub1/ → " + dir / "new/Top/sub2/");
    }
    // A tree compared with itself: nothing differs.
    const Comparison same = CompareRows(old.rows, old.store, old.rows, old.store);
    EXPECT_FALSE(same.Differs());
    EXPECT_EQ(same.size(), old.rows.size());
}

// The new side's order, each removed file right after the file before it
// on the old side (a moved file's new place, the removed file before it, or
// before the first row); a path twice on one side matches once.
TEST(Comparison, RemovedFilesFollowTheFileBeforeThemOnTheOldSide) {
    Records oldSide("/old/");
    Records newSide("/new/");
    const std::vector<const FileItem*> oldRows =
        oldSide.Rows({"r0", "a", "r1", "r2", "b", "x/m", "r3", "c", "a", "y/q"});
    const std::vector<const FileItem*> newRows = newSide.Rows({"c", "b", "y/m", "n", "n", "a", "y/q"});
    const Comparison comparison = CompareRows(oldRows, oldSide.store, newRows, newSide.store);
    EXPECT_EQ(Shown(comparison),
              (std::vector<std::string>{"削除 old/r0", "同一 new/c", "削除 old/a", "同一 new/b", "移動 new/y/m",
                                        "削除 old/r3", "追加 new/n", "追加 new/n", "同一 new/a", "削除 old/r1",
                                        "削除 old/r2", "同一 new/y/q"}));
    // By the change column, equal rows in their order; the other way round
    // too.
    std::vector<const ComparedRow*> rows;
    for (std::size_t i = 0; i < comparison.size(); ++i) rows.push_back(&comparison[i]);
    const std::vector<int> ascending = ComparisonSortOrder(rows, kColumnChange, false);
    const std::vector<int> descending = ComparisonSortOrder(rows, kColumnChange, true);
    EXPECT_EQ(ascending, (std::vector<int>{6, 7, 0, 2, 5, 9, 10, 4, 1, 3, 8, 11}));
    EXPECT_EQ(descending, (std::vector<int>{1, 3, 8, 11, 4, 0, 2, 5, 9, 10, 6, 7}));
    // Off the window's thread: the same order, counted; a stopped one gives
    // nothing to apply.
    WorkControl control;
    EXPECT_EQ(ComparisonSortOrder(rows, kColumnChange, true, &control), descending);
    EXPECT_EQ(control.Done(), rows.size());
    control.Stop();
    EXPECT_TRUE(ComparisonSortOrder(rows, kColumnChange, false, &control).empty());
    EXPECT_TRUE(ComparisonSortOrder(rows, kColumnFileName, false, &control).empty());
}

// The bytes of an exported comparison in the three formats: the change
// column first, titled from VALUE7 when the settings file has it; a changed
// cell with its old value, " → " and the new one (a time to the second, a
// version that was none); a moved file's folder and path both. In 932 the
// texts and the arrow are Shift-JIS.
TEST(Comparison, ExportsWriteBothValuesOfAChange) {
    Records oldSide("/rel5/");
    Records newSide("/rel6/");
    const std::vector<const FileItem*> oldRows = oldSide.Rows({"tool.exe", "x/moved.dll", "gone.txt"}, 100);
    std::vector<const FileItem*> newRows = newSide.Rows({"y/moved.dll", "new.txt"}, 100);
    // A minute less a second later, longer, and with a version now.
    FileItem* tool = newSide.store->AddItem("tool.exe", newSide.top);
    tool->fileSize = 120;
    tool->fileTime = oldRows[0]->fileTime + 59 * 10'000'000ULL;
    tool->versionInfo.dwFileVersionMS = 0x00020001;
    newRows.insert(newRows.begin(), tool);
    const Comparison comparison = CompareRows(oldRows, oldSide.store, newRows, newSide.store);
    std::vector<const ComparedRow*> rows;
    for (std::size_t i = 0; i < comparison.size(); ++i) rows.push_back(&comparison[i]);

    TempDir dir;
    TitleSettings titles;
    WriteAll(dir / "Norvane.ini", "[TITLE]\r\nVALUE7=Kind\r\n");
    LoadTitleSettings(titles, dir / "Norvane.ini");
    ASSERT_TRUE(SaveTitleSettings(titles, dir / "Norvane.ini"));  // saving leaves VALUE7 alone
    TitleSettings read;
    LoadTitleSettings(read, dir / "Norvane.ini");
    EXPECT_EQ(read.changeTitle, "Kind");
    const auto exported = [&](ExportFormat format, bool nameOnly, const TitleSettings& title) {
        ExportSettings settings;
        settings.format = format;
        settings.columns = {true, true, true, true, false, true};
        settings.nameOnly = nameOnly;
        settings.folderHeadings = false;
        settings.titles = title;
        CListExporter exporter(settings);
        StringOutputSink sink;
        exporter.WriteComparison(sink, rows);
        return sink.Text();
    };
    EXPECT_EQ(exported(ExportFormat::kText, true, titles),
              "変更（日時・サイズ・バージョン）\ttool.exe\t2024/05/01 12:00:30 → 2024/05/01 12:01:29\t100 → 120\t"
              " → 2.1.0.0\t/rel6/\r\n"
              "移動\tmoved.dll\t2024/05/01 12:00\t100\t\t/rel5/x/ → /rel6/y/\r\n"
              "削除\tgone.txt\t2024/05/01 12:00\t100\t\t/rel5/\r\n"
              "追加\tnew.txt\t2024/05/01 12:00\t100\t\t/rel6/\r\n");
    EXPECT_EQ(exported(ExportFormat::kCsv, false, TitleSettings()),
              "Change,FileName,FileDate&Time,FileSize,Version,Directory,\r\n"
              "\"変更（日時・サイズ・バージョン）\",\"/rel6/tool.exe\",\"2024/05/01 12:00:30 → 2024/05/01 "
              "12:01:29\",\"100 → 120\",\" → 2.1.0.0\",\"/rel6/\"\r\n"
              "\"移動\",\"/rel5/x/moved.dll → /rel6/y/moved.dll\",\"2024/05/01 12:00\",\"100\",,\"/rel5/x/ → "
              "/rel6/y/\"\r\n"
              "\"削除\",\"/rel5/gone.txt\",\"2024/05/01 12:00\",\"100\",,\"/rel5/\"\r\n"
              "\"追加\",\"/rel6/new.txt\",\"2024/05/01 12:00\",\"100\",,\"/rel6/\"\r\n");
    const std::string html = exported(ExportFormat::kHtml, true, titles);
    EXPECT_NE(html.find("<TD bgColor=#0066cc><FONT class=VERDANA color=#ffffff>Kind</FONT></TD>\r\n<TD "
                        "bgColor=#0066cc><FONT class=VERDANA color=#ffffff>FileName</FONT></TD>"),
              std::string::npos);
    EXPECT_NE(html.find("<tr><TD>削除</TD><TD>gone.txt</TD><TD>2024/05/01 12:00</TD><TD align=right>100</TD>"
                        "<TD>　</TD><TD>/rel5/</TD></tr>\r\n"),
              std::string::npos)
        << html;
    SetCodePage(kCodePageShiftJis);
    const std::string sjis = exported(ExportFormat::kText, true, titles);
    SetCodePage(kCodePageUtf8);
    EXPECT_EQ(sjis.substr(0, 8), "\x95\xCF\x8D\x58\x81\x69\x93\xFA");  // "変更（日"
    EXPECT_NE(sjis.find("100 \x81\xA8 120"), std::string::npos);
}

// Lists not made alike are compared, and each difference is said: the
// names' encoding, the code page, each option, a scan cut short.
TEST(Comparison, WarningsSayWhatDiffers) {
    CatalogueFacts oldFacts;
    oldFacts.codePage = oldFacts.nameEncoding = kCodePageShiftJis;
    CatalogueFacts newFacts;
    newFacts.codePage = newFacts.nameEncoding = kCodePageUtf8;
    newFacts.systemFiles = false;
    newFacts.end = ScanEnd::kStoppedByRequest;
    EXPECT_EQ(ComparisonWarnings(oldFacts, newFacts, true),
              (std::vector<std::string>{
                  "the names were read in different encodings (old 932 (Shift-JIS), new 65001 (UTF-8)): names that "
                  "are not plain ASCII do not match",
                  "the lists were made in different code pages (old 932 (Shift-JIS), new 65001 (UTF-8))",
                  "system files: listed in the old list, left out in the new one; they show as removed",
                  "the new list's scan stopped early: the files it did not reach show as removed"}));
    CatalogueFacts whole = newFacts;
    whole.end = ScanEnd::kCompleted;
    EXPECT_EQ(ComparisonWarnings(whole, newFacts, false),
              (std::vector<std::string>{"新しい方の一覧は途中までです（届かなかったファイルは削除と出ます）"}));
    EXPECT_TRUE(ComparisonWarnings(oldFacts, oldFacts, true).empty());
}
