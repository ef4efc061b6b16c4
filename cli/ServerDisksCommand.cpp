// disks on a catalogue on a PostgreSQL server: each Disk ID with its records and their sizes,
// the volume and time of its last recorded scan, and where it is mounted on this machine now.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/DiskLines.h"
#include "cli/Output.h"

#include "store/catalog/Catalog.h"
#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgDisks.h"
#include "store/postgres/PgRecords.h"

#include <map>

namespace katalox::cli {

int runDisksOnServer(const std::string& uri, const Words& words) {
    const Arguments args(words, {{"--json", false}});
    if (!args.words().empty())
        throw UsageError("disks takes no arguments");
    const bool json = args.has("--json");
    store::PgConnection db(uri);
    store::checkCatalogue(db, uri);
    const std::vector<store::PgDiskTotals> disks = store::diskTotals(db, store::kPgCatalogueTable);
    const std::vector<store::DiskPresence> presences =
        store::presenceOf(store::serverScans(db, store::kPgCatalogueTable));
    std::map<std::string, const store::DiskPresence*> byId;
    for (const store::DiskPresence& presence : presences)
        byId[presence.diskId] = &presence;
    Output out;
    std::string& text = out.buffer();
    if (json)
        text += "[";
    for (std::size_t i = 0; i < disks.size(); ++i) {
        DiskLine line;
        line.diskId = disks[i].diskId;
        line.files = disks[i].files;
        line.bytes = disks[i].bytes;
        if (const auto found = byId.find(line.diskId); found != byId.end()) {
            const store::RecordedScan& last = found->second->scans.back();
            line.volume = last.volume;
            line.scannedAt = last.scannedAt;
            line.mountedAt = found->second->mountedAt.value_or("");
        }
        appendDiskLine(text, line, json, i == 0);
        out.resultDone();
    }
    if (json)
        text += disks.empty() ? "]\n" : "\n]\n";
    return 0;
}

} // namespace katalox::cli
