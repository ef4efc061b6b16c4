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
// the path's last component), and where it was found (empty when not known).
struct FoundOnDisk {
    FoundOnDisk(std::string upperPath, std::int64_t bytes, std::string foundAt = {})
        : path(std::move(upperPath)), size(bytes), livePath(std::move(foundAt)) {}
    std::string path;
    std::int64_t size = 0;
    std::string livePath;
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
void applyChanges(Database& db, const std::string& table, const std::string& diskId,
                  const DiskChanges& changes, const std::vector<RecordedScan>& scans,
                  const std::function<void(std::size_t done)>& progress = {});

} // namespace katalox::store
