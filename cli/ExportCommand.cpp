// export: every record (of one Disk ID, or all) as CSV or JSON with the fields of find, or as
// one self-contained HTML page listing each disk folder by folder, to print or to put in a
// disk's sleeve. Everything is written as it is read.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/FoundRecords.h"
#include "cli/HtmlPage.h"
#include "cli/Output.h"

#include "platform/Paths.h"
#include "platform/Utf8.h"
#include "store/catalog/Catalog.h"
#include "store/facts/FactRuns.h"
#include "store/facts/FactTables.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

#include <cstdio>
#include <map>
#include <optional>

namespace katalox::cli {

namespace {

const std::vector<OptionSpec> kExportOptions = {
    {"--disk", true}, {"--csv", false}, {"--json", false}, {"--html", false}};

const char* const kRecordColumns =
    "rowid, \"Disk ID\", \"File Path\", \"File Name\", \"File Size\"";

// The record on `row`, whose first columns are kRecordColumns, with its facts.
void readRecord(store::Statement& row, RecordFacts& facts, FoundRecord& record) {
    record.id = row.columnInteger(0);
    record.diskId = row.columnValue(1).asString();
    record.storedPath = row.columnValue(2).asString();
    record.upperName = row.columnValue(3).asString();
    record.size = row.columnInteger(4);
    record.facts = facts.of(record);
    record.livePath.reset();
}

// CSV or JSON, in the order the records were added.
std::int64_t exportRecords(store::Catalog& catalog, const std::optional<std::string>& disk,
                           RecordFormat format) {
    store::Database& db = catalog.database();
    store::Statement rows = db.prepare(std::string("SELECT ") + kRecordColumns + " FROM " +
                                       store::quoteIdentifier(catalog.table()) +
                                       (disk ? " WHERE \"Disk ID\" = ?1" : "") + " ORDER BY rowid");
    if (disk)
        rows.bindText(1, *disk);
    const ConnectedScans connected(db);
    RecordFacts facts(db, catalog.table());
    Output out;
    RecordWriter writer(out, format);
    std::int64_t written = 0;
    FoundRecord record;
    while (rows.step()) {
        readRecord(rows, facts, record);
        if (record.facts)
            record.livePath = connected.livePath(*record.facts);
        writer.write(record);
        ++written;
    }
    return written;
}

// The last recorded scan of each Disk ID, for its volume's facts.
std::map<std::string, store::RecordedScan> lastScans(store::Catalog& catalog) {
    std::map<std::string, store::RecordedScan> scans;
    for (const store::DiskPresence& presence : catalog.disks())
        if (!presence.scans.empty())
            scans[presence.diskId] = presence.scans.back();
    return scans;
}

std::int64_t exportPage(store::Catalog& catalog, const std::optional<std::string>& disk) {
    store::Database& db = catalog.database();
    const std::string table = store::quoteIdentifier(catalog.table());
    const std::string where = disk ? " WHERE \"Disk ID\" = ?1" : "";
    std::vector<store::Value> diskIds;
    {
        store::Statement ids =
            db.prepare("SELECT DISTINCT \"Disk ID\" FROM " + table + where + " ORDER BY 1");
        if (disk)
            ids.bindText(1, *disk);
        while (ids.step())
            diskIds.push_back(ids.columnValue(0));
    }
    // rtrim() with every character of the path but the separator leaves its folder. The
    // folders are counted as a window over the sorted records, so nothing is read twice; the
    // folder of a record's facts tells apart folders whose names differ only in letter case.
    const std::string factsFolder =
        store::hasFactTables(db)
            ? "CASE WHEN " + store::factsDroppedSql("r.rowid") + " THEN NULL ELSE (SELECT " +
                  "\"Folder\" FROM " + store::quoteIdentifier(store::kFactsTable) +
                  " WHERE \"First Record\" = " + store::runHoldingSql("r.rowid") + ") END"
            : std::string("NULL");
    store::Statement rows = db.prepare(
        "SELECT id, \"Disk ID\", \"File Path\", \"File Name\", \"File Size\", folder, "
        "factsFolder, count(*) OVER folders, coalesce(sum(\"File Size\") OVER folders, 0) "
        "FROM (SELECT r.rowid AS id, r.\"Disk ID\", r.\"File Path\", r.\"File Name\", "
        "r.\"File Size\", rtrim(r.\"File Path\", replace(r.\"File Path\", '/', '')) AS "
        "folder, " +
        factsFolder + " AS factsFolder FROM " + table + " AS r" +
        (disk ? " WHERE r.\"Disk ID\" = ?1" : "") +
        ") WINDOW folders AS (PARTITION BY \"Disk ID\", folder, factsFolder) "
        "ORDER BY \"Disk ID\", folder, factsFolder, \"File Path\", id");
    if (disk)
        rows.bindText(1, *disk);
    RecordFacts facts(db, catalog.table());
    Output out;
    HtmlPage page(out, lastScans(catalog), [&](const store::Value& diskId) {
        store::Statement total =
            db.prepare("SELECT count(*), coalesce(sum(\"File Size\"), 0) FROM " + table +
                       " WHERE \"Disk ID\" IS ?1");
        total.bind(1, diskId);
        total.step();
        return std::pair(total.columnInteger(0), total.columnValue(1).asInteger());
    });
    page.begin(diskIds);
    std::int64_t written = 0;
    FoundRecord record;
    while (rows.step()) {
        readRecord(rows, facts, record);
        page.add(rows.columnValue(1), record, {rows.columnValue(5).asString(), rows.columnValue(6)},
                 rows.columnInteger(7), rows.columnValue(8).asInteger());
        ++written;
    }
    page.end();
    return written;
}

} // namespace

ExportRequest exportRequestOf(const Words& words) {
    const Arguments args(words, kExportOptions);
    if (!args.words().empty())
        throw UsageError("export takes no words besides its options (\"" + args.words()[0] + "\")");
    const int formats =
        (args.has("--csv") ? 1 : 0) + (args.has("--json") ? 1 : 0) + (args.has("--html") ? 1 : 0);
    if (formats != 1)
        throw UsageError("export needs exactly one of --csv, --json and --html");
    using Form = ExportRequest::Form;
    return {args.value("--disk"), args.has("--html")  ? Form::Html
                                  : args.has("--csv") ? Form::Csv
                                                      : Form::Json};
}

int runExport(store::Catalog& catalog, const Words& words) {
    const ExportRequest request = exportRequestOf(words);
    const std::int64_t written =
        request.form == ExportRequest::Form::Html
            ? exportPage(catalog, request.disk)
            : exportRecords(catalog, request.disk,
                            request.form == ExportRequest::Form::Csv ? RecordFormat::Csv
                                                                     : RecordFormat::Json);
    return written > 0 ? 0 : 1;
}

} // namespace katalox::cli
