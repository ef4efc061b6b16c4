#pragma once
// A disk update on a catalogue on a server: the Disk ID's records under its scanned folders,
// and the changes applied in one transaction, as store/catalog/DiskChanges does on a file.
#include "store/catalog/DiskChanges.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace katalox::store {

class PgConnection;

// The records of `diskId` whose stored path begins with one of `folders`, members of archives
// left out, in Id order.
std::vector<StoredRecord> serverRecordsUnder(PgConnection& db, const std::string& table,
                                             const std::string& diskId,
                                             const std::vector<std::string>& folders);

// A record to add with the Id it was given, its name and path upper-cased as stored.
struct ServerRecordRow {
    std::int64_t id = 0;
    std::string upperName;
    std::string upperPath;
    std::int64_t size = 0;
};

// Adds `rows` under `diskId`, a piece at a time, inside the caller's transaction.
void insertServerRecords(PgConnection& db, const std::string& table, const std::string& diskId,
                         const std::vector<ServerRecordRow>& rows);

// Deletes the removed records, resizes the changed ones, adds the added ones under `diskId`
// and rewrites `scans`, in one transaction with `beforeCommit` (told the Ids of the added
// records in the order of changes.added): on any failure nothing changes.
void applyServerChanges(
    PgConnection& db, const std::string& table, const std::string& diskId,
    const DiskChanges& changes, const std::vector<RecordedScan>& scans,
    const std::function<void(std::size_t done)>& progress = {},
    const std::function<void(const std::vector<std::int64_t>& added)>& beforeCommit = {});

} // namespace katalox::store
