#include "store/catalog/Catalog.h"

#include "platform/Find.h"
#include "platform/MountTable.h"
#include "platform/Paths.h"
#include "platform/Utf8.h"
#include "platform/Volume.h"
#include "store/catalog/CatalogFile.h"
#include "store/settings/ConfigFile.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"
#include "store/sqlite/Transaction.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <map>

namespace katalox::store {

std::string recordCountText(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " record" : " records");
}

Catalog::Catalog(const std::string& path)
    : path_(path), table_(tableNameOf(path)), db_(openCatalogFile(path)) {}

Catalog Catalog::configuredIn(const std::string& folder) {
    const std::vector<std::string> lines = ConfigFile::readLines(ConfigFile::path(folder));
    return Catalog(platform::joinPath(ConfigFile::value(lines, 1), ConfigFile::value(lines, 0)));
}

InsertFigures Catalog::insert(const ScanToInsert& scan, std::size_t count, const PathAt& pathAt,
                              const InsertProgress& progress) {
    InsertFigures figures;
    std::exception_ptr failure;
    try {
        insertRecords(scan, count, pathAt, progress, figures);
    } catch (...) {
        failure = std::current_exception();
    }
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
    db_->noteChanges();
    if (failure)
        std::rethrow_exception(failure);
    try {
        recordScan(scan, figures);
    } catch (const std::exception& error) {
        throw UnrecordedScanError("The files were inserted, but the disk they came from could "
                                  "not be recorded: " +
                                  std::string(error.what()));
    }
    return figures;
}

void Catalog::insertRecords(const ScanToInsert& scan, std::size_t count, const PathAt& pathAt,
                            const InsertProgress& progress, InsertFigures& figures) {
    const std::string sql = "INSERT INTO " + quoteIdentifier(table_) +
                            " (\"File Name\", \"File Path\", \"Disk ID\", \"File Size\")"
                            " VALUES (?1, ?2, ?3, ?4)";
    std::string path;
    for (std::size_t i = 0; i < count; ++i) {
        path.assign(pathAt(i));
        // A file deleted or moved since the scan, or on a medium taken out, is skipped.
        const auto found = platform::FindOperation::lookUp(path);
        if (!found) {
            ++figures.missing;
            continue;
        }
        // The whole 64-bit size, so files of 2 GiB and more keep their true size.
        const auto size = static_cast<std::int64_t>(
            std::min<std::uint64_t>(found->size, std::numeric_limits<std::int64_t>::max()));
        // The name is the path's last part; upper-casing never makes or moves a separator.
        std::string upperPath = platform::upperCase(path);
        std::string upperName = upperPath.substr(upperPath.rfind(platform::kPathSeparator) + 1);
        db_->insertRow(sql, {Value(std::move(upperName)), Value(std::move(upperPath)),
                             Value(scan.diskId), Value(size)});
        ++figures.records;
        figures.totalSize += size;
        if (progress && !progress(i)) {
            figures.stopped = true;
            return;
        }
    }
}

void Catalog::recordScan(const ScanToInsert& scan, const InsertFigures& figures) {
    if (!keepsRecordedScans(table_))
        return;
    RecordedScan recorded;
    recorded.diskId = scan.diskId;
    // A medium taken out since the scan leaves the volume's facts empty.
    if (const auto volume = platform::volumeOf(scan.rules.startFolder))
        recorded.volume = *volume;
    recorded.scannedFolder = scan.rules.startFolder;
    recorded.namePattern = scan.rules.namePattern;
    recorded.extensionPattern = scan.rules.extensionPattern;
    recorded.scannedAt = scanTimeNow();
    recorded.recordCount = figures.records;
    recorded.totalSize = figures.totalSize;
    store::recordScan(*db_, recorded);
}

std::unique_ptr<DiskUpdate> Catalog::diskUpdate(const std::string& diskId) const {
    return std::make_unique<DiskUpdate>(db_, table_, diskId);
}

std::vector<DiskPresence> Catalog::disks() const {
    const auto mounts = platform::readMountTable(platform::volumeSources().mountTable);
    std::vector<DiskPresence> disks;
    std::map<std::string, std::size_t> byDiskId;
    for (RecordedScan& scan : allRecordedScans(*db_)) {
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

void Catalog::changeRecords(const std::function<void()>& change, const std::string& ownStatement,
                            const std::vector<std::string>& parameters,
                            const std::function<void(Database&)>& keepScans) {
    {
        Transaction transaction(*db_);
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
    changeRecords(change, "DELETE FROM " + quoteIdentifier(table_) + " WHERE \"Disk ID\" = ?1",
                  {diskId}, [&](Database& db) { forgetRecordedDisk(db, diskId); });
}

void Catalog::renameDisk(const std::string& diskId, const std::string& newName,
                         const std::function<void()>& change) {
    changeRecords(
        change,
        "UPDATE " + quoteIdentifier(table_) + " SET \"Disk ID\" = ?2 WHERE \"Disk ID\" = ?1",
        {diskId, newName}, [&](Database& db) { renameRecordedDisk(db, diskId, newName); });
}

void Catalog::empty() {
    emptyCatalogFile(path_, table_);
}

} // namespace katalox::store
