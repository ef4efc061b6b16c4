#include "store/facts/FactTables.h"

#include "store/facts/FactRuns.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

namespace katalox::store {

namespace {

const std::string kFolders = quoteIdentifier(kFoldersTable);
const std::string kFacts = quoteIdentifier(kFactsTable);
const std::string kDropped = quoteIdentifier(kDroppedTable);

// "Files" and "Bytes" count only the files directly in the folder. A run covers the records
// "First Record" to "First Record" + "Records" - 1.
const std::string kCreateTables =
    "CREATE TABLE IF NOT EXISTS " + kFolders +
    " (\"Id\" INTEGER PRIMARY KEY, \"Scan\" INTEGER, \"Parent\" INTEGER, \"Name\" TEXT,"
    " \"Files\" INTEGER, \"Bytes\" INTEGER);"
    "CREATE INDEX IF NOT EXISTS \"Disk Folders Scan\" ON " +
    kFolders +
    " (\"Scan\");"
    "CREATE TABLE IF NOT EXISTS " +
    kFacts +
    " (\"First Record\" INTEGER PRIMARY KEY, \"Records\" INTEGER, \"Folder\" INTEGER,"
    " \"Names\" BLOB, \"Times\" BLOB);"
    "CREATE INDEX IF NOT EXISTS \"File Facts Folder\" ON " +
    kFacts +
    " (\"Folder\");"
    "CREATE TABLE IF NOT EXISTS " +
    kDropped + " (\"Record\" INTEGER PRIMARY KEY);";

const char* const kTriggerNames[] = {"File Facts Deleted", "File Facts Moved",
                                     "File Facts Resized"};

// The folder of the run holding `record`.
std::string folderOfRun(const std::string& record) {
    return "(SELECT \"Folder\" FROM " + kFacts +
           " WHERE \"First Record\" = " + runHoldingSql(record) + ")";
}

// Whether `record` has facts that still apply.
std::string hasFacts(const std::string& record) {
    return " WHEN " + runHoldingSql(record) + " IS NOT NULL AND NOT " + factsDroppedSql(record);
}

// A record deleted or given another name or path loses its facts, and its folder the file.
std::string dropFactsOf(const std::string& old) {
    return "UPDATE " + kFolders + " SET \"Files\" = \"Files\" - 1, \"Bytes\" = \"Bytes\" - " +
           "coalesce(" + old + ".\"File Size\", 0) WHERE \"Id\" = " + folderOfRun(old + ".rowid") +
           "; INSERT OR IGNORE INTO " + kDropped + " VALUES (" + old + ".rowid);";
}

std::string createTriggersSql(const std::string& table) {
    const std::string on = " ON " + quoteIdentifier(table);
    return "CREATE TRIGGER IF NOT EXISTS " + quoteIdentifier(kTriggerNames[0]) + " AFTER DELETE" +
           on + hasFacts("old.rowid") + " BEGIN " + dropFactsOf("old") +
           " END;"
           "CREATE TRIGGER IF NOT EXISTS " +
           quoteIdentifier(kTriggerNames[1]) + " AFTER UPDATE OF \"File Name\", \"File Path\"" +
           on + hasFacts("old.rowid") +
           " AND (old.\"File Name\" IS NOT new.\"File Name\" OR old.\"File Path\" IS NOT "
           "new.\"File Path\") BEGIN " +
           dropFactsOf("old") +
           " END;"
           "CREATE TRIGGER IF NOT EXISTS " +
           quoteIdentifier(kTriggerNames[2]) + " AFTER UPDATE OF \"File Size\"" + on +
           hasFacts("new.rowid") + " AND old.\"File Size\" IS NOT new.\"File Size\" BEGIN UPDATE " +
           kFolders +
           " SET \"Bytes\" = \"Bytes\" - coalesce(old.\"File Size\", 0) + coalesce(new.\"File "
           "Size\", 0) WHERE \"Id\" = " +
           folderOfRun("new.rowid") + "; END;";
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
           catalogueTable != kDroppedTable && catalogueTable != "Disks";
}

bool hasFactTables(Database& db) {
    return db.integerOf("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                        "(?1, ?2, ?3)",
                        {Value(std::string(kFoldersTable)), Value(std::string(kFactsTable)),
                         Value(std::string(kDroppedTable))}) == 3;
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
    const std::string runs = "SELECT \"First Record\" AS first, \"First Record\" + "
                             "\"Records\" AS past FROM " +
                             kFacts + " WHERE \"Folder\" IN (" + folders + ")";
    // The marks of the records of these runs go with them.
    db.execute("DELETE FROM " + kDropped + " WHERE EXISTS (SELECT 1 FROM (" + runs +
               ") AS run WHERE " + kDropped + ".\"Record\" >= run.first AND " + kDropped +
               ".\"Record\" < run.past)");
    db.execute("DELETE FROM " + kFacts + " WHERE \"Folder\" IN (" + folders + ")");
    db.execute("DELETE FROM " + kFolders + " WHERE \"Scan\" IN (" + idList(scanIds) + ")");
}

void forgetAllFacts(Database& db) {
    std::string sql;
    for (const char* name : kTriggerNames)
        sql += "DROP TRIGGER IF EXISTS " + quoteIdentifier(name) + ";";
    db.executeScript(sql);
    if (hasFactTables(db))
        db.executeScript("DELETE FROM " + kFacts + "; DELETE FROM " + kFolders + "; DELETE FROM " +
                         kDropped + ";");
}

} // namespace katalox::store
