// Writing a catalogue: one transaction without a journal into a file that
// takes the target's place only when whole.
#include <cerrno>
#include <unordered_map>
#include <utility>

#include "platform/CodePage.h"
#include "platform/FileProbe.h"
#include "platform/FileTime.h"
#include "platform/HostName.h"
#include "store/Catalogue.h"
#include "store/Schema.h"
#include "store/Sqlite.h"
#include "store/TargetVfs.h"

#ifndef NORVANE_VERSION
#define NORVANE_VERSION "unknown"
#endif

namespace norvane {

namespace {

// The stop request is looked at every this many rows.
constexpr std::uint64_t kRowsPerCheck = 4096;
// Files go in this many at a time, one statement for all: a statement's own
// work (its transaction's check, its end, its reset) costs as much as
// inserting a row does.
constexpr std::size_t kRowsPerInsert = 32;
constexpr int kFileColumns = 9;

// "INSERT INTO files (...) VALUES (?, ...), ..." for rows rows.
std::string InsertFilesSql(std::size_t rows) {
    std::string sql =
        "INSERT INTO files (folder, name, size, time, version_ms, version_ls, system, hidden, kind) VALUES ";
    for (std::size_t i = 0; i < rows; ++i)
        sql += i == 0 ? "(?, ?, ?, ?, ?, ?, ?, ?, ?)" : ", (?, ?, ?, ?, ?, ?, ?, ?, ?)";
    return sql;
}

const char* OutcomeText(ScanEnd end) {
    switch (end) {
        case ScanEnd::kCompleted: return kOutcomeWhole;
        case ScanEnd::kStoppedByRequest: return kOutcomeStopped;
        case ScanEnd::kStoppedByError: break;
    }
    return kOutcomeError;
}

// True for well-formed UTF-8 (no overlong forms, surrogates or code points
// past U+10FFFF).
bool IsUtf8Text(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t n = 0;
        unsigned min = 0;
        unsigned code = 0;
        if (c < 0x80) n = 1, code = c;
        else if ((c & 0xE0) == 0xC0) n = 2, min = 0x80, code = c & 0x1Fu;
        else if ((c & 0xF0) == 0xE0) n = 3, min = 0x800, code = c & 0x0Fu;
        else if ((c & 0xF8) == 0xF0) n = 4, min = 0x10000, code = c & 0x07u;
        else return false;
        if (i + n > text.size()) return false;
        for (std::size_t k = 1; k < n; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3Fu);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += n;
    }
    return true;
}

// Names go in as text where they are UTF-8 text, so that SQL's text
// functions work on them in the sqlite3 shell; other bytes as a blob.
void BindName(SqliteStatement& statement, int n, std::string_view bytes, bool utf8) {
    if (utf8 && IsUtf8Text(bytes)) statement.BindText(n, bytes);
    else statement.BindBlob(n, bytes);
}

}  // namespace

CatalogueFacts ScanFacts(const std::string& rawFolder, const ScanOptions& options, FILETIME started, FILETIME ended,
                         const ScanResult& result) {
    CatalogueFacts facts;
    facts.program = "Norvane " NORVANE_VERSION;
    facts.topFolder = rawFolder;
    facts.host = HostName();
    facts.started = started;
    facts.ended = ended;
    facts.codePage = CurrentCodePage();
    facts.nameEncoding = FileSystemCodePage();
    facts.subfolders = options.recurse;
    facts.systemFiles = options.includeSystem;
    facts.hiddenFiles = options.includeHidden;
    facts.end = result.end;
    if (result.end == ScanEnd::kStoppedByError) {
        facts.errorCode = result.errorCode;
        facts.errorText = CodePageToUtf8(result.reason);
        while (!facts.errorText.empty() && (facts.errorText.back() == '\n' || facts.errorText.back() == '\r'))
            facts.errorText.pop_back();
    }
    return facts;
}

struct CatalogueWriter::Impl {
    FileReplacement replacement;
    std::unique_ptr<TargetDatabaseFile> file;
    SqliteDatabase db;
    SqliteStatement insertFile;   // one row
    SqliteStatement insertFiles;  // kRowsPerInsert rows
    struct Pending {
        std::int64_t folder;
        const FileItem* item;
    };
    std::vector<Pending> pending;  // rows not yet inserted (their records outlive them)
    SqliteStatement insertFolder;
    std::unordered_map<const Folder*, std::int64_t> folderIds;
    const Folder* top = nullptr;
    const Folder* lastFolder = nullptr;
    std::int64_t lastFolderId = 0;
    std::int64_t folders = 0;
    std::uint64_t files = 0;
    int nameEncoding = kCodePageUtf8;  // of the names' bytes
    CatalogueError error;

    bool Fail(CatalogueProblem problem, int errorNumber, std::string detail = {}) {
        error = {problem, errorNumber, 0, std::move(detail)};
        Abandon();
        return false;
    }
    // An SQLite result other than success: the system's reason where the
    // file refused, else SQLite's message.
    bool FailSqlite(int code) {
        const int primary = code & 0xFF;
        const int systemError = file != nullptr ? file->LastError() : 0;
        if (primary == SQLITE_FULL || primary == SQLITE_IOERR) {
            const int fallback = primary == SQLITE_FULL ? ENOSPC : EIO;
            return Fail(CatalogueProblem::kCannotWrite, systemError != 0 ? systemError : fallback);
        }
        if (primary == SQLITE_NOMEM) return Fail(CatalogueProblem::kOutOfMemory, 0);
        return Fail(CatalogueProblem::kCannotWrite, 0, db.Message());
    }
    void Abandon() {
        insertFile.Finalize();
        insertFiles.Finalize();
        pending.clear();
        insertFolder.Finalize();
        db.Close();
        file.reset();
        replacement.Abandon();
        folderIds.clear();
        top = lastFolder = nullptr;
        folders = 0;
        files = 0;
    }
    bool InsertFolder(std::int64_t id, std::int64_t parent, std::string_view name) {
        insertFolder.Bind(1, id);
        if (parent > 0) insertFolder.Bind(2, parent);
        else insertFolder.BindNull(2);
        BindName(insertFolder, 3, name, nameEncoding == kCodePageUtf8);
        const int rc = insertFolder.Step();
        insertFolder.Reset();
        return rc == SQLITE_DONE || FailSqlite(rc);
    }
    bool AddTop(const Folder* folder) {
        top = folder;
        folders = 1;
        folderIds.emplace(folder, 1);
        return InsertFolder(1, 0, {});
    }
    std::int64_t FolderId(const Folder* folder);

    // Binds a file's values from the parameter after first.
    void BindFile(SqliteStatement& insert, int first, const Pending& row) const {
        const FileItem& item = *row.item;
        insert.Bind(first + 1, row.folder);
        BindName(insert, first + 2, item.rawName(), nameEncoding == kCodePageUtf8);
        // Sizes and times are unsigned: their 64 bits as SQLite's signed integer.
        insert.Bind(first + 3, static_cast<std::int64_t>(item.fileSize));
        insert.Bind(first + 4, static_cast<std::int64_t>(item.fileTime));
        insert.Bind(first + 5, item.versionInfo.dwFileVersionMS);
        insert.Bind(first + 6, item.versionInfo.dwFileVersionLS);
        insert.Bind(first + 7, item.systemFile ? 1 : 0);
        insert.Bind(first + 8, item.hidden ? 1 : 0);
        insert.Bind(first + 9, static_cast<std::int64_t>(item.kind));
    }
    // Inserts the pending rows: a whole batch in one statement, the rest (at
    // the end) one by one.
    bool Flush() {
        SqliteStatement& insert = pending.size() == kRowsPerInsert ? insertFiles : insertFile;
        for (std::size_t done = 0; done < pending.size();) {
            const std::size_t rows = &insert == &insertFiles ? kRowsPerInsert : 1;
            for (std::size_t i = 0; i < rows; ++i)
                BindFile(insert, static_cast<int>(i) * kFileColumns, pending[done + i]);
            const int rc = insert.Step();
            insert.Reset();
            if (rc != SQLITE_DONE) return FailSqlite(rc);
            done += rows;
        }
        files += pending.size();
        pending.clear();
        return true;
    }
};

// The folder's number, the folders above it numbered and written first. 0
// after a failure.
std::int64_t CatalogueWriter::Impl::FolderId(const Folder* folder) {
    if (folder == lastFolder) return lastFolderId;
    std::vector<const Folder*> chain;  // the folders not yet written, the deepest first
    std::int64_t id = 0;
    for (const Folder* f = folder; f != nullptr; f = f->parent) {
        if (auto it = folderIds.find(f); it != folderIds.end()) {
            id = it->second;
            break;
        }
        chain.push_back(f);
    }
    if (id == 0) {
        // The top folder of the scan: every row must share it.
        const Folder* rowTop = chain.back();
        if (top != nullptr && rowTop != top) {
            Fail(CatalogueProblem::kCannotWrite, 0, "rows of two scans");
            return 0;
        }
        if (top == nullptr && !AddTop(rowTop)) return 0;
        chain.pop_back();
        id = 1;
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const std::int64_t parent = id;
        id = ++folders;
        if (!InsertFolder(id, parent, (*it)->rawName)) return 0;
        folderIds.emplace(*it, id);
    }
    lastFolder = folder;
    lastFolderId = id;
    return id;
}

CatalogueWriter::CatalogueWriter() : m_pImpl(std::make_unique<Impl>()) {}

CatalogueWriter::~CatalogueWriter() { m_pImpl->Abandon(); }

const CatalogueError& CatalogueWriter::Error() const { return m_pImpl->error; }

void CatalogueWriter::Abandon() { m_pImpl->Abandon(); }

bool CatalogueWriter::Open(const std::string& rawPath, int nameEncoding, const std::atomic<bool>* stop) {
    Impl& d = *m_pImpl;
    d.Abandon();
    d.error = {};
    d.nameEncoding = nameEncoding;
    // A catalogue is read back at random places: a pipe or a device is no
    // place for one (and opening a pipe would wait for a reader).
    const FileProbe probe = ProbeFile(rawPath, 0);
    if (probe.folder) return d.Fail(CatalogueProblem::kFolder, 0);
    if (probe.error == 0 && !probe.regular) return d.Fail(CatalogueProblem::kNotRegular, 0);
    if (const int error = d.replacement.Open(rawPath)) return d.Fail(CatalogueProblem::kCannotWrite, error);
    d.file = std::make_unique<TargetDatabaseFile>(d.replacement);
    d.file->SetStop(stop);
    if (const int rc =
            d.db.Open(d.file->Name(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, TargetDatabaseFile::VfsName())) {
        return d.FailSqlite(rc);
    }
    // Nothing here needs a journal: a failure drops the whole file.
    const std::string setup =
        "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE;"
        "PRAGMA temp_store=MEMORY; PRAGMA application_id=" +
        std::to_string(kCatalogueApplicationId) + "; PRAGMA user_version=" + std::to_string(kCatalogueFormatVersion) +
        "; BEGIN;" + kCatalogueSchema;
    if (const int rc = d.db.Execute(setup.c_str())) return d.FailSqlite(rc);
    if (const int rc = d.insertFolder.Prepare(d.db.Get(), "INSERT INTO folders (id, parent, name) VALUES (?, ?, ?)"))
        return d.FailSqlite(rc);
    if (const int rc = d.insertFile.Prepare(d.db.Get(), InsertFilesSql(1))) return d.FailSqlite(rc);
    if (const int rc = d.insertFiles.Prepare(d.db.Get(), InsertFilesSql(kRowsPerInsert))) return d.FailSqlite(rc);
    d.pending.reserve(kRowsPerInsert);
    return true;
}

bool CatalogueWriter::Add(const FileItem& item) {
    Impl& d = *m_pImpl;
    if (d.db.Get() == nullptr) return false;
    const std::int64_t folder = d.FolderId(item.folder);
    if (folder == 0) return false;
    d.pending.push_back({folder, &item});
    return d.pending.size() < kRowsPerInsert || d.Flush();
}

bool CatalogueWriter::Commit(const CatalogueFacts& facts) {
    Impl& d = *m_pImpl;
    if (d.db.Get() == nullptr || !d.Flush()) return false;
    // A catalogue without files still names its top folder.
    if (d.top == nullptr && !d.InsertFolder(1, 0, {})) return false;
    if (d.top == nullptr) d.folders = 1;
    SqliteStatement insert;
    if (const int rc = insert.Prepare(
            d.db.Get(), "INSERT INTO catalogue VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")) {
        return d.FailSqlite(rc);
    }
    const std::string started = UtcIsoText(facts.started);
    const std::string ended = UtcIsoText(facts.ended);
    insert.Bind(1, kCatalogueFormatVersion);
    insert.BindText(2, facts.program);
    BindName(insert, 3, facts.topFolder, d.nameEncoding == kCodePageUtf8);
    BindName(insert, 4, facts.host, true);
    insert.BindText(5, started);
    insert.BindText(6, ended);
    insert.Bind(7, facts.codePage);
    insert.Bind(8, d.nameEncoding);
    insert.Bind(9, facts.subfolders ? 1 : 0);
    insert.Bind(10, facts.systemFiles ? 1 : 0);
    insert.Bind(11, facts.hiddenFiles ? 1 : 0);
    insert.BindText(12, OutcomeText(facts.end));
    if (facts.end == ScanEnd::kStoppedByError) {
        insert.Bind(13, facts.errorCode);
        insert.BindText(14, facts.errorText);
    } else {
        insert.BindNull(13);
        insert.BindNull(14);
    }
    insert.Bind(15, d.folders);
    insert.Bind(16, static_cast<std::int64_t>(d.files));
    if (const int rc = insert.Step(); rc != SQLITE_DONE) return d.FailSqlite(rc);
    insert.Finalize();
    d.insertFile.Finalize();
    d.insertFiles.Finalize();
    d.insertFolder.Finalize();
    if (const int rc = d.db.Execute("COMMIT")) return d.FailSqlite(rc);
    d.db.Close();
    d.file.reset();
    if (const int error = d.replacement.Commit()) return d.Fail(CatalogueProblem::kCannotWrite, error);
    d.Abandon();
    return true;
}

namespace {

// Writes rows.size() rows, the i-th being itemOf(rows[i]).
template <class Row, class ItemOf>
bool WriteRows(const std::string& rawPath, const CatalogueFacts& facts, std::span<const Row> rows, ItemOf itemOf,
               CatalogueError* error, const CatalogueProgress& progress) {
    CatalogueWriter writer;
    bool written = writer.Open(rawPath, facts.nameEncoding, progress.stop);
    for (std::size_t i = 0; written && i < rows.size(); ++i) {
        written = writer.Add(*itemOf(rows[i]));
        if ((i + 1) % kRowsPerCheck != 0) continue;
        if (progress.rows != nullptr) progress.rows->store(i + 1, std::memory_order_relaxed);
        if (progress.stop != nullptr && progress.stop->load(std::memory_order_relaxed)) {
            writer.Abandon();
            *error = {CatalogueProblem::kStopped, 0, 0, {}};
            return false;
        }
    }
    if (written) written = writer.Commit(facts);
    if (!written) *error = writer.Error();
    // A write refused for the stop is the stop.
    if (!written && progress.stop != nullptr && progress.stop->load()) *error = {CatalogueProblem::kStopped, 0, 0, {}};
    return written;
}

}  // namespace

bool WriteCatalogue(const std::string& rawPath, const CatalogueFacts& facts, std::span<const FileItem* const> rows,
                    CatalogueError* error, const CatalogueProgress& progress) {
    return WriteRows(
        rawPath, facts, rows, [](const FileItem* item) { return item; }, error, progress);
}

bool WriteCatalogue(const std::string& rawPath, const CatalogueFacts& facts, const FileStore& store,
                    std::span<const ItemRef> rows, CatalogueError* error, const CatalogueProgress& progress) {
    return WriteRows(
        rawPath, facts, rows, [&store](ItemRef ref) { return store.Item(ref); }, error, progress);
}

}  // namespace norvane
