// Reading a catalogue back. The file may come from anywhere: it is opened
// read-only with SQLite's defences on, its tables must be plain tables, and
// every value is checked before a record is made of it. Nothing half-read
// is handed out.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>

#include "platform/CodePage.h"
#include "platform/FileProbe.h"
#include "platform/FileTime.h"
#include "store/Catalogue.h"
#include "store/Schema.h"
#include "store/Sqlite.h"

namespace norvane {

namespace {

constexpr std::string_view kSqliteMagic{"SQLite format 3\0", 16};
constexpr std::size_t kHeaderBytes = 100;
// A name longer than any file system gives is no name.
constexpr std::size_t kMaxNameBytes = 4096;
// No value of a catalogue comes near this (SQLite refuses longer ones).
constexpr int kMaxValueBytes = 1 << 20;
constexpr std::uint64_t kRowsPerCheck = 4096;
// A record takes at least this many bytes of its file: what a file's size
// says of its number of rows, before they are read.
constexpr std::uint64_t kMinRowBytes = 8;

std::uint32_t BigEndian32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = at; i < at + 4; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    return value;
}

bool IsFlag(std::int64_t value) { return value == 0 || value == 1; }

// A column's value, when it is of the kind asked for. Read through the
// column's value object: one call to SQLite for each column, not two.
bool IntegerAt(const SqliteStatement& row, int n, std::int64_t* value) {
    sqlite3_value* cell = sqlite3_column_value(row.Get(), n);
    if (sqlite3_value_type(cell) != SQLITE_INTEGER) return false;
    *value = sqlite3_value_int64(cell);
    return true;
}
bool BytesAt(const SqliteStatement& row, int n, std::string_view* value) {
    sqlite3_value* cell = sqlite3_column_value(row.Get(), n);
    const int type = sqlite3_value_type(cell);
    if (type != SQLITE_TEXT && type != SQLITE_BLOB) return false;
    const void* data = sqlite3_value_blob(cell);
    const int size = sqlite3_value_bytes(cell);
    *value = data != nullptr && size > 0
                 ? std::string_view(static_cast<const char*>(data), static_cast<std::size_t>(size))
                 : std::string_view();
    return true;
}

class Reader {
public:
    Reader(const std::string& rawPath, const CatalogueProgress& progress) : m_strPath(rawPath), m_progress(progress) {}
    bool Read(CatalogueContents* contents);
    // The facts, the folders into folderStore, and the files one at a time.
    bool ReadRows(CatalogueFacts* facts, FileStore& folderStore, const CatalogueRowSink& onRow);
    bool ReadFactsOnly(CatalogueFacts* facts);
    const CatalogueError& Error() const { return m_error; }

private:
    bool CheckHeader();
    bool OpenDatabase();
    bool CheckTables();
    bool ReadFacts(CatalogueFacts* facts);
    bool ReadFolders(FileStore& store, std::vector<const Folder*>& folders, const CatalogueFacts& facts);
    // Into store and rows, or with onRow one at a time, each record made in
    // a store of its own that is emptied every few thousand rows.
    bool ReadFiles(FileStore& store, const std::vector<const Folder*>& folders, std::vector<ItemRef>& rows,
                   const CatalogueRowSink* onRow = nullptr);
    bool CheckName(std::string_view name, bool top, const char* what);
    bool Stopped() const { return m_progress.stop != nullptr && m_progress.stop->load(std::memory_order_relaxed); }

    bool Fail(CatalogueProblem problem, int errorNumber = 0, std::string detail = {}) {
        m_error = {problem, errorNumber, 0, std::move(detail)};
        return false;
    }
    bool Damaged(std::string detail) { return Fail(CatalogueProblem::kDamaged, 0, std::move(detail)); }
    bool SqliteFailed(int code);

    const std::string m_strPath;
    const CatalogueProgress m_progress;
    SqliteDatabase m_db;
    std::uint64_t m_nFileBytes = 0;
    int m_nNameEncoding = kCodePageUtf8;
    std::uint64_t m_nFolderCount = 0;
    std::uint64_t m_nFileCount = 0;
    CatalogueError m_error;
};

bool Reader::SqliteFailed(int code) {
    switch (code & 0xFF) {
        case SQLITE_INTERRUPT: return Fail(CatalogueProblem::kStopped);
        case SQLITE_NOMEM: return Fail(CatalogueProblem::kOutOfMemory);
        case SQLITE_IOERR:
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_BUSY:
        case SQLITE_LOCKED: {
            const int error = m_db.Get() != nullptr ? sqlite3_system_errno(m_db.Get()) : 0;
            if (error != 0) return Fail(CatalogueProblem::kCannotRead, error);
            return Damaged(m_db.Message());
        }
        default: return Damaged(m_db.Message());
    }
}

// The kind of file, before SQLite sees it: a file of another kind, or from
// a newer program, is told so in its own words.
bool Reader::CheckHeader() {
    const FileProbe probe = ProbeFile(m_strPath, kHeaderBytes);
    if (probe.folder) return Fail(CatalogueProblem::kFolder);
    if (probe.error != 0) return Fail(CatalogueProblem::kCannotRead, probe.error);
    if (!probe.regular) return Fail(CatalogueProblem::kNotRegular);
    m_nFileBytes = probe.size;
    const std::string_view start = probe.start;
    if (!start.starts_with(kSqliteMagic)) return Fail(CatalogueProblem::kNotSqlite);
    if (start.size() < kHeaderBytes) return Damaged("the file ends inside its header");
    if (BigEndian32(start, 68) != kCatalogueApplicationId) return Fail(CatalogueProblem::kNotCatalogue);
    const std::uint32_t version = BigEndian32(start, 60);
    if (version > static_cast<std::uint32_t>(kCatalogueFormatVersion)) {
        m_error = {CatalogueProblem::kNewerFormat, 0, static_cast<int>(std::min<std::uint32_t>(version, 1u << 30)), {}};
        return false;
    }
    if (version == 0) return Damaged("the header names no format");
    return true;
}

// The file as an SQLite URI that opens it immutable: read-only, without
// locks and without a journal or a WAL looked for, so that nothing is ever
// created beside it (a catalogue a user turned to WAL mode would get two
// files).
std::string ImmutableUri(const std::string& path) {
    std::string uri = path.starts_with('/') ? "file://" : "file:";
    for (char c : path) {
        if (c == '%') uri += "%25";
        else if (c == '?') uri += "%3F";
        else if (c == '#') uri += "%23";
        else uri += c;
    }
    return uri + "?immutable=1";
}

bool Reader::OpenDatabase() {
    if (const int rc = m_db.Open(ImmutableUri(m_strPath), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI))
        return SqliteFailed(rc);
    sqlite3* db = m_db.Get();
    // A file from elsewhere runs nothing of its own and gets no more room
    // than a catalogue needs.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, kMaxValueBytes);
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
    if (m_progress.stop != nullptr) {
        sqlite3_progress_handler(
            db, 10000, [](void* stop) { return static_cast<const std::atomic<bool>*>(stop)->load() ? 1 : 0; },
            const_cast<std::atomic<bool>*>(m_progress.stop));
    }
    if (const int rc = m_db.Execute("PRAGMA query_only=ON; PRAGMA cell_size_check=ON; PRAGMA mmap_size=0"))
        return SqliteFailed(rc);
    return true;
}

// The three tables must be tables of rows: no virtual table and no column
// computed as it is read.
bool Reader::CheckTables() {
    for (const char* table : {"catalogue", "folders", "files"}) {
        SqliteStatement schema;
        if (const int rc =
                schema.Prepare(m_db.Get(), "SELECT sql FROM sqlite_schema WHERE type = 'table' AND name = ?"))
            return SqliteFailed(rc);
        schema.BindText(1, table);
        const int rc = schema.Step();
        if (rc == SQLITE_DONE) return Damaged(std::string("no table ") + table);
        if (rc != SQLITE_ROW) return SqliteFailed(rc);
        if (!schema.Bytes(0).starts_with("CREATE TABLE"))
            return Damaged(std::string("table ") + table + " is no plain table");
        SqliteStatement columns;
        if (const int prc = columns.Prepare(m_db.Get(), std::string("PRAGMA table_xinfo(") + table + ")"))
            return SqliteFailed(prc);
        int step = SQLITE_ROW;
        while ((step = columns.Step()) == SQLITE_ROW) {
            if (columns.Integer(6) != 0) return Damaged(std::string("table ") + table + " has computed columns");
        }
        if (step != SQLITE_DONE) return SqliteFailed(step);
    }
    return true;
}

bool Reader::CheckName(std::string_view name, bool top, const char* what) {
    if (top ? name.empty() : (name.empty() || name == "." || name == ".."))
        return Damaged(std::string("a ") + what + " that is no name");
    if (name.size() > (top ? static_cast<std::size_t>(kMaxValueBytes) : kMaxNameBytes))
        return Damaged(std::string("a ") + what + " too long");
    if (name.find('\0') != std::string_view::npos || (!top && name.find('/') != std::string_view::npos))
        return Damaged(std::string("a ") + what + " with a character no name holds");
    return true;
}

bool Reader::ReadFacts(CatalogueFacts* facts) {
    SqliteStatement row;
    if (const int rc = row.Prepare(m_db.Get(),
                                   "SELECT format_version, program, top_folder, host, started, ended, code_page, "
                                   "name_encoding, subfolders, system_files, hidden_files, outcome, error_code, "
                                   "error_text, folder_count, file_count FROM catalogue")) {
        return SqliteFailed(rc);
    }
    int rc = row.Step();
    if (rc == SQLITE_DONE) return Damaged("no facts of the scan");
    if (rc != SQLITE_ROW) return SqliteFailed(rc);
    std::int64_t version = 0, codePage = 0, encoding = 0, subfolders = 0, system = 0, hidden = 0;
    std::int64_t folders = 0, files = 0;
    std::string_view program, top, host, started, ended, outcome;
    if (!IntegerAt(row, 0, &version) || !BytesAt(row, 1, &program) || !BytesAt(row, 2, &top) ||
        !BytesAt(row, 3, &host) || !BytesAt(row, 4, &started) || !BytesAt(row, 5, &ended) ||
        !IntegerAt(row, 6, &codePage) || !IntegerAt(row, 7, &encoding) || !IntegerAt(row, 8, &subfolders) ||
        !IntegerAt(row, 9, &system) || !IntegerAt(row, 10, &hidden) || !BytesAt(row, 11, &outcome) ||
        !IntegerAt(row, 14, &folders) || !IntegerAt(row, 15, &files)) {
        return Damaged("facts of the scan of the wrong kind");
    }
    const auto isCodePage = [](std::int64_t n) { return n == kCodePageShiftJis || n == kCodePageUtf8; };
    if (version != kCatalogueFormatVersion || !isCodePage(codePage) || !isCodePage(encoding) || !IsFlag(subfolders) ||
        !IsFlag(system) || !IsFlag(hidden) || folders < 1 || files < 0) {
        return Damaged("facts of the scan out of range");
    }
    if (!CheckName(top, true, "top folder")) return false;
    if (!ParseUtcIsoText(started, &facts->started) || !ParseUtcIsoText(ended, &facts->ended))
        return Damaged("a time of the scan that is no time");
    if (outcome == kOutcomeWhole) facts->end = ScanEnd::kCompleted;
    else if (outcome == kOutcomeStopped) facts->end = ScanEnd::kStoppedByRequest;
    else if (outcome == kOutcomeError) facts->end = ScanEnd::kStoppedByError;
    else return Damaged("an outcome no scan has");
    std::int64_t errorCode = 0;
    std::string_view errorText;
    if (facts->end == ScanEnd::kStoppedByError) {
        if (!IntegerAt(row, 12, &errorCode) || errorCode < 0 || errorCode > 0xFFFFFFFFLL ||
            !BytesAt(row, 13, &errorText))
            return Damaged("an error without its code and text");
    }
    facts->formatVersion = static_cast<int>(version);
    facts->program = program;
    facts->topFolder = top;
    facts->host = host;
    facts->codePage = static_cast<int>(codePage);
    facts->nameEncoding = static_cast<int>(encoding);
    facts->subfolders = subfolders != 0;
    facts->systemFiles = system != 0;
    facts->hiddenFiles = hidden != 0;
    facts->errorCode = static_cast<std::uint32_t>(errorCode);
    facts->errorText = errorText;
    facts->folderCount = static_cast<std::uint64_t>(folders);
    facts->fileCount = static_cast<std::uint64_t>(files);
    m_nNameEncoding = facts->nameEncoding;
    m_nFolderCount = facts->folderCount;
    m_nFileCount = facts->fileCount;
    if ((rc = row.Step()) == SQLITE_ROW) return Damaged("facts of two scans");
    return rc == SQLITE_DONE || SqliteFailed(rc);
}

// Folders come in the order of their numbers, 1 (the top) first, each after
// its parent: a chain of parents always ends at the top.
bool Reader::ReadFolders(FileStore& store, std::vector<const Folder*>& folders, const CatalogueFacts& facts) {
    SqliteStatement row;
    if (const int rc = row.Prepare(m_db.Get(), "SELECT id, parent, name FROM folders ORDER BY id"))
        return SqliteFailed(rc);
    folders.reserve(std::min(m_nFolderCount, m_nFileBytes / kMinRowBytes + 1));
    int rc = SQLITE_ROW;
    while ((rc = row.Step()) == SQLITE_ROW) {
        const auto expected = static_cast<std::int64_t>(folders.size()) + 1;
        std::int64_t id = 0, parent = 0;
        std::string_view name;
        if (!IntegerAt(row, 0, &id) || id != expected) return Damaged("folders numbered out of order");
        if (!BytesAt(row, 2, &name)) return Damaged("a folder name of the wrong kind");
        if (id == 1) {
            if (row.Type(1) != SQLITE_NULL || !name.empty()) return Damaged("a top folder inside another");
            folders.push_back(
                store.AddFolder(nullptr, TopFolderText(facts.topFolder, m_nNameEncoding), facts.topFolder));
            continue;
        }
        if (!IntegerAt(row, 1, &parent) || parent < 1 || parent >= id)
            return Damaged("a folder whose parent comes after it");
        if (!CheckName(name, false, "folder name")) return false;
        const Folder* parentFolder = folders[static_cast<std::size_t>(parent - 1)];
        folders.push_back(store.AddFolder(parentFolder, FileNameToCodePage(name, m_nNameEncoding), name));
        if (Stopped()) return Fail(CatalogueProblem::kStopped);
    }
    if (rc != SQLITE_DONE) return SqliteFailed(rc);
    if (folders.size() != m_nFolderCount) return Damaged("folders missing");
    return true;
}

bool Reader::ReadFiles(FileStore& store, const std::vector<const Folder*>& folders, std::vector<ItemRef>& rows,
                       const CatalogueRowSink* onRow) {
    SqliteStatement row;
    if (const int rc = row.Prepare(m_db.Get(),
                                   "SELECT folder, name, size, time, version_ms, version_ls, system, hidden, kind "
                                   "FROM files ORDER BY id")) {
        return SqliteFailed(rc);
    }
    // With onRow, the records of a few thousand rows at a time.
    std::unique_ptr<FileStore> passing = onRow != nullptr ? std::make_unique<FileStore>() : nullptr;
    if (onRow == nullptr) rows.reserve(std::min(m_nFileCount, m_nFileBytes / kMinRowBytes + 1));
    std::uint64_t count = 0;
    int rc = SQLITE_ROW;
    while ((rc = row.Step()) == SQLITE_ROW) {
        std::int64_t folder = 0, size = 0, time = 0, versionMS = 0, versionLS = 0, system = 0, hidden = 0, kind = 0;
        std::string_view name;
        if (!IntegerAt(row, 0, &folder) || !BytesAt(row, 1, &name) || !IntegerAt(row, 2, &size) ||
            !IntegerAt(row, 3, &time) || !IntegerAt(row, 4, &versionMS) || !IntegerAt(row, 5, &versionLS) ||
            !IntegerAt(row, 6, &system) || !IntegerAt(row, 7, &hidden) || !IntegerAt(row, 8, &kind)) {
            return Damaged("a file's values of the wrong kind");
        }
        if (folder < 1 || static_cast<std::uint64_t>(folder) > folders.size()) return Damaged("a file in no folder");
        if (versionMS < 0 || versionMS > 0xFFFFFFFFLL || versionLS < 0 || versionLS > 0xFFFFFFFFLL || !IsFlag(system) ||
            !IsFlag(hidden) || kind < kFileKindFile || kind > kFileKindOther) {
            return Damaged("a file's values out of range");
        }
        if (!CheckName(name, false, "file name")) return false;
        FileItem* item = (onRow != nullptr ? *passing : store)
                             .AddItem(FileNameToCodePage(name, m_nNameEncoding),
                                      folders[static_cast<std::size_t>(folder - 1)], name);
        // The 64 bits of sizes and times as they were written.
        item->fileSize = static_cast<std::uint64_t>(size);
        item->fileTime = static_cast<std::uint64_t>(time);
        item->versionInfo.dwFileVersionMS = static_cast<std::uint32_t>(versionMS);
        item->versionInfo.dwFileVersionLS = static_cast<std::uint32_t>(versionLS);
        item->systemFile = system != 0;
        item->hidden = hidden != 0;
        item->kind = static_cast<FileKind>(kind);
        if (onRow != nullptr) (*onRow)(*item);
        else rows.push_back(item->ref);
        if (++count % kRowsPerCheck != 0) continue;
        if (onRow != nullptr) passing = std::make_unique<FileStore>();
        if (m_progress.rows != nullptr) m_progress.rows->store(count, std::memory_order_relaxed);
        if (Stopped()) return Fail(CatalogueProblem::kStopped);
    }
    if (rc != SQLITE_DONE) return SqliteFailed(rc);
    if (count != m_nFileCount) return Damaged("files missing");
    if (m_progress.rows != nullptr) m_progress.rows->store(count, std::memory_order_relaxed);
    return true;
}

bool Reader::Read(CatalogueContents* contents) {
    if (!CheckHeader() || !OpenDatabase() || !CheckTables()) return false;
    CatalogueContents read;
    read.store = std::make_shared<FileStore>();
    std::vector<const Folder*> folders;
    if (!ReadFacts(&read.facts) || !ReadFolders(*read.store, folders, read.facts) ||
        !ReadFiles(*read.store, folders, read.rows)) {
        return false;
    }
    *contents = std::move(read);
    return true;
}

bool Reader::ReadRows(CatalogueFacts* facts, FileStore& folderStore, const CatalogueRowSink& onRow) {
    if (!CheckHeader() || !OpenDatabase() || !CheckTables()) return false;
    CatalogueFacts read;
    std::vector<const Folder*> folders;
    std::vector<ItemRef> none;
    if (!ReadFacts(&read) || !ReadFolders(folderStore, folders, read) || !ReadFiles(folderStore, folders, none, &onRow))
        return false;
    *facts = std::move(read);
    return true;
}

bool Reader::ReadFactsOnly(CatalogueFacts* facts) {
    CatalogueFacts read;
    if (!CheckHeader() || !OpenDatabase() || !CheckTables() || !ReadFacts(&read)) return false;
    *facts = std::move(read);
    return true;
}

// Runs one read, with running out of memory told as any other failure.
template <typename Read>
bool RunReader(Reader& reader, CatalogueError* error, Read read) {
    bool done = false;
    try {
        done = read();
    } catch (const std::bad_alloc&) {
        *error = {CatalogueProblem::kOutOfMemory, 0, 0, {}};
        return false;
    }
    if (!done) *error = reader.Error();
    return done;
}

}  // namespace

bool ReadCatalogue(const std::string& rawPath, CatalogueContents* contents, CatalogueError* error,
                   const CatalogueProgress& progress) {
    Reader reader(rawPath, progress);
    return RunReader(reader, error, [&] { return reader.Read(contents); });
}

bool ReadCatalogueRows(const std::string& rawPath, CatalogueFacts* facts, FileStore& folders,
                       const CatalogueRowSink& onRow, CatalogueError* error, const CatalogueProgress& progress) {
    Reader reader(rawPath, progress);
    return RunReader(reader, error, [&] { return reader.ReadRows(facts, folders, onRow); });
}

bool ReadCatalogueFacts(const std::string& rawPath, CatalogueFacts* facts, CatalogueError* error) {
    Reader reader(rawPath, {});
    return RunReader(reader, error, [&] { return reader.ReadFactsOnly(facts); });
}

bool HasCatalogueExtension(std::string_view path) {
    constexpr std::string_view kExtension = ".nvcat";
    if (path.size() <= kExtension.size()) return false;
    const std::string_view end = path.substr(path.size() - kExtension.size());
    return std::equal(end.begin(), end.end(), kExtension.begin(),
                      [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
}

}  // namespace norvane
