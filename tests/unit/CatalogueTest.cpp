// The catalogue file: a scan saved and read back gives the same rows,
// orders and export bytes; the facts of a partial scan come back; a bad
// file of every kind is refused whole; a failed save leaves the old file;
// reading changes nothing.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/CellText.h"
#include "catalogue/FolderScan.h"
#include "catalogue/SortRows.h"
#include "export/ListExporter.h"
#include "platform/CodePage.h"
#include "platform/FileTime.h"
#include "store/Catalogue.h"
#include "support/PeBuilder.h"
#include "support/TempDir.h"

using namespace norvane;

namespace {

// A tree with what a catalogue must keep: names in Japanese and in no valid
// encoding (a folder too), a hidden file, a link, a FIFO, a PE file with a
// version, and a subfolder.
void MakeTree(const TempDir& dir) {
    ASSERT_TRUE(dir.MakeFolder("top") && dir.MakeFolder("top/sub") && dir.MakeFolder("top/\xFE\x80"));
    ASSERT_TRUE(dir.MakeFile("top/plain.txt", "abc") && dir.MakeFile("top/日本語.txt", "x"));
    ASSERT_TRUE(dir.MakeFile("top/bad\xFF\xFE.bin") && dir.MakeFile("top/.hidden"));
    ASSERT_TRUE(dir.MakeFile("top/sub/a.b.c") && dir.MakeFile("top/\xFE\x80/inner"));
    ASSERT_EQ(::symlink("plain.txt", (dir / "top/link").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "top/fifo").c_str(), 0644), 0);
    ASSERT_TRUE(PeBuilder::WriteFile(dir / "top/tool.exe", PeBuilder().Build()));
}

struct Rows {
    FileStore store;
    std::vector<const FileItem*> items;
    CatalogueFacts facts;
};

void ScanTree(const std::string& folder, Rows& rows) {
    const ScanOptions options;
    const FILETIME started = CurrentFileTime();
    const ScanResult result =
        ScanFolder(folder, options, rows.store, [&](FileItem* item) { rows.items.push_back(item); }, {});
    rows.facts = ScanFacts(folder, options, started, CurrentFileTime(), result);
}

std::vector<const FileItem*> Items(const CatalogueContents& contents) {
    std::vector<const FileItem*> items;
    for (ItemRef ref : contents.rows) items.push_back(contents.store->Item(ref));
    return items;
}

// Every export a user can ask for, in every format, as one text.
std::string Exports(const std::vector<const FileItem*>& rows) {
    std::string all;
    for (ExportFormat format : {ExportFormat::kText, ExportFormat::kHtml, ExportFormat::kCsv}) {
        for (bool plain : {true, false}) {
            ExportSettings settings;
            settings.format = format;
            settings.columns.fill(true);
            settings.nameOnly = plain;
            settings.folderHeadings = !plain;
            settings.formattedSize = !plain;
            settings.prefix = plain ? "" : "<";
            CListExporter exporter(settings);
            StringOutputSink sink;
            exporter.WriteRows(sink, rows);
            all += sink.Text();
        }
    }
    return all;
}

// A catalogue of the rows at path.
void Save(const std::string& path, const Rows& rows) {
    CatalogueError error;
    ASSERT_TRUE(WriteCatalogue(path, rows.facts, rows.items, &error)) << CatalogueErrorTextEnglish(error);
}

// Runs SQL on a catalogue as a user of the sqlite3 shell would.
void Edit(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    EXPECT_EQ(rc, SQLITE_OK) << sql << ": " << (message != nullptr ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

class CatalogueTest : public ::testing::Test {
protected:
    void TearDown() override {
        SetCodePage(kCodePageUtf8);
        SetFileSystemCodePage(kCodePageUtf8);
    }
    TempDir m_dir;
};

}  // namespace

// Scan, save, read back: the same rows in the same order with the same raw
// names and kinds, the same order after every sort, and every export the
// same bytes, in both code pages (names UTF-8 on disk).
TEST_F(CatalogueTest, RoundTripGivesTheScansRowsOrdersAndExportBytes) {
    MakeTree(m_dir);
    for (int codePage : {kCodePageUtf8, kCodePageShiftJis}) {
        SetCodePage(codePage);
        Rows scanned;
        ScanTree(m_dir / "top", scanned);
        ASSERT_EQ(scanned.items.size(), 9u);
        const std::string path = m_dir / ("cp" + std::to_string(codePage) + ".nvcat");
        Save(path, scanned);
        CatalogueContents read;
        CatalogueError error;
        ASSERT_TRUE(ReadCatalogue(path, &read, &error)) << CatalogueErrorTextEnglish(error);
        const std::vector<const FileItem*> items = Items(read);
        ASSERT_EQ(items.size(), scanned.items.size());
        for (std::size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(items[i]->rawName(), scanned.items[i]->rawName());
            EXPECT_EQ(items[i]->kind, scanned.items[i]->kind) << scanned.items[i]->rawName();
        }
        EXPECT_EQ(Exports(items), Exports(scanned.items));
        for (int column = 0; column < kColumnCount; ++column) {
            for (bool descending : {false, true}) {
                EXPECT_EQ(SortOrder(items, column, descending), SortOrder(scanned.items, column, descending)) << column;
            }
        }
        EXPECT_EQ(read.facts.codePage, codePage);
        EXPECT_EQ(read.facts.nameEncoding, kCodePageUtf8);
    }
    // The kinds as the file system has them; the raw bytes of a name the
    // code page cannot show kept beside its shown text.
    SetCodePage(kCodePageShiftJis);
    Rows scanned;
    ScanTree(m_dir / "top", scanned);
    int links = 0, others = 0, kept = 0;
    for (const FileItem* item : scanned.items) {
        links += item->kind == kFileKindLink;
        others += item->kind == kFileKindOther;
        kept += item->rawNameKept;
    }
    EXPECT_EQ(links, 1);
    EXPECT_EQ(others, 1);
    EXPECT_EQ(kept, 2);  // "日本語.txt" and the name in no encoding
    // Many rows, written a few to a statement and the last ones alone.
    std::vector<const FileItem*> many;
    for (int i = 0; i < 37; ++i) many.insert(many.end(), scanned.items.begin(), scanned.items.end());
    const std::string path = m_dir / "many.nvcat";
    CatalogueError error;
    ASSERT_TRUE(WriteCatalogue(path, scanned.facts, many, &error)) << CatalogueErrorTextEnglish(error);
    CatalogueContents read;
    ASSERT_TRUE(ReadCatalogue(path, &read, &error)) << CatalogueErrorTextEnglish(error);
    EXPECT_EQ(Exports(Items(read)), Exports(many));
}

// The facts of a scan cut short come back as they went in, and with them
// the top folder's own bytes, the options, the host and the times.
TEST_F(CatalogueTest, FactsOfAPartialScanComeBack) {
    Rows rows;
    FileItem* item = rows.store.AddItem("a", rows.store.AddFolder(nullptr, "/x\xFF/", "/x\xFF"));
    rows.items.push_back(item);
    ScanResult result;
    result.end = ScanEnd::kStoppedByError;
    result.errorCode = 5;
    result.reason = "アクセスが拒否されました。\n";
    rows.facts = ScanFacts("/x\xFF", {.recurse = false, .includeSystem = false},
                           FileTimeFromUnix(1700000000, 123456789), FileTimeFromUnix(1700000100, 0), result);
    for (ScanEnd end : {ScanEnd::kStoppedByError, ScanEnd::kStoppedByRequest, ScanEnd::kCompleted}) {
        rows.facts.end = end;
        const std::string path = m_dir / "partial.nvcat";
        Save(path, rows);
        CatalogueContents read;
        CatalogueError error;
        ASSERT_TRUE(ReadCatalogue(path, &read, &error)) << CatalogueErrorTextEnglish(error);
        const CatalogueFacts& facts = read.facts;
        EXPECT_EQ(facts.end, end);
        EXPECT_EQ(facts.whole(), end == ScanEnd::kCompleted);
        EXPECT_EQ(facts.errorCode, end == ScanEnd::kStoppedByError ? 5u : 0u);
        EXPECT_EQ(facts.errorText, end == ScanEnd::kStoppedByError ? "アクセスが拒否されました。" : "");
        EXPECT_EQ(facts.topFolder, "/x\xFF");
        EXPECT_EQ(FolderText(read.store->Item(read.rows[0])->folder), TopFolderText("/x\xFF", kCodePageUtf8));
        EXPECT_FALSE(facts.subfolders || facts.systemFiles);
        EXPECT_TRUE(facts.hiddenFiles);
        EXPECT_EQ(facts.started, FileTimeFromUnix(1700000000, 123000000));  // to the millisecond
        EXPECT_EQ(facts.ended, FileTimeFromUnix(1700000100, 0));
        EXPECT_EQ(facts.host, rows.facts.host);
        EXPECT_EQ(facts.fileCount, 1u);
        EXPECT_EQ(facts.folderCount, 1u);
    }
}

// Every kind of bad file is refused with its own problem, and what the
// caller held stays as it was.
TEST_F(CatalogueTest, BadFilesAreRefusedWhole) {
    MakeTree(m_dir);
    Rows rows;
    ScanTree(m_dir / "top", rows);
    for (int i = 0; i < 3000; ++i) rows.items.push_back(rows.items[static_cast<std::size_t>(i % 9)]);
    const std::string good = m_dir / "good.nvcat";
    Save(good, rows);
    const std::string bytes = ReadAll(good);
    const auto copy = [&](const std::string& name, const std::string& content) {
        WriteAll(m_dir / name, content);
        return m_dir / name;
    };
    const auto edited = [&](const std::string& name, const std::string& sql) {
        const std::string path = copy(name, bytes);
        Edit(path, sql);
        return path;
    };
    std::string newer = bytes;
    newer[63] = 2;  // the header's user version
    std::string corrupt = bytes;
    for (std::size_t i = 3 * 4096; i < 4 * 4096; ++i) corrupt[i] = '\xA5';
    struct Case {
        std::string path;
        CatalogueProblem problem;
    };
    using P = CatalogueProblem;
    const std::vector<Case> cases = {
        {m_dir / "missing.nvcat", P::kCannotRead},
        {m_dir / "top", P::kFolder},
        {m_dir / "top/fifo", P::kNotRegular},
        {copy("empty.nvcat", ""), P::kNotSqlite},
        {copy("text.nvcat", "FileName,FileSize\r\n"), P::kNotSqlite},
        {edited("other.nvcat", "PRAGMA application_id = 0"), P::kNotCatalogue},
        {copy("newer.nvcat", newer), P::kNewerFormat},
        {copy("header.nvcat", bytes.substr(0, 60)), P::kDamaged},
        {copy("truncated.nvcat", bytes.substr(0, bytes.size() / 2)), P::kDamaged},
        {copy("corrupt.nvcat", corrupt), P::kDamaged},
        {edited("cycle.nvcat", "UPDATE folders SET parent = id WHERE id > 1"), P::kDamaged},
        {edited("nofolder.nvcat", "UPDATE files SET folder = 99 WHERE id = 5"), P::kDamaged},
        {edited("slash.nvcat", "UPDATE files SET name = 'a/b' WHERE id = 5"), P::kDamaged},
        {edited("dots.nvcat", "UPDATE folders SET name = '..' WHERE id = 2"), P::kDamaged},
        {edited("kind.nvcat", "UPDATE files SET kind = 3 WHERE id = 5"), P::kDamaged},
        {edited("size.nvcat", "UPDATE files SET size = 'big' WHERE id = 5"), P::kDamaged},
        {edited("version.nvcat", "UPDATE files SET version_ms = 4294967296 WHERE id = 5"), P::kDamaged},
        {edited("deleted.nvcat", "DELETE FROM files WHERE id = 7"), P::kDamaged},
        {edited("twice.nvcat", "INSERT INTO catalogue SELECT * FROM catalogue"), P::kDamaged},
        {edited("outcome.nvcat", "UPDATE catalogue SET outcome = 'maybe'"), P::kDamaged},
        {edited("time.nvcat", "UPDATE catalogue SET ended = 'yesterday'"), P::kDamaged},
        {edited("view.nvcat", "ALTER TABLE files RENAME TO f; CREATE VIEW files AS SELECT * FROM f"), P::kDamaged},
        {edited("computed.nvcat", "ALTER TABLE files ADD COLUMN x AS (zeroblob(100000000))"), P::kDamaged},
    };
    for (const Case& c : cases) {
        CatalogueContents contents;
        contents.facts.host = "kept";
        CatalogueError error;
        EXPECT_FALSE(ReadCatalogue(c.path, &contents, &error)) << c.path;
        EXPECT_EQ(error.problem, c.problem) << c.path << ": " << CatalogueErrorTextEnglish(error);
        EXPECT_EQ(contents.facts.host, "kept");
        EXPECT_TRUE(contents.rows.empty() && contents.store == nullptr);
        EXPECT_FALSE(CatalogueErrorText(error).empty());
    }
    CatalogueContents contents;
    CatalogueError error;
    ReadCatalogue(m_dir / "newer.nvcat", &contents, &error);
    EXPECT_EQ(CatalogueErrorTextEnglish(error),
              "made by a newer Norvane (format 2; this one reads format 1 and older)");
}

// A save that fails (a full disk, stood for by a file size limit; a folder
// that is not there) leaves the file that was there and no temporary file;
// reading a catalogue writes nothing, not even beside it.
TEST_F(CatalogueTest, FailedSaveKeepsTheOldFileAndReadingChangesNothing) {
    MakeTree(m_dir);
    Rows rows;
    ScanTree(m_dir / "top", rows);
    for (int i = 0; i < 20000; ++i) rows.items.push_back(rows.items[0]);
    ASSERT_TRUE(m_dir.MakeFolder("out"));
    const std::string path = m_dir / "out/kept.nvcat";
    Save(path, rows);
    const std::string before = ReadAll(path);
    {
        struct rlimit old {};
        ::getrlimit(RLIMIT_FSIZE, &old);
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit small { 64 * 1024, old.rlim_max };
        ::setrlimit(RLIMIT_FSIZE, &small);
        CatalogueError error;
        const bool written = WriteCatalogue(path, rows.facts, rows.items, &error);
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, handler);
        EXPECT_FALSE(written);
        EXPECT_EQ(error.problem, CatalogueProblem::kCannotWrite);
        EXPECT_EQ(error.errorNumber, EFBIG);
    }
    CatalogueError error;
    EXPECT_FALSE(WriteCatalogue(m_dir / "nowhere/x.nvcat", rows.facts, rows.items, &error));
    EXPECT_EQ(error.errorNumber, ENOENT);
    EXPECT_EQ(ReadAll(path), before);
    // Read from a folder and a file nobody may write.
    struct stat st {};
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(::chmod((m_dir / "out").c_str(), 0555), 0);
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    CatalogueContents contents;
    EXPECT_TRUE(ReadCatalogue(path, &contents, &error)) << CatalogueErrorTextEnglish(error);
    EXPECT_EQ(contents.rows.size(), rows.items.size());
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_nsec, st.st_mtim.tv_nsec);
    EXPECT_EQ(ReadAll(path), before);
    // A catalogue a user turned to WAL mode, in a folder that takes files.
    ASSERT_EQ(::chmod((m_dir / "out").c_str(), 0755), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    Edit(path, "PRAGMA journal_mode = WAL");
    EXPECT_TRUE(ReadCatalogue(path, &contents, &error)) << CatalogueErrorTextEnglish(error);
    EXPECT_EQ(std::system(("test \"$(ls -A '" + m_dir / "out" + "')\" = kept.nvcat").c_str()), 0);
}
