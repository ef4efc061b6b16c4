// check: reads the catalogue file and tells, one line per check, whether the file is whole,
// whether the substring index and the recorded scans and facts agree with the records, and
// what would be repaired. It changes nothing.
#include "cli/Arguments.h"
#include "cli/CheckReport.h"
#include "cli/Commands.h"
#include "cli/Output.h"

#include "store/catalog/Catalog.h"
#include "store/catalog/RecordedDisks.h"
#include "store/facts/FactRuns.h"
#include "store/facts/FactTables.h"
#include "store/search/SearchIndex.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

#include <set>

namespace katalox::cli {

namespace {

bool tableExists(store::Database& db, const std::string& name) {
    return db.integerOf("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?1",
                        {store::Value(name)}) > 0;
}

void checkIntegrity(store::Database& db, Report& report, bool full) {
    store::Statement check = db.prepare(full ? "PRAGMA integrity_check" : "PRAGMA quick_check");
    std::vector<std::string> messages;
    while (check.step())
        messages.push_back(check.columnValue(0).asString());
    if (messages.size() == 1 && messages[0] == "ok") {
        report.ok(std::string("the file is whole (") + (full ? "integrity_check" : "quick_check") +
                  ")");
        return;
    }
    std::string text = "the file is damaged: " + (messages.empty() ? "" : messages[0]);
    if (messages.size() > 1)
        text +=
            " (and " +
            count(static_cast<std::int64_t>(messages.size() - 1), "more message", "more messages") +
            ")";
    report.problem(text, "what can be read would be copied into a new catalogue file; keep a copy "
                         "of this one and stop writing to it");
}

// The number of rows the FTS5 table `indexName` holds, from the totals it keeps in its data
// table (row 1: a varint row count, then the token totals); 0 before anything was indexed.
std::int64_t indexedRows(store::Database& db, const std::string& indexName) {
    store::Statement totals = db.prepare(
        "SELECT block FROM " + store::quoteIdentifier(indexName + "_data") + " WHERE id = 1");
    if (!totals.step())
        return 0;
    const store::Value block = totals.columnValue(0);
    const std::string* bytes = block.text();
    if (!bytes)
        return 0;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < bytes->size() && i < 9; ++i) {
        const auto byte = static_cast<unsigned char>((*bytes)[i]);
        if (i == 8)
            return static_cast<std::int64_t>((value << 8) | byte);
        value = (value << 7) | (byte & 0x7Fu);
        if (!(byte & 0x80u))
            break;
    }
    return static_cast<std::int64_t>(value);
}

void checkSearchIndex(store::Database& db, const std::string& table, Report& report, bool full) {
    const store::SearchIndexNames names(table);
    const store::IndexMark mark = store::searchIndexMark(db, table);
    if (!mark.present) {
        report.ok("there is no substring index (find reads every record; the program makes one "
                  "in the background when it opens the catalogue for writing)");
        return;
    }
    const std::string records = store::quoteIdentifier(table);
    const std::int64_t above = db.integerOf("SELECT count(*) FROM " + records + " WHERE rowid > ?1",
                                            {store::Value(mark.upTo)});
    const std::int64_t below = db.integerOf(
        "SELECT count(*) FROM " + records + " WHERE rowid <= ?1", {store::Value(mark.upTo)});
    if (above == 0)
        report.ok("the substring index covers every record (" + count(below, "record", "records") +
                  ")");
    else
        report.ok("the substring index covers " + count(below, "record", "records") + " up to Id " +
                  std::to_string(mark.upTo) + "; " +
                  count(above, "record above it is", "records above it are") +
                  " indexed in the background by the program, and found meanwhile "
                  "without the index");
    if (!store::hasSearchTriggers(db, table))
        report.problem("the triggers that keep the substring index in step with the records are "
                       "missing",
                       "the substring index would be made again");
    // Deleted records stay in the index until the program clears them in the background.
    const std::int64_t stale = db.integerOf("SELECT count(*) FROM " + names.stale);
    const std::int64_t rows = indexedRows(db, names.indexName);
    if (rows != below + stale)
        report.problem("the substring index holds " + count(rows, "record", "records") + " where " +
                           std::to_string(below + stale) + " are expected (" +
                           std::to_string(below) + " up to its mark, " + std::to_string(stale) +
                           " deleted and not yet cleared)",
                       "the substring index would be made again");
    else
        report.ok("the substring index holds " + count(rows, "record", "records") +
                  (stale > 0 ? " (" + count(stale, "deleted record", "deleted records") +
                                   " not yet cleared from it, which the program does in the "
                                   "background)"
                             : ""));
    if (!full)
        return;
    // The engine compares an index with its records too, so a full look waits for the index to
    // be complete; the tokens after dots hold no records of their own to compare with.
    std::vector<std::pair<std::string, std::string>> parts = {{names.dots, names.dotsName}};
    if (above == 0 && stale == 0)
        parts.insert(parts.begin(), {names.index, names.indexName});
    else
        report.ok("the full comparison of the substring index with the records waits until it "
                  "covers every record");
    for (const auto& [quotedName, name] : parts) {
        try {
            db.execute("INSERT INTO " + quotedName + "(" + store::quoteIdentifier(name) +
                       ") VALUES ('integrity-check')");
            report.ok("the index table " + name + " is whole (FTS5 integrity-check)");
        } catch (const EngineError& error) {
            report.problem("the index table " + name + " is damaged: " + error.what(),
                           "the substring index would be made again");
        }
    }
}

void checkScans(store::Database& db, const std::string& table, Report& report) {
    store::Statement any = db.prepare("SELECT EXISTS (SELECT 1 FROM " +
                                      store::quoteIdentifier(table) + " WHERE \"Disk ID\" = ?1)");
    checkRecordedScans(
        store::allRecordedScans(db),
        [&](const std::string& diskId) {
            any.reset();
            any.bindText(1, diskId);
            return !any.step() || any.columnInteger(0) != 0;
        },
        [](const store::RecordedScan& scan) {
            return "Update This Disk... or katalox-cli update " + shellWord(scan.diskId) +
                   " completes it";
        },
        report);
}

void checkFacts(store::Database& db, const std::string& table, Report& report) {
    if (!store::hasFactTables(db)) {
        report.ok("no file facts are kept");
        return;
    }
    const std::string records = store::quoteIdentifier(table);
    const std::string facts = store::quoteIdentifier(store::kFactsTable);
    const std::string folders = store::quoteIdentifier(store::kFoldersTable);
    const std::string dropped = store::quoteIdentifier(store::kDroppedTable);
    const std::int64_t covered = db.integerOf("SELECT coalesce(sum(\"Records\"), 0) FROM " + facts);
    const std::int64_t folderRows = db.integerOf("SELECT count(*) FROM " + folders);
    report.ok("file facts: " + count(covered, "file", "files") + " in " +
              count(folderRows, "folder", "folders"));
    bool triggers = true;
    for (const char* name : {"File Facts Deleted", "File Facts Moved", "File Facts Resized"})
        triggers = triggers &&
                   db.integerOf("SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND "
                                "name = ?1 AND tbl_name = ?2",
                                {store::Value(std::string(name)), store::Value(table)}) > 0;
    if (!triggers && covered > 0)
        report.problem("the triggers that keep the file facts in step with the records are "
                       "missing, so changes made to the records since are not followed",
                       "the triggers would be made again and the facts checked as below");
    // The records each run of facts covers that still exist.
    const std::string inRuns = " FROM " + facts + " AS f JOIN " + records +
                               " AS r ON r.rowid >= f.\"First Record\" AND r.rowid < "
                               "f.\"First Record\" + f.\"Records\"";
    // A record deleted while the triggers were there has its facts marked dropped; one deleted
    // without them left facts that look as if they applied.
    const std::int64_t gone =
        covered - db.integerOf("SELECT count(*)" + inRuns) -
        db.integerOf("SELECT count(*) FROM " + dropped + " AS d WHERE NOT EXISTS (SELECT 1 FROM " +
                     records + " WHERE rowid = d.\"Record\") AND " +
                     store::runHoldingSql("d.\"Record\"") + " IS NOT NULL");
    if (gone > 0)
        report.problem(count(gone, "file's facts belong", "files' facts belong") +
                           " to a record that is gone and are not marked dropped",
                       "they would be marked dropped and the folder totals counted again");
    const std::int64_t homeless = db.integerOf(
        "SELECT coalesce(sum(\"Records\"), 0) FROM " + facts + " WHERE NOT EXISTS (SELECT 1 FROM " +
        folders + " WHERE \"Id\" = " + facts + ".\"Folder\")");
    if (homeless > 0)
        report.problem(count(homeless, "file's facts name a folder", "files' facts name folders") +
                           " that is not recorded",
                       "those facts would be deleted; their records show their stored paths");
    const std::int64_t unscanned =
        tableExists(db, "Disks")
            ? db.integerOf("SELECT count(*) FROM " + folders +
                           " WHERE NOT EXISTS (SELECT 1 FROM Disks WHERE Disks.\"Id\" = " +
                           folders + ".\"Scan\")")
            : folderRows;
    if (unscanned > 0)
        report.problem(count(unscanned, "folder row belongs", "folder rows belong") +
                           " to a scan that is no longer recorded",
                       "they would be deleted with the facts of their files");
    // Each folder's own files and bytes, counted from the records its facts still apply to.
    const std::int64_t wrong = db.integerOf(
        "SELECT count(*) FROM " + folders +
        " AS d LEFT JOIN (SELECT f.\"Folder\" AS folder, count(*) AS files, "
        "coalesce(sum(r.\"File Size\"), 0) AS bytes" +
        inRuns + " WHERE NOT EXISTS (SELECT 1 FROM " + dropped +
        " WHERE \"Record\" = r.rowid) GROUP BY f.\"Folder\") AS c ON c.folder = d.\"Id\" "
        "WHERE d.\"Files\" IS NOT coalesce(c.files, 0) OR d.\"Bytes\" IS NOT "
        "coalesce(c.bytes, 0)");
    if (wrong > 0)
        report.problem(count(wrong, "folder's totals differ", "folders' totals differ") +
                           " from its files' records",
                       "the folder totals would be counted again");
    if (gone == 0 && homeless == 0 && unscanned == 0 && wrong == 0)
        report.ok("the file facts and folder totals agree with the records");
}

} // namespace

int runCheck(store::Catalog& catalog, const Words& words) {
    const Arguments args(words, {{"--full", false}});
    if (!args.words().empty())
        throw UsageError("check takes no arguments besides --full");
    const bool full = args.has("--full");
    store::Database& db = catalog.database();
    // The program's own background work on the index would move what is compared.
    db.pauseUpkeep();
    Report report;
    checkIntegrity(db, report, full);
    // One snapshot of the file for every comparison, whatever other programs write meanwhile
    // (the indexer scan and update leave behind, say).
    db.execute("BEGIN");
    try {
        checkSearchIndex(db, catalog.table(), report, full);
        checkScans(db, catalog.table(), report);
        checkFacts(db, catalog.table(), report);
    } catch (...) {
        db.rollbackOpenTransaction();
        throw;
    }
    db.execute("COMMIT");
    return report.problems() ? 1 : 0;
}

} // namespace katalox::cli
