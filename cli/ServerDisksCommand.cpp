// disks on a catalogue on a PostgreSQL server: each Disk ID with its records and their sizes.
// The server records no volumes or scans yet, so those fields stay empty.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/DiskLines.h"
#include "cli/Output.h"

#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgRecords.h"

namespace katalox::cli {

int runDisksOnServer(const std::string& uri, const Words& words) {
    const Arguments args(words, {{"--json", false}});
    if (!args.words().empty())
        throw UsageError("disks takes no arguments");
    const bool json = args.has("--json");
    store::PgConnection db(uri);
    store::checkCatalogue(db, uri);
    const std::vector<store::PgDiskTotals> disks = store::diskTotals(db, store::kPgCatalogueTable);
    Output out;
    std::string& text = out.buffer();
    if (json)
        text += "[";
    for (std::size_t i = 0; i < disks.size(); ++i) {
        DiskLine line;
        line.diskId = disks[i].diskId;
        line.files = disks[i].files;
        line.bytes = disks[i].bytes;
        appendDiskLine(text, line, json, i == 0);
        out.resultDone();
    }
    if (json)
        text += disks.empty() ? "]\n" : "\n]\n";
    return 0;
}

} // namespace katalox::cli
