#pragma once
// Owning handles for SQLite connections and prepared statements, released by scope. The engine,
// the tests and the benchmarks reach SQLite through these.
#include <sqlite3.h>

#include <memory>
#include <string>

namespace katalox::store {

struct SqliteRelease {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using SqliteConnection = std::unique_ptr<sqlite3, SqliteRelease>;
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteRelease>;

// Opens a connection to an existing file (unless `flags` say to create it). Throws EngineError
// with the engine's message when it cannot be opened.
SqliteConnection openSqlite(const std::string& path, int flags = SQLITE_OPEN_READWRITE);

// Prepares the first statement of `sql`; an empty handle when `sql` holds only white space or
// comments. Throws EngineError with the engine's message when the engine refuses it.
SqliteStatement prepareSqlite(sqlite3* db, const std::string& sql);

// Throws the connection's last error: EngineBusyError when another program holds the file,
// EngineFullError on a full disk, EngineReadOnlyError for a file that cannot be written,
// otherwise EngineError with the engine's message.
[[noreturn]] void throwLastError(sqlite3* db);
// The same for an error code and message read before.
[[noreturn]] void throwEngineError(int code, const std::string& message);

} // namespace katalox::store
