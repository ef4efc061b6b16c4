#include "store/catalog/CatalogFile.h"

#include "platform/Error.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"
#include "store/dialect/Dialect.h"
#include "store/search/EveryRecord.h"
#include "store/search/SearchIndex.h"
#include "store/sqlite/SqliteHandles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace katalox::store {

namespace {

void writeSchema(const std::string& path, const std::string& table) {
    const std::string quoted = quoteIdentifier(table);
    const std::string sql =
        "BEGIN;"
        "CREATE TABLE " +
        quoted +
        " (\"Id\" INTEGER PRIMARY KEY AUTOINCREMENT, \"File Name\" TEXT, \"File Path\" TEXT,"
        " \"Disk ID\" TEXT, \"File Size\" INTEGER);"
        "CREATE INDEX " +
        quoteIdentifier(table + " Disk ID") + " ON " + quoted + " (\"Disk ID\");" +
        createSearchIndexSql(table, 0) + createUnlistedIndexSql(table) + "COMMIT;";
    std::string message;
    try {
        const SqliteConnection db = openSqlite(path);
        char* error = nullptr;
        if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK)
            message = error ? error : sqlite3_errmsg(db.get());
        sqlite3_free(error);
    } catch (const EngineError& error) {
        message = error.what();
    }
    if (!message.empty())
        throw FileError("Cannot create file \"" + path + "\". " + message);
}

} // namespace

std::string tableNameOf(const std::string& path) {
    const std::size_t slash = path.rfind(platform::kPathSeparator);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

void createEmptyCatalog(const std::string& path) {
    const std::string table = tableNameOf(path);
    if (table.empty())
        throw FileError("Cannot create file \"" + path + "\". The file name is empty");
    // O_EXCL: an existing catalogue is never touched, even one made a moment ago by another.
    {
        // Closed again before the engine opens the file: closing a descriptor drops every lock
        // the process holds on that file, the engine's included.
        const platform::UniqueFd created(
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
        if (!created.valid() && errno == EEXIST)
            throw FileError("Cannot create file \"" + path +
                            "\". A file of that name exists already and is left as it is");
        if (!created.valid())
            throw FileError("Cannot create file \"" + path + "\". " + std::strerror(errno));
    }
    try {
        writeSchema(path, table);
    } catch (const FileError&) {
        ::unlink(path.c_str());
        throw;
    }
}

} // namespace katalox::store
