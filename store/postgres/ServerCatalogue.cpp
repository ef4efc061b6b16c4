#include "store/postgres/ServerCatalogue.h"

#include "platform/Error.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgDisks.h"
#include "store/postgres/PgFactTables.h"
#include "store/postgres/PgPrints.h"
#include "store/postgres/PgText.h"
#include "store/sqlite/SqlText.h"

#include <map>
#include <mutex>

namespace katalox::store {

namespace {

std::mutex connectionsMutex;
// One connection per URI for the program's life: a listing, the table cursor and the
// maintenance commands share it, so that opening a listing costs no new connection.
std::map<std::string, std::shared_ptr<PgConnection>>& connections() {
    static std::map<std::string, std::shared_ptr<PgConnection>> open;
    return open;
}

} // namespace

bool isServerUri(std::string_view setting) {
    return setting.starts_with("postgresql://") || setting.starts_with("postgres://");
}

std::shared_ptr<PgConnection> serverConnection(const std::string& uri) {
    const std::lock_guard lock(connectionsMutex);
    std::shared_ptr<PgConnection>& shared = connections()[uri];
    // A lost connection stays with those who hold it, failing; the next user gets a new one.
    if (!shared || shared->lost())
        shared = std::make_shared<PgConnection>(uri);
    return shared;
}

std::int64_t runServerChange(const std::string& uri, const std::string& statement) {
    const std::shared_ptr<PgConnection> db = serverConnection(uri);
    PgTransaction transaction(*db);
    const PgResult result = db->execute(statement);
    transaction.commit();
    return result.changedRows();
}

namespace {

// `before` runs ahead of the change, while the records of the Disk ID are as they were.
void changeDisk(const std::string& uri, const std::string& statement, const std::string& keepScans,
                const std::vector<PgParameter>& parameters,
                const std::vector<std::string>& before = {}) {
    const std::shared_ptr<PgConnection> db = serverConnection(uri);
    PgTransaction transaction(*db);
    for (const std::string& keep : before)
        db->execute(keep, parameters);
    db->execute(statement);
    db->execute(keepScans, parameters);
    transaction.commit();
}

} // namespace

void deleteServerDisk(const std::string& uri, const std::string& table, const std::string& diskId,
                      const std::string& statement) {
    // The facts go first, so that deleting the records finds none left to keep in step.
    std::vector<std::string> before = {forgetServerDiskFactsStatement(table)};
    for (const std::string& checks : forgetServerDiskChecksStatements(table))
        before.push_back(checks);
    changeDisk(uri, statement, forgetServerDiskStatement(table), {toServerText(diskId)}, before);
}

void renameServerDisk(const std::string& uri, const std::string& table, const std::string& diskId,
                      const std::string& newName, const std::string& statement) {
    changeDisk(uri, statement, renameServerDiskStatement(table),
               {toServerText(diskId), toServerText(newName)},
               renameServerDiskChecksStatements(table));
}

std::vector<DiskPresence> serverDiskPresence(const std::string& uri, const std::string& table) {
    return presenceOf(serverScans(*serverConnection(uri), table));
}

std::int64_t serverChangeCount(const std::string& uri, const std::string& table) {
    const PgResult counts = serverConnection(uri)->execute(
        "SELECT coalesce(n_tup_ins + n_tup_upd + n_tup_del, 0) FROM pg_stat_user_tables WHERE "
        "relid = to_regclass($1)",
        {quoteIdentifier(table)});
    return counts.rows() > 0 ? counts.integer(0, 0) : 0;
}

namespace {

constexpr int kLooksForOthers = 10;

} // namespace

void emptyServerTable(const std::string& uri, const std::string& table) {
    const std::shared_ptr<PgConnection> db = serverConnection(uri);
    PgTransaction transaction(*db);
    // The lock keeps every other session's reads and writes out until the records are gone;
    // one busy for long (a listing being read) makes the command fail rather than wait.
    db->execute("SET LOCAL lock_timeout = '3s'");
    db->execute("LOCK TABLE " + quoteIdentifier(table) + " IN ACCESS EXCLUSIVE MODE");
    // A program that has just let go may still be leaving: it is given a second to.
    std::int64_t count = 0;
    for (int look = 0; look < kLooksForOthers; ++look) {
        if (look > 0)
            db->execute("SELECT pg_stat_clear_snapshot(), pg_sleep(0.1)");
        count = db->execute("SELECT count(*) FROM pg_stat_activity WHERE datname = "
                            "current_database() AND pid <> pg_backend_pid() AND backend_type = "
                            "'client backend'")
                    .integer(0, 0);
        if (count == 0)
            break;
    }
    if (count > 0)
        throw EngineError("Cannot empty the catalogue while " + std::to_string(count) +
                          (count == 1 ? " other program is" : " other programs are") +
                          " connected to it");
    // TRUNCATE keeps the identity's counter unless told otherwise, as emptying a file does.
    // TRUNCATE fires no delete trigger: what is kept beside the records is emptied with them.
    const ServerPrintTables prints = serverPrintTables(table);
    std::string tables = quoteIdentifier(table) + ", " + quoteIdentifier(serverDisksTable(table)) +
                         ", " + serverFactTablesList(table);
    for (const std::string* kept :
         {&prints.prints, &prints.groups, &prints.verified, &prints.findings, &prints.checks})
        tables += ", " + quoteIdentifier(*kept);
    db->execute("TRUNCATE " + tables);
    transaction.commit();
}

} // namespace katalox::store
