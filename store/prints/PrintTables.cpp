#include "store/prints/PrintTables.h"

#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

namespace katalox::store {

namespace {

const std::string kRuns = quoteIdentifier(kPrintRunsTable);
const std::string kPrints = quoteIdentifier(kFilePrintsTable);
const std::string kGroups = quoteIdentifier(kCopyGroupsTable);
const std::string kVerified = quoteIdentifier(kVerifiedTable);
const std::string kChecks = quoteIdentifier(kDiskChecksTable);
const std::string kFindings = quoteIdentifier(kVerifyFindingsTable);

const char* const kTriggerNames[] = {"File Prints Deleted", "File Prints Changed",
                                     "Copy Groups Shrunk"};
// Counted groups row by row as prints came; the writer now counts them once per batch.
const char* const kFormerGroupTrigger = "Copy Groups Grown";

const std::string kCreateTables =
    "CREATE TABLE IF NOT EXISTS " + kRuns +
    " (\"First Record\" INTEGER PRIMARY KEY, \"Records\" INTEGER, \"Prints\" BLOB);"
    "CREATE TABLE IF NOT EXISTS " +
    kPrints +
    " (\"Print\" BLOB NOT NULL, \"Record\" INTEGER NOT NULL, PRIMARY KEY (\"Print\", "
    "\"Record\")) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS " +
    kGroups +
    " (\"Print\" BLOB PRIMARY KEY, \"Copies\" INTEGER, \"Size\" INTEGER) WITHOUT ROWID;"
    "CREATE INDEX IF NOT EXISTS \"Copy Groups Waste\" ON " +
    kGroups +
    " ((\"Size\" * (\"Copies\" - 1)));"
    "CREATE TABLE IF NOT EXISTS " +
    kVerified +
    " (\"Record\" INTEGER PRIMARY KEY, \"Hash\" BLOB, \"Checked\" INTEGER);"
    "CREATE TABLE IF NOT EXISTS " +
    kChecks +
    " (\"Disk ID\" TEXT PRIMARY KEY, \"Started\" INTEGER, \"Finished\" INTEGER, \"Files\" "
    "INTEGER, \"Changed\" INTEGER, \"Gone\" INTEGER, \"Unreadable\" INTEGER, \"Protected Bytes\" "
    "INTEGER, \"Known Bytes\" INTEGER);"
    "CREATE TABLE IF NOT EXISTS " +
    kFindings + " (\"Record\" INTEGER PRIMARY KEY, \"Finding\" INTEGER, \"Checked\" INTEGER);";

std::string runHolding(const std::string& record) {
    return "(SELECT max(\"First Record\") FROM " + kRuns + " WHERE \"First Record\" <= " + record +
           ")";
}

// The record's slot in its run emptied, its index row and whole hash removed.
std::string clearPrintsOf(const std::string& record) {
    const std::string offset = "(" + record + " - \"First Record\") * 16";
    return "DELETE FROM " + kPrints + " WHERE \"Print\" = substr(" + runPrintSql(record) +
           ", 1, 8) AND \"Record\" = " + record + "; UPDATE " + kRuns +
           " SET \"Prints\" = CAST(substr(\"Prints\", 1, " + offset + ") || zeroblob(16) || " +
           "substr(\"Prints\", " + offset +
           " + 17) AS BLOB) WHERE \"First Record\" = " + runHolding(record) +
           " AND \"First Record\" + \"Records\" > " + record + "; DELETE FROM " + kVerified +
           " WHERE \"Record\" = " + record + "; DELETE FROM " + kFindings +
           " WHERE \"Record\" = " + record + ";";
}

std::string hasPrint(const std::string& record) {
    return " WHEN " + runPrintSql(record) + " IS NOT NULL OR EXISTS (SELECT 1 FROM " + kVerified +
           " WHERE \"Record\" = " + record + ")";
}

std::string createTriggersSql(const std::string& table) {
    const std::string on = " ON " + quoteIdentifier(table);
    return "CREATE TRIGGER IF NOT EXISTS " + quoteIdentifier(kTriggerNames[0]) + " AFTER DELETE" +
           on + hasPrint("old.rowid") + " BEGIN " + clearPrintsOf("old.rowid") +
           " END;"
           "CREATE TRIGGER IF NOT EXISTS " +
           quoteIdentifier(kTriggerNames[1]) +
           " AFTER UPDATE OF \"File Name\", \"File Path\", \"File Size\"" + on +
           hasPrint("old.rowid") +
           " AND (old.\"File Name\" IS NOT new.\"File Name\" OR old.\"File Path\" IS NOT "
           "new.\"File Path\" OR old.\"File Size\" IS NOT new.\"File Size\") BEGIN " +
           clearPrintsOf("old.rowid") +
           " END;"
           "CREATE TRIGGER IF NOT EXISTS " +
           quoteIdentifier(kTriggerNames[2]) + " AFTER DELETE ON " + kPrints + " BEGIN UPDATE " +
           kGroups +
           " SET \"Copies\" = \"Copies\" - 1 WHERE \"Print\" = old.\"Print\"; DELETE FROM " +
           kGroups + " WHERE \"Print\" = old.\"Print\" AND \"Copies\" < 2; END;";
}

} // namespace

bool keepsPrints(const std::string& catalogueTable) {
    for (const char* name : {kPrintRunsTable, kFilePrintsTable, kCopyGroupsTable, kVerifiedTable,
                             kDiskChecksTable, kVerifyFindingsTable})
        if (catalogueTable == name)
            return false;
    return true;
}

bool hasPrintTables(Database& db) {
    return db.integerOf("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                        "(?1, ?2, ?3, ?4, ?5)",
                        {Value(std::string(kPrintRunsTable)), Value(std::string(kFilePrintsTable)),
                         Value(std::string(kCopyGroupsTable)), Value(std::string(kVerifiedTable)),
                         Value(std::string(kDiskChecksTable))}) == 5;
}

bool hasFindingsTable(Database& db) {
    return db.integerOf("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?1",
                        {Value(std::string(kVerifyFindingsTable))}) > 0;
}

void preparePrintTables(Database& db, const std::string& table) {
    const bool triggersMade =
        db.integerOf("SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND name = ?1",
                     {Value(std::string(kTriggerNames[0]))}) > 0;
    const bool formerTrigger =
        db.integerOf("SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND name = ?1",
                     {Value(std::string(kFormerGroupTrigger))}) > 0;
    if (!triggersMade || formerTrigger || !hasPrintTables(db) || !hasFindingsTable(db))
        db.executeScript("BEGIN; DROP TRIGGER IF EXISTS " + quoteIdentifier(kFormerGroupTrigger) +
                         ";" + kCreateTables + createTriggersSql(table) + "COMMIT;");
}

std::string runPrintSql(const std::string& record) {
    return "(SELECT nullif(substr(\"Prints\", (" + record +
           " - \"First Record\") * 16 + 1, 16), zeroblob(16)) FROM " + kRuns +
           " WHERE \"First Record\" = " + runHolding(record) + " AND \"First Record\" + " +
           "\"Records\" > " + record + ")";
}

void forgetDiskPrints(Database& db, const std::string& table, const std::string& diskId) {
    if (!hasPrintTables(db))
        return;
    const std::string records =
        "SELECT rowid FROM " + quoteIdentifier(table) + " WHERE \"Disk ID\" = ?1";
    const std::vector<Value> disk{Value(diskId)};
    // Index rows are found by their print, which only the runs tell: read before they go.
    db.execute("DELETE FROM " + kPrints + " WHERE (\"Print\", \"Record\") IN (SELECT substr(" +
                   runPrintSql("r.rowid") + ", 1, 8), r.rowid FROM " + quoteIdentifier(table) +
                   " r WHERE r.\"Disk ID\" = ?1)",
               disk);
    db.execute("DELETE FROM " + kRuns + " WHERE \"First Record\" IN (" + records + ")", disk);
    db.execute("DELETE FROM " + kVerified + " WHERE \"Record\" IN (" + records + ")", disk);
    if (hasFindingsTable(db))
        db.execute("DELETE FROM " + kFindings + " WHERE \"Record\" IN (" + records + ")", disk);
    db.execute("DELETE FROM " + kChecks + " WHERE \"Disk ID\" = ?1", disk);
}

void renameDiskChecks(Database& db, const std::string& table, const std::string& diskId,
                      const std::string& newName) {
    if (!hasPrintTables(db) || diskId == newName)
        return;
    // Merged with another disk's records, neither verification covers the whole any more.
    const bool merging =
        db.integerOf("SELECT count(*) FROM (SELECT 1 FROM " + quoteIdentifier(table) +
                         " WHERE \"Disk ID\" = ?1 LIMIT 1)",
                     {Value(newName)}) > 0;
    db.execute("DELETE FROM " + kChecks + " WHERE \"Disk ID\" = ?1", {Value(newName)});
    if (merging)
        db.execute("DELETE FROM " + kChecks + " WHERE \"Disk ID\" = ?1", {Value(diskId)});
    else
        db.execute("UPDATE " + kChecks + " SET \"Disk ID\" = ?2 WHERE \"Disk ID\" = ?1",
                   {Value(diskId), Value(newName)});
}

void forgetAllPrints(Database& db) {
    std::string sql;
    for (const char* name : kTriggerNames)
        sql += "DROP TRIGGER IF EXISTS " + quoteIdentifier(name) + ";";
    sql += "DROP TRIGGER IF EXISTS " + quoteIdentifier(kFormerGroupTrigger) + ";";
    db.executeScript(sql);
    if (hasPrintTables(db))
        db.executeScript("DELETE FROM " + kRuns + "; DELETE FROM " + kPrints + "; DELETE FROM " +
                         kGroups + "; DELETE FROM " + kVerified + "; DELETE FROM " + kChecks + ";");
    if (hasFindingsTable(db))
        db.execute("DELETE FROM " + kFindings);
}

} // namespace katalox::store
