#include "store/postgres/PgListInsert.h"

#include "platform/Error.h"
#include "platform/Find.h"
#include "store/catalog/Catalog.h"
#include "store/postgres/PgDisks.h"
#include "store/postgres/PgFacts.h"
#include "store/postgres/PgInsert.h"

#include <algorithm>
#include <limits>

namespace katalox::store {

ListInsertFigures insertListOnServer(PgConnection& db, const std::string& table, RecordedScan scan,
                                     std::size_t count,
                                     const std::function<std::string_view(std::size_t)>& pathAt,
                                     const std::function<bool(std::size_t)>& progress) {
    scan.id = recordServerScan(db, table, scan);
    PgInsert insert(db, table);
    ServerScanFacts facts(db, table, insert, scan.id, scan.scannedFolder);
    ListInsertFigures figures;
    std::size_t at = 0;
    try {
        for (; at < count; ++at) {
            const std::string path(pathAt(at));
            // A file deleted or moved since the scan, or on a medium taken out, is skipped.
            if (const auto found = platform::FindOperation::lookUp(path)) {
                const auto size = static_cast<std::int64_t>(
                    std::min<std::uint64_t>(found->size, std::numeric_limits<std::int64_t>::max()));
                facts.add(path, insert.add(path, scan.diskId, size), size, found->modified);
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
    figures.records = insert.written();
    figures.totalSize = insert.writtenSize();
    scan.recordCount = figures.records;
    scan.totalSize = figures.totalSize;
    scan.complete = !figures.stopped;
    completeServerScan(db, table, scan);
    return figures;
}

} // namespace katalox::store
