#pragma once
// The table "Disks" beside the records in a catalogue file: one row for every scan inserted,
// naming its Disk ID, the volume it was made on and the scan's rules and totals. Made the first
// time a scan is recorded; catalogues without it read as having no recorded scans.
#include "platform/Volume.h"
#include "scanner/FileWalk.h"

#include <cstdint>
#include <string>
#include <vector>

namespace katalox::store {

class Database;

struct RecordedScan {
    std::int64_t id = 0; // the row's own number, set by the store
    std::string diskId;
    platform::VolumeFacts volume;
    std::string scannedFolder; // the start folder as scanned, ending with the separator
    std::string namePattern;
    std::string extensionPattern;
    std::string scannedAt; // UTC, "2026-12-08T21:04:05Z"
    std::int64_t recordCount = 0;
    std::int64_t totalSize = 0;
    // The files the scan listed, and whether its insert ran to its end: a killed insert leaves
    // the records of its committed batches and a scan marked incomplete.
    std::int64_t listedFiles = 0;
    bool complete = true;
};

// A scan's fields after "Id", as the tables of scans hold them, in the order of RecordedScan.
extern const char* const kScanColumns;

// False for a catalogue whose own table is called "Disks": its scans are not recorded.
bool keepsRecordedScans(const std::string& catalogueTable);

// The current time in the form of RecordedScan::scannedAt.
std::string scanTimeNow();

// The row of a scan of `rules` under `diskId` whose insert begins now, marked incomplete until
// it ends: the volume its folder lies on (empty facts for a medium taken out since the scan),
// the rules, the time and the files it listed.
RecordedScan scanStarting(const std::string& diskId, const scanner::WalkRules& rules,
                          std::size_t listed);

// Makes the table, or adds to one of an older layout the columns it lacks.
void prepareScanTable(Database& db);
// Adds one row and returns its Id (making the table when missing, unless `insideBatch`: then
// the row joins the batch of posted records, and the table must have been prepared).
std::int64_t recordScan(Database& db, const RecordedScan& scan, bool insideBatch = false);
// Rewrites the row of scan.id with the scan's facts (after an update of the disk); false when
// there is no such row.
bool rewriteRecordedScan(Database& db, const RecordedScan& scan, bool insideBatch = false);
// The rows of one Disk ID, oldest first.
std::vector<RecordedScan> recordedScans(Database& db, const std::string& diskId);
// Every row, oldest first.
std::vector<RecordedScan> allRecordedScans(Database& db);

// Keep the rows in step with the records: a renamed Disk ID, a deleted one, an emptied catalogue.
void renameRecordedDisk(Database& db, const std::string& diskId, const std::string& newName);
void forgetRecordedDisk(Database& db, const std::string& diskId);
void forgetAllRecordedDisks(Database& db);

} // namespace katalox::store
