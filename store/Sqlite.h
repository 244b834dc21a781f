// Small owners of SQLite's handles, for the catalogue's writer and reader.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace norvane {

class SqliteDatabase {
public:
    SqliteDatabase() = default;
    ~SqliteDatabase() { Close(); }
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    // SQLite's result code; the handle is kept even when opening failed, for
    // its message. A connection is used by one thread at a time, so SQLite
    // takes no lock of its own at every call.
    int Open(const std::string& name, int flags, const char* vfs = nullptr) {
        Close();
        ConfigureOnce();
        return sqlite3_open_v2(name.c_str(), &m_pDb, flags | SQLITE_OPEN_NOMUTEX, vfs);
    }
    void Close() {
        if (m_pDb != nullptr) sqlite3_close_v2(m_pDb);
        m_pDb = nullptr;
    }
    sqlite3* Get() const { return m_pDb; }
    std::string Message() const { return m_pDb != nullptr ? sqlite3_errmsg(m_pDb) : "out of memory"; }
    int Execute(const char* sql) { return sqlite3_exec(m_pDb, sql, nullptr, nullptr, nullptr); }

private:
    // Before SQLite's first use: no count of its memory, which costs a lock
    // at every allocation (a later call is refused, and changes nothing).
    static void ConfigureOnce() {
        static const bool configured = [] {
            sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
            return true;
        }();
        (void)configured;
    }

    sqlite3* m_pDb = nullptr;
};

class SqliteStatement {
public:
    SqliteStatement() = default;
    ~SqliteStatement() { Finalize(); }
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    void Finalize() {
        sqlite3_finalize(m_pStmt);
        m_pStmt = nullptr;
    }
    int Prepare(sqlite3* db, std::string_view sql) {
        Finalize();
        return sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &m_pStmt, nullptr);
    }
    sqlite3_stmt* Get() const { return m_pStmt; }

    // Binding, from the first parameter (1).
    void Bind(int n, std::int64_t value) { sqlite3_bind_int64(m_pStmt, n, value); }
    void BindNull(int n) { sqlite3_bind_null(m_pStmt, n); }
    // The bytes must stay until the statement is stepped.
    void BindBlob(int n, std::string_view bytes) {
        sqlite3_bind_blob(m_pStmt, n, bytes.empty() ? "" : bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
    }
    void BindText(int n, std::string_view text) {
        // An empty text is a text, not NULL: never a null pointer.
        sqlite3_bind_text(m_pStmt, n, text.empty() ? "" : text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
    }
    int Step() { return sqlite3_step(m_pStmt); }
    void Reset() { sqlite3_reset(m_pStmt); }

    // Columns, from the first (0).
    int Type(int n) const { return sqlite3_column_type(m_pStmt, n); }
    std::int64_t Integer(int n) const { return sqlite3_column_int64(m_pStmt, n); }
    // The bytes of a text or blob column, valid until the next step.
    std::string_view Bytes(int n) const {
        const void* data = sqlite3_column_blob(m_pStmt, n);
        const int size = sqlite3_column_bytes(m_pStmt, n);
        return data != nullptr && size > 0 ? std::string_view(static_cast<const char*>(data), size)
                                           : std::string_view();
    }

private:
    sqlite3_stmt* m_pStmt = nullptr;
};

}  // namespace norvane
