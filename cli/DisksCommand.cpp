// disks: every Disk ID, its volume, its size at the last scan and where it is now.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Output.h"

#include "store/catalog/Catalog.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

#include <map>

namespace katalox::cli {

namespace {

struct DiskLine {
    std::string diskId;
    const store::DiskPresence* presence = nullptr;
    std::int64_t files = 0;
    std::int64_t bytes = 0;
};

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

void appendField(std::string& out, const std::string& name, const std::string& value, bool json) {
    if (!json) {
        out.append(value.empty() ? "-" : value).push_back('\t');
        return;
    }
    out.append(",\"").append(name).append("\":");
    appendJson(out, value);
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
        std::int64_t files = 0, bytes = 0;
        platform::VolumeFacts volume;
        std::string scannedAt;
        if (presence) {
            // The totals of the last scans; a Disk ID without one is counted.
            for (const store::RecordedScan& scan : presence->scans) {
                files += scan.recordCount;
                bytes += scan.totalSize;
            }
            volume = presence->scans.back().volume;
            scannedAt = presence->scans.back().scannedAt;
        } else {
            store::Statement count = catalog.database().prepare(
                "SELECT count(*), total(\"File Size\") FROM " +
                store::quoteIdentifier(catalog.table()) + " WHERE \"Disk ID\" = ?1");
            count.bindText(1, diskId);
            count.step();
            files = count.columnInteger(0);
            bytes = static_cast<std::int64_t>(count.columnValue(1).asInteger());
        }
        const std::string where = presence && presence->mountedAt ? *presence->mountedAt : "";
        if (json) {
            text += first ? "\n{\"disk\":" : ",\n{\"disk\":";
            appendJson(text, diskId);
        } else {
            text.append(diskId).push_back('\t');
        }
        appendField(text, "label", volume.label, json);
        appendField(text, "uuid", volume.uuid, json);
        appendField(text, "file_system", volume.type, json);
        if (json) {
            text += ",\"files\":" + std::to_string(files) + ",\"bytes\":" + std::to_string(bytes);
            appendField(text, "last_scan", scannedAt, true);
            text += std::string(",\"connected\":") + (where.empty() ? "false" : "true");
            text += ",\"mounted_at\":";
            where.empty() ? void(text += "null") : appendJson(text, where);
            text += "}";
        } else {
            text += std::to_string(files) + "\t" + std::to_string(bytes) + "\t";
            text += (scannedAt.empty() ? "-" : scannedAt) + "\t" + (where.empty() ? "-" : where);
            text += "\n";
        }
        first = false;
        out.resultDone();
    }
    if (json)
        text += first ? "]\n" : "\n]\n";
    return 0;
}

} // namespace katalox::cli
