#include "store/catalog/CatalogFile.h"

#include "platform/Error.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"
#include "store/archives/ArchiveMembers.h"
#include "store/catalog/RecordedDisks.h"
#include "store/facts/FactTables.h"
#include "store/prints/PrintTables.h"
#include "store/search/EveryRecord.h"
#include "store/search/SearchIndex.h"
#include "store/search/SearchIndexUpkeep.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"
#include "store/sqlite/SqliteHandles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace katalox::store {

namespace {

void writeSchema(const std::string& path, const std::string& table) {
    const std::string name = quoteIdentifier(table);
    const std::string sql =
        "BEGIN;"
        "CREATE TABLE " +
        name +
        " (\"Id\" INTEGER PRIMARY KEY AUTOINCREMENT, \"File Name\" TEXT, \"File Path\" TEXT,"
        " \"Disk ID\" TEXT, \"File Size\" INTEGER);"
        "CREATE INDEX " +
        quoteIdentifier(table + " Disk ID") + " ON " + name + " (\"Disk ID\");" +
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

// While alive, no other instance of the program can open the catalogue, unless one had it
// open already, in which case nothing is taken.
class SoleUse {
public:
    explicit SoleUse(Database& db) : db_(db), taken_(db.takeSoleUse()) {}
    ~SoleUse() {
        if (taken_)
            db_.shareAgain();
    }
    SoleUse(const SoleUse&) = delete;
    SoleUse& operator=(const SoleUse&) = delete;
    bool taken() const { return taken_; }

private:
    Database& db_;
    bool taken_;
};

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

std::shared_ptr<Database> openCatalogFile(const std::string& path) {
    std::shared_ptr<Database> db = Database::open(path);
    if (!db->upkeep())
        db->setUpkeep(std::make_unique<SearchIndexUpkeep>(*db, tableNameOf(path)));
    return db;
}

void emptyCatalogFile(const std::string& path, const std::string& table) {
    std::shared_ptr<Database> db = openCatalogFile(path);
    db->prepare("SELECT 1 FROM " + quoteIdentifier(table)); // a missing table fails first
    const auto refuse = [&path](const std::string& reason) {
        throw EngineError("Cannot empty the table \"" + path + "\": " + reason);
    };
    try {
        db->commitPending(); // records of ours still waiting to be written come first
    } catch (const EngineError& error) {
        refuse(error.what());
    }
    // Another instance of the program showing or filling the table uses it too.
    const SoleUse soleUse(*db);
    if (!soleUse.taken())
        refuse("database is locked");
    db->pauseUpkeep();
    // Fail at once, leaving everything as it was, when another program holds the file.
    const NoWaiting noWaiting(*db);
    try {
        db->execute("BEGIN EXCLUSIVE");
    } catch (const EngineError& error) {
        refuse(error.what());
    }
    try {
        forgetAllFacts(*db);
        forgetAllPrints(*db);
        forgetAllMembers(*db);
        emptyTableAndIndex(*db, table);
        forgetAllRecordedDisks(*db);
        db->execute("COMMIT");
    } catch (const EngineError&) {
        db->rollbackOpenTransaction();
        throw;
    }
    db->noteChanges();
}

} // namespace katalox::store
