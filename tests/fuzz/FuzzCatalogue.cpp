// Reads catalogue files made of the input. Byte 0 says how the file is made:
// bit 0 clear, the rest of the input is the file itself; bit 0 set, the rest
// is a list of edits that a user of the sqlite3 shell could make to a valid
// catalogue (each: table, row, column, kind of value, value), made before
// the file is read.
//
// Checked: nothing crashes, hangs or reads out of bounds; a refused file
// leaves what the caller held and says why; an accepted one holds as many
// rows as it says, every folder chain ends at the top folder, no name is
// empty or holds "/"; and written again and read back it gives the same
// records. Read a file at a time it is accepted or refused alike, and
// compared so with itself nothing changed: each row of it is in the
// comparison once, and what a path twice in it leaves unmatched is as
// often added as removed.
#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/Comparison.h"
#include "platform/CodePage.h"
#include "store/Catalogue.h"
#include "tests/fuzz/FuzzFiles.h"

namespace {

using namespace norvane;

void Check(bool condition) {
    if (!condition) std::abort();
}

const std::string& WorkFolder() { return fuzz::FuzzFolder(); }

// The catalogue the edits start from: a few folders and files, one name in
// no encoding, versions, marks and kinds.
const std::string& BaseCatalogue() {
    static const std::string bytes = [] {
        FileStore store;
        const Folder* top = store.AddFolder(nullptr, "/top/", "/top");
        const Folder* sub = store.AddFolder(top, "sub");
        const Folder* odd = store.AddFolder(sub, "odd\xFE");
        std::vector<const FileItem*> rows;
        int n = 0;
        for (const Folder* folder : {top, sub, odd, top}) {
            for (const char* name : {"a.exe", "b\xFF.txt", ".hidden"}) {
                FileItem* item = store.AddItem(name, folder);
                item->fileSize = static_cast<std::uint64_t>(n) * 1000;
                item->fileTime = 130000000000000000ULL + static_cast<std::uint64_t>(n);
                item->versionInfo.dwFileVersionMS = n % 2 == 0 ? 0x00010002 : 0;
                item->systemFile = n % 3 == 0;
                item->hidden = name[0] == '.';
                item->kind = static_cast<FileKind>(n % 3);
                rows.push_back(item);
                ++n;
            }
        }
        const std::string path = WorkFolder() + "/base.nvcat";
        CatalogueError error;
        ScanResult result;
        Check(WriteCatalogue(path, ScanFacts("/top", {}, 1, 2, result), rows, &error));
        return fuzz::ReadFile(path);
    }();
    return bytes;
}

// One edit: a value of the input into a cell, or a row deleted or doubled.
std::size_t ApplyEdit(sqlite3* db, const std::uint8_t* data, std::size_t size) {
    static const char* const kTables[] = {"catalogue", "folders", "files"};
    static const std::vector<std::vector<const char*>> kColumns = {
        {"format_version", "program", "top_folder", "host", "started", "ended", "code_page", "name_encoding",
         "subfolders", "system_files", "hidden_files", "outcome", "error_code", "error_text", "folder_count",
         "file_count"},
        {"id", "parent", "name"},
        {"id", "folder", "name", "size", "time", "version_ms", "version_ls", "system", "hidden", "kind"}};
    if (size < 4) return size;
    const std::size_t table = data[0] % 3;
    const std::string row = std::to_string(data[1] % 16);
    const std::vector<const char*>& columns = kColumns[table];
    const char* column = columns[data[2] % columns.size()];
    const int kind = data[3] % 8;
    std::size_t used = 4;
    std::string sql = std::string("UPDATE ") + kTables[table] + " SET " + column + " = ? WHERE rowid = " + row;
    if (kind == 6) sql = std::string("DELETE FROM ") + kTables[table] + " WHERE rowid = " + row;
    if (kind == 7) sql = std::string("INSERT INTO ") + kTables[table] + " SELECT * FROM " + kTables[table] + " LIMIT 1";
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) return used;
    // The value: the next bytes, up to 16.
    const std::size_t length = std::min<std::size_t>(size - used, data[3] >> 4);
    const auto* bytes = reinterpret_cast<const char*>(data + used);
    std::int64_t number = 0;
    for (std::size_t i = 0; i < length && i < 8; ++i) number = (number << 8) | data[used + i];
    switch (kind) {
        case 0: sqlite3_bind_int64(statement, 1, number); break;
        case 1: sqlite3_bind_int64(statement, 1, number - 128); break;
        case 2: sqlite3_bind_text(statement, 1, bytes, static_cast<int>(length), SQLITE_TRANSIENT); break;
        case 3: sqlite3_bind_blob(statement, 1, bytes, static_cast<int>(length), SQLITE_TRANSIENT); break;
        case 4: sqlite3_bind_double(statement, 1, static_cast<double>(number) / 3); break;
        case 5: sqlite3_bind_null(statement, 1); break;
        default: break;
    }
    sqlite3_step(statement);
    sqlite3_finalize(statement);
    return used + length;
}

void EditCatalogue(const std::string& path, const std::uint8_t* data, std::size_t size) {
    fuzz::WriteFile(path, BaseCatalogue());
    sqlite3* db = nullptr;
    Check(sqlite3_open(path.c_str(), &db) == SQLITE_OK);
    for (std::size_t at = 0; at < size;) at += ApplyEdit(db, data + at, size - at);
    sqlite3_close(db);
}

// What an accepted catalogue must hold.
void CheckContents(const CatalogueContents& contents) {
    Check(contents.rows.size() == contents.facts.fileCount);
    for (ItemRef ref : contents.rows) {
        const FileItem* item = contents.store->Item(ref);
        Check(!item->rawName().empty() && item->rawName().find('/') == std::string_view::npos);
        std::uint64_t depth = 0;
        const Folder* folder = item->folder;
        for (; folder->parent != nullptr; folder = folder->parent) Check(++depth < contents.facts.folderCount);
        Check(folder->rawName == contents.facts.topFolder);
    }
}

// Written again and read back, the same records.
void CheckRewrite(const CatalogueContents& contents) {
    std::vector<const FileItem*> rows;
    for (ItemRef ref : contents.rows) rows.push_back(contents.store->Item(ref));
    const std::string path = WorkFolder() + "/again.nvcat";
    CatalogueError error;
    Check(WriteCatalogue(path, contents.facts, rows, &error));
    CatalogueContents again;
    Check(ReadCatalogue(path, &again, &error));
    Check(again.rows.size() == rows.size() && again.facts.end == contents.facts.end &&
          again.facts.topFolder == contents.facts.topFolder && again.facts.errorText == contents.facts.errorText);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const FileItem* a = rows[i];
        const FileItem* b = again.store->Item(again.rows[i]);
        Check(a->rawName() == b->rawName() && a->fileName == b->fileName && a->fileSize == b->fileSize &&
              a->fileTime == b->fileTime && a->versionInfo.dwFileVersionMS == b->versionInfo.dwFileVersionMS &&
              a->versionInfo.dwFileVersionLS == b->versionInfo.dwFileVersionLS && a->kind == b->kind &&
              a->systemFile == b->systemFile && a->hidden == b->hidden && a->directory() == b->directory());
    }
}

// Read a file at a time against its own records.
void CheckSelfComparison(const std::string& path, const CatalogueContents& contents) {
    std::vector<const FileItem*> rows;
    for (ItemRef ref : contents.rows) rows.push_back(contents.store->Item(ref));
    ComparisonBuilder builder(rows, contents.store);
    const auto folders = std::make_shared<FileStore>();
    builder.SetOldFolders(folders);
    CatalogueFacts facts;
    CatalogueError error;
    Check(ReadCatalogueRows(
        path, &facts, *folders, [&](const FileItem& item) { builder.AddOld(item); }, &error));
    const Comparison comparison = builder.Finish();
    std::uint64_t total = 0;
    for (int kind = 0; kind < kChangeKindCount; ++kind) total += comparison.Count(static_cast<ChangeKind>(kind));
    Check(total == comparison.size() && comparison.Count(ChangeKind::kChanged) == 0);
    Check(comparison.Count(ChangeKind::kAdded) == comparison.Count(ChangeKind::kRemoved));
    std::vector<bool> seen(
        comparison.NewRowCount() + comparison.Count(ChangeKind::kRemoved) + comparison.Count(ChangeKind::kMoved),
        false);
    for (const std::uint32_t number : comparison.Order()) {
        Check(number < seen.size() && !seen[number]);
        seen[number] = true;
    }
    for (std::uint32_t i = 0; i < comparison.NewRowCount(); ++i) Check(seen[i] && comparison.Row(i).item == rows[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string path = WorkFolder() + "/input.nvcat";
    if ((data[0] & 1) == 0) {
        fuzz::WriteFile(path, std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    } else {
        EditCatalogue(path, data + 1, size - 1);
    }
    CatalogueContents contents;
    contents.facts.host = "untouched";
    CatalogueError error;
    if (!ReadCatalogue(path, &contents, &error)) {
        Check(error.problem != CatalogueProblem::kNone && !CatalogueErrorText(error).empty());
        Check(contents.store == nullptr && contents.rows.empty() && contents.facts.host == "untouched");
        FileStore folders;
        CatalogueFacts facts;
        Check(!ReadCatalogueRows(
            path, &facts, folders, [](const FileItem&) {}, &error));
        return 0;
    }
    CheckContents(contents);
    CheckRewrite(contents);
    CheckSelfComparison(path, contents);
    return 0;
}
