// check on a catalogue on a PostgreSQL server: its layout, whether the server's indexes on the
// records are usable, and whether the recorded scans agree with the records. The server keeps
// its own pages whole; nothing is changed.
#include "cli/Arguments.h"
#include "cli/CheckReport.h"
#include "cli/Commands.h"

#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgDisks.h"
#include "store/postgres/PgText.h"
#include "store/sqlite/SqlText.h"

namespace katalox::cli {

int runCheckOnServer(const std::string& uri, const Words& words) {
    const Arguments args(words, {{"--full", false}});
    if (!args.words().empty())
        throw UsageError("check takes no arguments besides --full");
    const std::string table = store::kPgCatalogueTable;
    store::PgConnection db(uri);
    store::checkCatalogue(db, uri, table);
    Report report;
    report.ok("the catalogue table \"" + table + "\" has the layout of version " +
              std::to_string(store::kPgSchemaVersion));
    // One snapshot for every comparison, whatever other programs write meanwhile.
    store::PgTransaction snapshot(db);
    db.execute("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ READ ONLY");
    // An index left invalid by a CREATE INDEX CONCURRENTLY that failed serves no search.
    const store::PgResult indexes =
        db.execute("SELECT c.relname, i.indisvalid FROM pg_index i JOIN pg_class c ON c.oid = "
                   "i.indexrelid WHERE i.indrelid = $1::regclass ORDER BY c.relname",
                   {store::quoteIdentifier(table)});
    int valid = 0;
    for (int row = 0; row < indexes.rows(); ++row) {
        if (indexes.text(row, 1) == "t")
            ++valid;
        else
            report.problem("the index \"" + indexes.text(row, 0) + "\" cannot be used",
                           "REINDEX INDEX on the server rebuilds it");
    }
    report.ok(count(valid, "index", "indexes") + " of \"" + table + "\" can be used");
    report.ok(
        count(db.execute("SELECT count(*) FROM " + store::quoteIdentifier(table)).integer(0, 0),
              "record", "records"));
    const std::string any = "SELECT EXISTS (SELECT 1 FROM " + store::quoteIdentifier(table) +
                            " WHERE \"Disk ID\" = $1)";
    checkRecordedScans(
        store::serverScans(db, table),
        [&](const std::string& diskId) {
            return db.execute(any, {store::toServerText(diskId)}).text(0, 0) == "t";
        },
        [](const store::RecordedScan& scan) {
            return "scanning the disk again under " + shellWord(scan.diskId) +
                   " after deleting it records it whole";
        },
        report);
    return report.problems() ? 1 : 0;
}

} // namespace katalox::cli
