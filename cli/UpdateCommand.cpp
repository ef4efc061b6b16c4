// update: "Update This Disk..." without the window: the changes printed, then applied.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Output.h"

#include "store/catalog/Catalog.h"
#include "store/catalog/DiskUpdate.h"

namespace katalox::cli {

int runUpdate(store::Catalog& catalog, const Words& words) {
    const Arguments args(words, {{"--dry-run", false}});
    if (args.words().size() != 1)
        throw UsageError("update needs one Disk ID");
    const std::string& diskId = args.words()[0];
    const std::unique_ptr<store::DiskUpdate> update = catalog.diskUpdate(diskId);
    if (update->scans().empty())
        throw Error("the Disk ID \"" + diskId +
                    "\" has no recorded scan: it was not inserted by this program");
    for (std::size_t i = 0; i < update->scans().size(); ++i) {
        const store::ScanPlace& place = update->places()[i];
        // The window asks before walking another volume; a script cannot be asked.
        if (place.state == store::ScanPlace::State::OtherVolume)
            throw Error("another volume is mounted where the disk \"" + diskId + "\" was (" +
                        place.folderNow + "); connect the disk itself");
    }
    if (!update->anyConnected())
        throw Error("the disk \"" + diskId + "\" is not connected (" +
                    store::describeVolume(update->scans().back().volume, true) + ")");
    const bool stopped = false;
    update->compare(stopped);
    const store::DiskChanges& changes = update->changes();
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
    if (!args.has("--dry-run") && (!changes.none() || update->completesScans()))
        update->apply();
    indexInTheBackground(catalog);
    return 0;
}

} // namespace katalox::cli
