#include "store/facts/FactTables.h"

#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

namespace katalox::store {

namespace {

const std::string kFolders = quoteIdentifier(kFoldersTable);
const std::string kFacts = quoteIdentifier(kFactsTable);

// "Name" holds an integer (the letter-case mask of an ASCII name, see RealName.h) or the name's
// bytes. "Files" and "Bytes" count only the files directly in the folder.
const std::string kCreateTables =
    "CREATE TABLE IF NOT EXISTS " + kFolders +
    " (\"Id\" INTEGER PRIMARY KEY, \"Scan\" INTEGER, \"Parent\" INTEGER, \"Name\" TEXT,"
    " \"Files\" INTEGER, \"Bytes\" INTEGER);"
    "CREATE INDEX IF NOT EXISTS \"Disk Folders Scan\" ON " +
    kFolders +
    " (\"Scan\");"
    "CREATE TABLE IF NOT EXISTS " +
    kFacts +
    " (\"Record\" INTEGER PRIMARY KEY, \"Folder\" INTEGER, \"Name\", \"Modified\" INTEGER);"
    "CREATE INDEX IF NOT EXISTS \"File Facts Folder\" ON " +
    kFacts + " (\"Folder\");";

const char* const kTriggerNames[] = {"File Facts Deleted", "File Facts Moved",
                                     "File Facts Resized"};

// A record deleted or given another name or path loses its facts, and its folder the file.
std::string dropFactsOf(const std::string& old) {
    return "UPDATE " + kFolders + " SET \"Files\" = \"Files\" - 1, \"Bytes\" = \"Bytes\" - " +
           "coalesce(" + old + ".\"File Size\", 0) WHERE \"Id\" = (SELECT \"Folder\" FROM " +
           kFacts + " WHERE \"Record\" = " + old + ".rowid); DELETE FROM " + kFacts +
           " WHERE \"Record\" = " + old + ".rowid;";
}

std::string createTriggersSql(const std::string& table) {
    const std::string on = " ON " + quoteIdentifier(table);
    const std::string hasFacts =
        " WHEN EXISTS (SELECT 1 FROM " + kFacts + " WHERE \"Record\" = old.rowid)";
    return "CREATE TRIGGER IF NOT EXISTS " + quoteIdentifier(kTriggerNames[0]) + " AFTER DELETE" +
           on + hasFacts + " BEGIN " + dropFactsOf("old") +
           " END;"
           "CREATE TRIGGER IF NOT EXISTS " +
           quoteIdentifier(kTriggerNames[1]) + " AFTER UPDATE OF \"File Name\", \"File Path\"" +
           on + hasFacts +
           " AND (old.\"File Name\" IS NOT new.\"File Name\" OR old.\"File Path\" IS NOT "
           "new.\"File Path\") BEGIN " +
           dropFactsOf("old") +
           " END;"
           "CREATE TRIGGER IF NOT EXISTS " +
           quoteIdentifier(kTriggerNames[2]) + " AFTER UPDATE OF \"File Size\"" + on + hasFacts +
           " AND old.\"File Size\" IS NOT new.\"File Size\" BEGIN UPDATE " + kFolders +
           " SET \"Bytes\" = \"Bytes\" - coalesce(old.\"File Size\", 0) + coalesce(new.\"File "
           "Size\", 0) WHERE \"Id\" = (SELECT \"Folder\" FROM " +
           kFacts + " WHERE \"Record\" = new.rowid); END;";
}

std::string idList(const std::vector<std::int64_t>& ids) {
    std::string list;
    for (const std::int64_t id : ids)
        list += (list.empty() ? "" : ",") + std::to_string(id);
    return list;
}

} // namespace

bool keepsFileFacts(const std::string& catalogueTable) {
    return catalogueTable != kFoldersTable && catalogueTable != kFactsTable &&
           catalogueTable != "Disks";
}

bool hasFactTables(Database& db) {
    return db.integerOf("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                        "(?1, ?2)",
                        {Value(std::string(kFoldersTable)), Value(std::string(kFactsTable))}) == 2;
}

void prepareFactTables(Database& db, const std::string& table) {
    const bool triggersMade =
        db.integerOf("SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND name = ?1",
                     {Value(std::string(kTriggerNames[0]))}) > 0;
    if (!triggersMade || !hasFactTables(db))
        db.executeScript("BEGIN;" + kCreateTables + createTriggersSql(table) + "COMMIT;");
}

void forgetScanFacts(Database& db, const std::vector<std::int64_t>& scanIds) {
    if (scanIds.empty() || !hasFactTables(db))
        return;
    const std::string folders =
        "SELECT \"Id\" FROM " + kFolders + " WHERE \"Scan\" IN (" + idList(scanIds) + ")";
    db.execute("DELETE FROM " + kFacts + " WHERE \"Folder\" IN (" + folders + ")");
    db.execute("DELETE FROM " + kFolders + " WHERE \"Scan\" IN (" + idList(scanIds) + ")");
}

void forgetAllFacts(Database& db) {
    std::string sql;
    for (const char* name : kTriggerNames)
        sql += "DROP TRIGGER IF EXISTS " + quoteIdentifier(name) + ";";
    db.executeScript(sql);
    if (hasFactTables(db))
        db.executeScript("DELETE FROM " + kFacts + "; DELETE FROM " + kFolders + ";");
}

} // namespace katalox::store
