#pragma once
// The content prints of the records, in tables of ours beside them. "Print Runs" holds the
// sampled prints of consecutive records packed 16 bytes each (zeros for a record without one);
// "File Prints" indexes them by their leading 8 bytes, one row per record that has a print;
// "Copy Groups" counts the prints two or more records share, with their size, so the largest
// waste is found without reading every record; "Verified Files" holds the whole hash of each
// record read whole by a verification, "Verify Findings" what it found wrong, and "Disk
// Checks" each Disk ID's last verification.
// Triggers drop the prints of a record any program deletes or changes. Catalogues made
// before, and records written by other programs, simply have no prints.
#include <cstdint>
#include <string>

namespace katalox::store {

class Database;

inline constexpr const char* kPrintRunsTable = "Print Runs";
inline constexpr const char* kFilePrintsTable = "File Prints";
inline constexpr const char* kCopyGroupsTable = "Copy Groups";
inline constexpr const char* kVerifiedTable = "Verified Files";
inline constexpr const char* kDiskChecksTable = "Disk Checks";
// What the last verification of each disk found wrong with a record (DiskVerification.h).
inline constexpr const char* kVerifyFindingsTable = "Verify Findings";

// Most records in one run: its prints fit one page of the file.
inline constexpr std::int64_t kPrintsPerRun = 248;

// False when the catalogue's own table bears one of our names.
bool keepsPrints(const std::string& catalogueTable);
bool hasPrintTables(Database& db);
// Made beside the others by preparePrintTables() since verifications are kept.
bool hasFindingsTable(Database& db);
// Makes the tables, their indexes and the triggers on `table` when missing (in a transaction
// of its own: never call it inside one).
void preparePrintTables(Database& db, const std::string& table);

// SQL for the sampled print (16 bytes) of `record` from its run, or NULL.
std::string runPrintSql(const std::string& record);

// Everything known of the content of the records of `diskId`, before they are deleted.
void forgetDiskPrints(Database& db, const std::string& table, const std::string& diskId);
// The Disk ID's verification follows its records under their new Disk ID; before they move.
void renameDiskChecks(Database& db, const std::string& table, const std::string& diskId,
                      const std::string& newName);
// Every print, check and trigger, so that emptying the records runs in one go.
void forgetAllPrints(Database& db);

} // namespace katalox::store
