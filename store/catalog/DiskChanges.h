#pragma once
// Bringing one Disk ID's records up to date with its disk: compare the records with the files
// found now, by path and size, then change only the records that differ, in one transaction.
#include "store/catalog/RecordedDisks.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace katalox::store {

class Database;

// A file found on the disk, its path upper-cased as records store it (the record's name is
// the path's last component), where it was found (empty when not known), when it was last
// modified and which of the Disk ID's scans found it.
struct FoundOnDisk {
    FoundOnDisk(std::string upperPath, std::int64_t bytes, std::string foundAt = {},
                std::int64_t modifiedAt = 0, std::uint32_t byScan = 0)
        : path(std::move(upperPath)), size(bytes), livePath(std::move(foundAt)),
          modified(modifiedAt), scan(byScan) {}
    std::string path;
    std::int64_t size = 0;
    std::string livePath;
    std::int64_t modified = 0;
    std::uint32_t scan = 0;
};

struct StoredRecord {
    std::int64_t id = 0;
    std::string path;
    std::int64_t size = 0;
    bool operator==(const StoredRecord&) const = default;
};

struct ResizedRecord {
    StoredRecord record;
    std::int64_t newSize = 0;
};

struct DiskChanges {
    std::vector<FoundOnDisk> added; // in the order found
    std::vector<StoredRecord>
        removed; // in Id order, records beyond the files of their path included
    std::vector<ResizedRecord> changed; // in the order found
    std::size_t unchanged = 0;
    // The record each unchanged or changed file keeps (the files stay where compareRecords()
    // found them).
    std::vector<std::pair<std::int64_t, const FoundOnDisk*>> kept;
    bool none() const { return added.empty() && removed.empty() && changed.empty(); }
};

// The records of `diskId` in `table` whose path begins with one of `folders` (upper-cased
// folder texts ending with the separator), in Id order.
std::vector<StoredRecord> recordsUnder(Database& db, const std::string& table,
                                       const std::string& diskId,
                                       const std::vector<std::string>& folders);

// What differs between the records and the files found: records and files of one path are
// matched one to one, those of the same size first (a file found twice counts once).
DiskChanges compareRecords(const std::vector<StoredRecord>& records,
                           const std::vector<FoundOnDisk>& found);

// Deletes the removed records, gives the changed ones their new size, adds the added ones
// under `diskId`, and rewrites the recorded scans, all in one transaction: on any failure the
// catalogue keeps its old records. Unchanged records keep their Ids. `progress` is told how
// many changes are done, now and then.
// `beforeCommit`, when given, runs inside the transaction last, with the Ids of the added
// records in the order of changes.added.
void applyChanges(
    Database& db, const std::string& table, const std::string& diskId, const DiskChanges& changes,
    const std::vector<RecordedScan>& scans,
    const std::function<void(std::size_t done)>& progress = {},
    const std::function<void(const std::vector<std::int64_t>& added)>& beforeCommit = {});

} // namespace katalox::store
