// update: "Update This Disk..." without the window: the changes printed, then applied.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Output.h"

#include "store/catalog/Catalog.h"
#include "store/catalog/DiskUpdate.h"
#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgUpdateStore.h"

namespace katalox::cli {

namespace {

const std::string& diskIdOf(const Arguments& args) {
    if (args.words().size() != 1)
        throw UsageError("update needs one Disk ID");
    return args.words()[0];
}

const std::vector<OptionSpec> kUpdateOptions = {{"--dry-run", false}};

// Prints the changes of the update's disk and applies them unless told not to.
void runDiskUpdate(store::DiskUpdate& update, const Arguments& args) {
    const std::string& diskId = update.diskId();
    if (update.scans().empty())
        throw Error("the Disk ID \"" + diskId +
                    "\" has no recorded scan: it was not inserted by this program");
    for (std::size_t i = 0; i < update.scans().size(); ++i) {
        const store::ScanPlace& place = update.places()[i];
        // The window asks before walking another volume; a script cannot be asked.
        if (place.state == store::ScanPlace::State::OtherVolume)
            throw Error("another volume is mounted where the disk \"" + diskId + "\" was (" +
                        place.folderNow + "); connect the disk itself");
    }
    if (!update.anyConnected())
        throw Error("the disk \"" + diskId + "\" is not connected (" +
                    store::describeVolume(update.scans().back().volume, true) + ")");
    const bool stopped = false;
    update.compare(stopped);
    const store::DiskChanges& changes = update.changes();
    {
        Output out;
        std::string& text = out.buffer();
        for (const store::FoundOnDisk& file : changes.added)
            text += "+ " + (file.livePath.empty() ? file.path : file.livePath) + "\n";
        for (const store::StoredRecord& record : changes.removed)
            text += "- " + record.path + "\n";
        for (const store::ResizedRecord& change : changes.changed)
            text += "~ " + change.record.path + " (" + std::to_string(change.record.size) + " -> " +
                    std::to_string(change.newSize) + " bytes)\n";
    }
    if (!args.has("--dry-run") && (!changes.none() || update.completesScans()))
        update.apply();
}

} // namespace

int runUpdate(store::Catalog& catalog, const Words& words) {
    const Arguments args(words, kUpdateOptions);
    runDiskUpdate(*catalog.diskUpdate(diskIdOf(args)), args);
    indexInTheBackground(catalog);
    return 0;
}

int runUpdateOnServer(const std::string& uri, const Words& words) {
    const Arguments args(words, kUpdateOptions);
    store::PgConnection db(uri);
    store::checkCatalogue(db, uri);
    store::DiskUpdate update(store::serverUpdateStore(uri, store::kPgCatalogueTable),
                             diskIdOf(args));
    runDiskUpdate(update, args);
    return 0;
}

} // namespace katalox::cli
