// scan into a catalogue on a PostgreSQL server: the walk of the scan into a catalogue file, its
// files and the members of its archives written as records in batches, each batch one
// transaction. A batch that fails ends the scan; the batches before it stay, and the user
// learns how many records are missing.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Progress.h"
#include "cli/ScanTarget.h"

#include "platform/Paths.h"
#include "scanner/WalkAhead.h"
#include "store/catalog/Catalog.h"
#include "store/postgres/PgArchiveMembers.h"
#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgDisks.h"
#include "store/postgres/PgFacts.h"
#include "store/postgres/PgPrintedInsert.h"

#include <cstdio>
#include <limits>

namespace katalox::cli {

namespace {

// The files the walk has still to list, which will not be written either.
std::int64_t countRest(scanner::WalkAhead& walk) {
    std::int64_t rest = 0;
    try {
        while (walk.next())
            ++rest;
    } catch (const std::exception&) {
        // What the walk found before it stopped is counted.
    }
    return rest;
}

} // namespace

int runScanOnServer(const std::string& uri, const Words& words) {
    const Arguments args(words, scanOptions());
    const auto [diskId, rules] = scanTargetOf(args);
    store::PgConnection db(uri);
    store::checkCatalogue(db, uri);
    // The walk runs ahead on a thread of its own while the records are written.
    scanner::WalkAhead walk(rules);
    const std::string table = store::kPgCatalogueTable;
    store::RecordedScan recorded = store::scanStarting(diskId, rules, 0);
    recorded.id = store::recordServerScan(db, table, recorded);
    store::PgPrintedInsert insert(db, table, diskId, !args.has("--no-fingerprints"));
    store::ServerScanFacts facts(db, table, insert.records(), recorded.id, rules.startFolder);
    store::PgMembersInsert members(
        insert.records(), table,
        args.has("--no-archives")
            ? std::nullopt
            : std::optional(store::ArchiveLimits{store::defaultArchiveFormats()}));
    insert.setRecordAdded([&](std::int64_t record, const std::string& path, std::int64_t size,
                              std::int64_t modified) {
        facts.add(path, record, size, modified);
        members.addFile(record, path, diskId);
    });
    std::size_t folders = 0;
    std::size_t listed = 0;
    std::string lastFolder;
    std::exception_ptr walkFailure;
    {
        Progress progress;
        try {
            for (;;) {
                const scanner::WalkAhead::Listed* found = nullptr;
                try {
                    found = walk.next();
                } catch (const std::exception&) {
                    // The files listed before the walk stopped are written all the same.
                    walkFailure = std::current_exception();
                }
                if (!found)
                    break;
                // The whole 64-bit size, so files of 2 GiB and more keep their true size.
                insert.add(found->path,
                           static_cast<std::int64_t>(std::min<std::uint64_t>(
                               found->size, std::numeric_limits<std::int64_t>::max())),
                           found->modified);
                const std::string_view in(found->path.data(),
                                          found->path.rfind(platform::kPathSeparator));
                if (in != lastFolder) {
                    lastFolder.assign(in);
                    ++folders;
                }
                ++listed;
                progress.show([&](double seconds) {
                    return std::to_string(folders) + " folders, " + std::to_string(listed) +
                           " files, " + rate(listed, seconds);
                });
            }
            insert.finish();
        } catch (const EngineError& error) {
            const std::int64_t notWritten =
                insert.notWritten() + (walkFailure ? 0 : countRest(walk));
            throw Error(store::recordCountText(static_cast<std::size_t>(notWritten)) +
                        " could not be written (" + std::to_string(insert.written()) +
                        " were): " + error.what());
        }
    }
    if (walkFailure)
        std::rethrow_exception(walkFailure);
    // The members are records of their own, not files of the disk.
    recorded.recordCount = insert.written() - members.written();
    recorded.totalSize = insert.writtenSize() - members.writtenSize();
    recorded.listedFiles = static_cast<std::int64_t>(listed);
    recorded.complete = true;
    store::completeServerScan(db, table, recorded);
    tellScanEnd(diskId, {recorded.recordCount, members.counts().unreadArchives,
                         members.counts().membersLeftOut, insert.printCounts().unreadable,
                         insert.printCounts().changing});
    return 0;
}

} // namespace katalox::cli
