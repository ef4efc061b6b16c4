#include "store/sqlite/SqliteHandles.h"

#include "platform/Error.h"

namespace katalox::store {

SqliteConnection openSqlite(const std::string& path, int flags) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    SqliteConnection db(raw);
    if (rc != SQLITE_OK)
        throw EngineError(db ? sqlite3_errmsg(db.get()) : sqlite3_errstr(rc));
    return db;
}

SqliteStatement prepareSqlite(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr);
    SqliteStatement statement(raw);
    if (rc != SQLITE_OK)
        throwLastError(db);
    return statement;
}

void throwEngineError(int code, const std::string& message) {
    switch (code & 0xff) {
    case SQLITE_BUSY:
        throw EngineBusyError(message);
    case SQLITE_FULL:
        throw EngineFullError(message);
    case SQLITE_READONLY:
        throw EngineReadOnlyError(message);
    default:
        throw EngineError(message);
    }
}

void throwLastError(sqlite3* db) {
    throwEngineError(sqlite3_errcode(db), sqlite3_errmsg(db));
}

} // namespace katalox::store
