// disks: every Disk ID, its volume, its size at the last scan and where it is now.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/DiskLines.h"
#include "cli/Output.h"

#include "store/catalog/Catalog.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

#include <map>

namespace katalox::cli {

namespace {

// Every Disk ID in order, from the index, one step per Disk ID (not per record).
std::vector<std::string> diskIds(store::Database& db, const std::string& table) {
    std::vector<std::string> ids;
    store::Statement next = db.prepare("SELECT \"Disk ID\" FROM " + store::quoteIdentifier(table) +
                                       " WHERE \"Disk ID\" > ?1 ORDER BY \"Disk ID\" LIMIT 1");
    next.bindText(1, "");
    // A Disk ID of "" or NULL is listed first when there is one.
    if (db.integerOf("SELECT count(*) FROM (SELECT 1 FROM " + store::quoteIdentifier(table) +
                     " WHERE \"Disk ID\" = '' LIMIT 1)") > 0)
        ids.emplace_back();
    while (next.step()) {
        ids.push_back(next.columnValue(0).asString());
        next.reset();
        next.bindText(1, ids.back());
    }
    return ids;
}

} // namespace

int runDisks(store::Catalog& catalog, const Words& words) {
    const Arguments args(words, {{"--json", false}});
    if (!args.words().empty())
        throw UsageError("disks takes no arguments");
    const bool json = args.has("--json");
    const std::vector<store::DiskPresence> presences = catalog.disks();
    std::map<std::string, const store::DiskPresence*> byId;
    for (const store::DiskPresence& presence : presences)
        byId[presence.diskId] = &presence;
    Output out;
    std::string& text = out.buffer();
    if (json)
        text += "[";
    bool first = true;
    for (const std::string& diskId : diskIds(catalog.database(), catalog.table())) {
        const auto found = byId.find(diskId);
        const store::DiskPresence* presence = found == byId.end() ? nullptr : found->second;
        DiskLine line;
        line.diskId = diskId;
        if (presence) {
            // The totals of the last scans; a Disk ID without one is counted.
            for (const store::RecordedScan& scan : presence->scans) {
                line.files += scan.recordCount;
                line.bytes += scan.totalSize;
            }
            line.volume = presence->scans.back().volume;
            line.scannedAt = presence->scans.back().scannedAt;
            line.mountedAt = presence->mountedAt.value_or("");
        } else {
            store::Statement count = catalog.database().prepare(
                "SELECT count(*), total(\"File Size\") FROM " +
                store::quoteIdentifier(catalog.table()) + " WHERE \"Disk ID\" = ?1");
            count.bindText(1, diskId);
            count.step();
            line.files = count.columnInteger(0);
            line.bytes = static_cast<std::int64_t>(count.columnValue(1).asInteger());
        }
        appendDiskLine(text, line, json, first);
        first = false;
        out.resultDone();
    }
    if (json)
        text += first ? "]\n" : "\n]\n";
    return 0;
}

} // namespace katalox::cli
