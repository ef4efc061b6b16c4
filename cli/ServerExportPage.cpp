// export --html on a catalogue on a PostgreSQL server: the server sorts the records by Disk ID
// and folder and counts each folder's files and bytes; the page is written as the rows come.
#include "cli/HtmlPage.h"
#include "cli/ServerRecords.h"

#include "store/postgres/PgConnection.h"
#include "store/postgres/PgDisks.h"
#include "store/postgres/PgListing.h"
#include "store/postgres/PgRecords.h"
#include "store/postgres/PgText.h"
#include "store/sqlite/SqlText.h"

namespace katalox::cli {

namespace {

// A record's folder: its path up to its last separator, which it keeps; "" for a path without
// one. A record without a Disk ID is listed under "", as the disk totals count it.
const char* const kSortedRecords =
    "SELECT \"Id\", coalesce(\"Disk ID\", ''), \"File Path\", \"File Name\", \"File Size\","
    " folder, count(*) OVER folders, coalesce(sum(\"File Size\") OVER folders, 0)"
    " FROM (SELECT *, CASE WHEN strpos(\"File Path\", '/') = 0 THEN '' ELSE left(\"File Path\","
    " length(\"File Path\") - strpos(reverse(\"File Path\"), '/') + 1) END AS folder FROM ";

std::map<std::string, store::RecordedScan> lastServerScans(store::PgConnection& db,
                                                           const std::string& table) {
    std::map<std::string, store::RecordedScan> scans;
    for (store::RecordedScan& scan : store::serverScans(db, table))
        scans[scan.diskId] = std::move(scan); // oldest first: the last one stays
    return scans;
}

} // namespace

std::int64_t exportPageFromServer(store::PgConnection& db, const std::string& table,
                                  const std::optional<std::string>& disk) {
    std::vector<store::Value> diskIds;
    std::map<std::string, std::pair<std::int64_t, std::int64_t>> totals;
    for (const store::PgDiskTotals& total : store::diskTotals(db, table)) {
        if (disk && total.diskId != *disk)
            continue;
        diskIds.emplace_back(total.diskId);
        totals[total.diskId] = {total.files, total.bytes};
    }
    const std::string sql =
        kSortedRecords + store::quoteIdentifier(table) + (disk ? " WHERE \"Disk ID\" = $1" : "") +
        ") AS r WINDOW folders AS (PARTITION BY coalesce(\"Disk ID\", ''), folder) ORDER BY"
        " coalesce(\"Disk ID\", '')"
        " COLLATE \"C\", folder COLLATE \"C\", \"File Path\" COLLATE \"C\", \"Id\"";
    std::vector<store::PgParameter> parameters;
    if (disk)
        parameters.emplace_back(store::toServerText(*disk));
    store::PgListing rows(db, sql, parameters);
    Output out;
    HtmlPage page(out, lastServerScans(db, table),
                  [&](const store::Value& diskId) { return totals[diskId.asString()]; });
    page.begin(diskIds);
    std::int64_t written = 0;
    FoundRecord record;
    while (rows.next()) {
        readServerRecord(rows, record);
        page.add(store::Value(record.diskId), record,
                 {store::fromServerText(rows.text(5)), store::Value()}, rows.integer(6),
                 rows.integer(7));
        ++written;
    }
    page.end();
    return written;
}

} // namespace katalox::cli
