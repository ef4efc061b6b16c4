#include "store/catalog/Catalog.h"

#include "platform/Find.h"
#include "platform/MountTable.h"
#include "platform/Paths.h"
#include "platform/Utf8.h"
#include "platform/Volume.h"
#include "store/archives/ArchiveInsert.h"
#include "store/archives/ArchiveMembers.h"
#include "store/catalog/CatalogFile.h"
#include "store/facts/FactTables.h"
#include "store/facts/FactsWriter.h"
#include "store/facts/RecordedFacts.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/ServerCatalogue.h"
#include "store/prints/PrintSink.h"
#include "store/prints/PrintTables.h"
#include "store/prints/PrintsWriter.h"
#include "store/prints/SamplingAhead.h"
#include "store/settings/ConfigFile.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"
#include "store/sqlite/Transaction.h"

#include <algorithm>
#include <deque>
#include <exception>
#include <limits>
#include <map>

namespace katalox::store {

namespace {

std::string recordInsertSql(const std::string& table) {
    return "INSERT INTO " + quoteIdentifier(table) +
           " (\"File Name\", \"File Path\", \"Disk ID\", \"File Size\") VALUES (?1, ?2, ?3, ?4)";
}

} // namespace

std::string recordCountText(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " record" : " records");
}

namespace {

// Disks, facts, prints and members are kept beside the records of a catalogue file only.
std::shared_ptr<Database> openFileOnly(const std::string& path) {
    if (isServerUri(path))
        throw EngineError("This works only on a catalogue file so far, not on a catalogue on a "
                          "server (" +
                          uriForDisplay(path) + ")");
    return openCatalogFile(path);
}

} // namespace

Catalog::Catalog(const std::string& path)
    : path_(path), table_(tableNameOf(path)), db_(openFileOnly(path)) {}

Catalog::~Catalog() = default;
Catalog::Catalog(Catalog&&) noexcept = default;

Catalog Catalog::configuredIn(const std::string& folder) {
    const std::vector<std::string> lines = ConfigFile::readLines(ConfigFile::path(folder));
    return Catalog(platform::joinPath(ConfigFile::value(lines, 1), ConfigFile::value(lines, 0)));
}

InsertFigures Catalog::insert(const ScanToInsert& scan, std::size_t count, const PathAt& pathAt,
                              const InsertProgress& progress, const ListedAt& listedAt) {
    std::size_t at = 0;
    const auto next = [&](std::string& path, ListedFile& listed) {
        if (at == count)
            return NextFile::End;
        const std::size_t i = at++;
        path.assign(pathAt(i));
        if (listedAt) {
            listed = listedAt(i);
        } else if (const auto found = platform::FindOperation::lookUp(path)) {
            listed = {found->size, found->modified};
        } else {
            // A file deleted or moved since the scan, or on a medium taken out, is skipped.
            return NextFile::Gone;
        }
        return NextFile::Listed;
    };
    return insertFrom(scan, count, next, progress);
}

InsertFigures Catalog::insertAsListed(const ScanToInsert& scan, const NextListed& next,
                                      const InsertProgress& progress) {
    return insertFrom(
        scan, std::nullopt,
        [&](std::string& path, ListedFile& listed) {
            return next(path, listed) ? NextFile::Listed : NextFile::End;
        },
        progress);
}

InsertFigures Catalog::insertFrom(const ScanToInsert& scan, std::optional<std::size_t> listed,
                                  const NextFileSource& next, const InsertProgress& progress) {
    InsertFigures figures;
    RecordedScan recorded = scanBeingInserted(scan, listed.value_or(0));
    std::string unrecorded; // why the scan's row could not be written
    const bool recording = keepsRecordedScans(table_);
    if (recording) {
        try {
            prepareScanTable(*db_);
        } catch (const std::exception& error) {
            unrecorded = error.what();
        }
    }
    // Without its facts a record still shows everything its row holds: a catalogue that
    // cannot take them gets the records alone.
    facts_.reset();
    if (recording && unrecorded.empty() && keepsFileFacts(table_)) {
        try {
            prepareFactTables(*db_, table_);
            facts_ = std::make_unique<FactsWriter>(*db_, scan.rules.startFolder);
        } catch (const EngineError&) {
        }
    }
    if (recording && unrecorded.empty())
        startPrinting(scan);
    // The scan's row is written with the first batch of records and counts them at every
    // batch, so that a killed insert leaves a scan marked incomplete beside its records. The
    // watcher reads this call's own state, so it never outlives the call.
    struct WatcherScope {
        Catalog& catalog;
        ~WatcherScope() {
            catalog.db_->setBatchWatcher({});
            catalog.sampler_.reset();
            catalog.facts_.reset();
            catalog.prints_.reset();
            catalog.members_.reset();
        }
    } watcherScope{*this};
    if (recording && unrecorded.empty())
        db_->setBatchWatcher([&] {
            try {
                // A batch committed by the record being posted holds it too.
                const bool postedNow =
                    inFlight_.posting && db_->pendingCount() == inFlight_.pendingBefore + 1;
                recorded.recordCount = figures.records + (postedNow ? 1 : 0);
                recorded.totalSize = figures.totalSize + (postedNow ? inFlight_.size : 0);
                if (!listed)
                    recorded.listedFiles = recorded.recordCount + figures.missing;
                const std::int64_t lastRecord = db_->lastInsertRowId();
                if (recorded.id == 0 || !rewriteRecordedScan(*db_, recorded, true))
                    recorded.id = recordScan(*db_, recorded, true);
                writeFacts(recorded.id, lastRecord);
                writePrints();
                if (members_)
                    members_->flush(lastRecord);
            } catch (const std::exception& error) {
                unrecorded = error.what();
            }
        });
    std::exception_ptr failure;
    try {
        insertRecords(scan, next, progress, figures);
    } catch (...) {
        failure = std::current_exception();
    }
    inFlight_.posting = false;
    // Whatever stopped the loop, the records posted before it stay in the catalogue.
    try {
        db_->commitPending();
    } catch (const EngineBusyError& busy) {
        // Another program reads the catalogue: the records wait and are written as soon as it
        // lets go; the user learns how many are waiting.
        if (!failure)
            failure = std::make_exception_ptr(EngineError(
                std::string(busy.what()) + ". " + recordCountText(db_->pendingCount()) +
                " not written yet; they will be written as soon as the other program lets go "
                "of the catalogue"));
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    db_->setBatchWatcher({});
    db_->noteChanges();
    if (failure)
        std::rethrow_exception(failure);
    if (!listed)
        recorded.listedFiles = figures.records + figures.missing;
    if (recording && unrecorded.empty())
        completeScan(recorded, figures, unrecorded);
    if (!unrecorded.empty())
        throw UnrecordedScanError("The files were inserted, but the disk they came from could "
                                  "not be recorded: " +
                                  unrecorded);
    return figures;
}

RecordedScan Catalog::scanBeingInserted(const ScanToInsert& scan, std::size_t listed) const {
    return scanStarting(scan.diskId, scan.rules, listed);
}

void Catalog::completeScan(RecordedScan& recorded, const InsertFigures& figures,
                           std::string& unrecorded) {
    recorded.recordCount = figures.records;
    recorded.totalSize = figures.totalSize;
    recorded.complete = !figures.stopped;
    try {
        if (recorded.id == 0 || !rewriteRecordedScan(*db_, recorded))
            recorded.id = recordScan(*db_, recorded);
    } catch (const std::exception& error) {
        unrecorded = error.what();
    }
}

void Catalog::insertRecords(const ScanToInsert& scan, const NextFileSource& next,
                            const InsertProgress& progress, InsertFigures& figures) {
    const std::string sql = recordInsertSql(table_);
    // Files are read for their prints a few hundred ahead of the record being written, so the
    // next files are taken from the source that far ahead.
    constexpr std::size_t kReadAhead = 256;
    struct Taken {
        std::string path;
        ListedFile listed;
        std::size_t index = 0; // in the listing, gone files included
    };
    std::deque<Taken> ahead;
    bool ended = false;
    std::size_t taken = 0;
    for (;;) {
        while (!ended && ahead.size() < (sampler_ ? kReadAhead : 1)) {
            Taken file;
            file.index = taken++;
            const NextFile read = next(file.path, file.listed);
            if (read == NextFile::End) {
                ended = true;
            } else if (read == NextFile::Gone) {
                ++figures.missing;
            } else {
                if (sampler_)
                    sampler_->handIn(file.path);
                ahead.push_back(std::move(file));
            }
        }
        if (ahead.empty())
            return;
        const std::string path = std::move(ahead.front().path);
        const ListedFile listed = ahead.front().listed;
        const std::size_t i = ahead.front().index;
        ahead.pop_front();
        // The whole 64-bit size, so files of 2 GiB and more keep their true size.
        const auto size = static_cast<std::int64_t>(
            std::min<std::uint64_t>(listed.size, std::numeric_limits<std::int64_t>::max()));
        // The name is the path's last part; upper-casing never makes or moves a separator.
        std::string upperPath = platform::upperCase(path);
        std::string upperName = upperPath.substr(upperPath.rfind(platform::kPathSeparator) + 1);
        const bool archive = table_ != kMembersTable && looksInside(scan.archives, path);
        if (archive && !members_)
            startMembers();
        inFlight_ = {true, db_->pendingCount(), size};
        if (facts_)
            facts_->add(path, upperName, size, listed.modified);
        const std::int64_t record =
            db_->insertRow(sql, {Value(std::move(upperName)), Value(std::move(upperPath)),
                                 Value(scan.diskId), Value(size)});
        if (facts_)
            facts_->setRecord(record);
        if (sampler_)
            notePrint(record, size, figures);
        inFlight_.posting = false;
        ++figures.records;
        figures.totalSize += size;
        if (archive && members_)
            insertMembers(scan, record, path, figures);
        if (progress && !progress(i)) {
            figures.stopped = true;
            return;
        }
    }
}

void Catalog::startMembers() {
    try {
        prepareMemberTable(*db_, table_);
        members_ = std::make_unique<MembersWriter>(*db_);
    } catch (const EngineError&) {
        // The archive is recorded as a file, as before archives were looked inside.
    }
}

void Catalog::insertMembers(const ScanToInsert& scan, std::int64_t archive, const std::string& path,
                            InsertFigures& figures) {
    const std::string sql = recordInsertSql(table_);
    const std::string storedArchive = platform::upperCase(path);
    const ArchiveInsertCounts counts =
        insertArchiveMembers(path, *scan.archives, [&](const ArchiveMember& member) {
            MemberRecord names = memberRecord(storedArchive, member);
            const auto size = static_cast<std::int64_t>(
                std::min<std::uint64_t>(member.size, std::numeric_limits<std::int64_t>::max()));
            members_->add(archive, member.path, member.size, member.modified);
            const std::int64_t record = db_->insertRow(sql, {Value(std::move(names.upperName)),
                                                             Value(std::move(names.upperPath)),
                                                             Value(scan.diskId), Value(size)});
            members_->setRecord(record);
        });
    figures.members += counts.members;
    figures.unreadArchives += counts.unreadArchives;
    figures.membersLeftOut += counts.membersLeftOut;
}

void Catalog::startPrinting(const ScanToInsert& scan) {
    if (!scan.fingerprints || !keepsPrints(table_))
        return;
    try {
        preparePrintTables(*db_, table_);
        prints_ = std::make_unique<PrintsWriter>(*db_);
        sampler_ = std::make_unique<SamplingAhead>();
    } catch (const EngineError&) {
        prints_.reset(); // the records go in without their prints
    }
}

void Catalog::writePrints() {
    if (!prints_)
        return;
    try {
        prints_->flush();
    } catch (const EngineError&) {
        prints_.reset(); // as with the facts, the records matter more
    }
}

void Catalog::notePrint(std::int64_t record, std::int64_t size, InsertFigures& figures) {
    PrintCounts counts;
    const ContentPrint print = printToKeep(sampler_->takeNext(), size, counts);
    figures.unreadable += counts.unreadable;
    figures.changing += counts.changing;
    if (prints_)
        prints_->add(record, print, size);
}

void Catalog::writeFacts(std::int64_t scanId, std::int64_t lastRecord) {
    if (!facts_)
        return;
    try {
        facts_->flush(scanId, lastRecord);
    } catch (const EngineError&) {
        // The records matter more than their facts: the rest of the insert goes without them.
        facts_.reset();
    }
}

std::unique_ptr<DiskUpdate> Catalog::diskUpdate(const std::string& diskId) const {
    return std::make_unique<DiskUpdate>(fileUpdateStore(db_, table_), diskId);
}

std::vector<DiskPresence> Catalog::disks() const {
    return presenceOf(allRecordedScans(*db_));
}

std::vector<DiskPresence> presenceOf(std::vector<RecordedScan> scans) {
    const auto mounts = platform::readMountTable(platform::volumeSources().mountTable);
    std::vector<DiskPresence> disks;
    std::map<std::string, std::size_t> byDiskId;
    for (RecordedScan& scan : scans) {
        const auto [at, added] = byDiskId.try_emplace(scan.diskId, disks.size());
        if (added)
            disks.push_back({scan.diskId, {}, std::nullopt});
        DiskPresence& disk = disks[at->second];
        if (!disk.mountedAt)
            disk.mountedAt = platform::mountedNow(scan.volume.uuid, scan.volume.type,
                                                  scan.volume.mountPoint, mounts);
        disk.scans.push_back(std::move(scan));
    }
    return disks;
}

std::optional<std::string> Catalog::livePath(const std::string& diskId,
                                             const std::string& storedPath) const {
    return livePathOf(*db_, diskId, storedPath);
}

std::optional<std::string> Catalog::recordedRealPath(std::int64_t record) const {
    if (const auto recorded = recordedPathOf(*db_, table_, record))
        return recorded->path;
    return std::nullopt;
}

std::optional<std::string> Catalog::livePathOfRecord(std::int64_t record, const std::string& diskId,
                                                     const std::string& storedPath) const {
    const auto recorded = recordedPathOf(*db_, table_, record);
    if (!recorded)
        return livePath(diskId, storedPath);
    return livePathOfScanned(recordedScans(*db_, diskId), recorded->scanId, recorded->path,
                             storedPath);
}

void Catalog::changeRecords(const std::function<void()>& change, const std::string& ownStatement,
                            const std::vector<std::string>& parameters,
                            const std::function<void(Database&)>& keepScans,
                            const std::function<void(Database&)>& beforeChange) {
    {
        Transaction transaction(*db_);
        if (beforeChange)
            beforeChange(*db_);
        if (change) {
            change();
        } else {
            std::vector<Value> values;
            for (const std::string& parameter : parameters)
                values.emplace_back(parameter);
            db_->execute(ownStatement, values);
        }
        keepScans(*db_);
        transaction.commit();
    }
    db_->noteChanges();
}

void Catalog::deleteDisk(const std::string& diskId, const std::function<void()>& change) {
    // The facts go first, so that deleting the records finds none left to keep in step.
    const auto forgetFacts = [&](Database& db) {
        std::vector<std::int64_t> scanIds;
        for (const RecordedScan& scan : recordedScans(db, diskId))
            scanIds.push_back(scan.id);
        forgetScanFacts(db, scanIds);
        forgetDiskPrints(db, table_, diskId);
        forgetDiskMembers(db, table_, diskId);
    };
    changeRecords(
        change, "DELETE FROM " + quoteIdentifier(table_) + " WHERE \"Disk ID\" = ?1", {diskId},
        [&](Database& db) { forgetRecordedDisk(db, diskId); }, forgetFacts);
}

void Catalog::renameDisk(const std::string& diskId, const std::string& newName,
                         const std::function<void()>& change) {
    changeRecords(
        change,
        "UPDATE " + quoteIdentifier(table_) + " SET \"Disk ID\" = ?2 WHERE \"Disk ID\" = ?1",
        {diskId, newName}, [&](Database& db) { renameRecordedDisk(db, diskId, newName); },
        [&](Database& db) { renameDiskChecks(db, table_, diskId, newName); });
}

void Catalog::empty() {
    emptyCatalogFile(path_, table_);
}

} // namespace katalox::store
