#include "store/postgres/PgListInsert.h"

#include "platform/Error.h"
#include "platform/Find.h"
#include "store/catalog/Catalog.h"
#include "store/postgres/PgArchiveMembers.h"
#include "store/postgres/PgDisks.h"
#include "store/postgres/PgFacts.h"
#include "store/postgres/PgPrintedInsert.h"

#include <algorithm>
#include <limits>

namespace katalox::store {

ListInsertFigures insertListOnServer(PgConnection& db, const std::string& table, RecordedScan scan,
                                     std::size_t count,
                                     const std::function<std::string_view(std::size_t)>& pathAt,
                                     const std::function<bool(std::size_t)>& progress,
                                     bool fingerprints,
                                     const std::optional<ArchiveLimits>& archives) {
    scan.id = recordServerScan(db, table, scan);
    PgPrintedInsert insert(db, table, scan.diskId, fingerprints);
    ServerScanFacts facts(db, table, insert.records(), scan.id, scan.scannedFolder);
    PgMembersInsert members(insert.records(), table, archives);
    insert.setRecordAdded([&](std::int64_t record, const std::string& path, std::int64_t size,
                              std::int64_t modified) {
        facts.add(path, record, size, modified);
        members.addFile(record, path, scan.diskId);
    });
    ListInsertFigures figures;
    std::size_t at = 0;
    try {
        for (; at < count; ++at) {
            const std::string path(pathAt(at));
            // A file deleted or moved since the scan, or on a medium taken out, is skipped.
            if (const auto found = platform::FindOperation::lookUp(path)) {
                insert.add(path,
                           static_cast<std::int64_t>(std::min<std::uint64_t>(
                               found->size, std::numeric_limits<std::int64_t>::max())),
                           found->modified);
            } else {
                ++figures.missing;
            }
            if (progress && !progress(at)) {
                figures.stopped = true;
                break;
            }
        }
        insert.finish();
    } catch (const EngineError& error) {
        // The batch that failed, and the files of the list not reached.
        const auto notWritten =
            static_cast<std::size_t>(insert.notWritten()) + (count - std::min(count, at + 1));
        throw Error(recordCountText(notWritten) + " could not be written (" +
                    std::to_string(insert.written()) + " were): " + error.what());
    }
    // The members are records of their own, not files of the disk.
    figures.records = insert.written() - members.written();
    figures.totalSize = insert.writtenSize() - members.writtenSize();
    figures.unreadable = insert.printCounts().unreadable;
    figures.changing = insert.printCounts().changing;
    figures.members = members.counts();
    scan.recordCount = figures.records;
    scan.totalSize = figures.totalSize;
    scan.complete = !figures.stopped;
    completeServerScan(db, table, scan);
    return figures;
}

} // namespace katalox::store
