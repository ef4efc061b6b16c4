#pragma once
// What the catalogue knows about each file beyond its record, in tables of ours beside it:
// "Disk Folders" holds each scan's folder tree with the folders' real names and the number and
// bytes of the files directly in each; "File Facts" holds runs of consecutive records of one
// folder with their names in real letter case and modification times (FactRuns.h); "Dropped
// Facts" names records whose facts no longer apply. Triggers on the records keep the folders'
// totals in step and drop the facts of a record any program deletes or renames. Catalogues
// made before, and records written by other programs, simply have no facts.
#include <cstdint>
#include <string>
#include <vector>

namespace katalox::store {

class Database;

inline constexpr const char* kFoldersTable = "Disk Folders";
inline constexpr const char* kFactsTable = "File Facts";
inline constexpr const char* kDroppedTable = "Dropped Facts";

// False when the catalogue's own table bears one of our names: its files get no facts.
bool keepsFileFacts(const std::string& catalogueTable);
// Whether the catalogue holds the tables (any catalogue, whether written by us or not).
bool hasFactTables(Database& db);
// Makes the tables, their indexes and the triggers on `table` when missing (in a transaction of
// its own: never call it inside one).
void prepareFactTables(Database& db, const std::string& table);

// The facts of the scans `scanIds` (rows of "Disks"): their folders and their files' facts.
// For a Disk ID deleted, or for scans about to be written again by a disk update.
void forgetScanFacts(Database& db, const std::vector<std::int64_t>& scanIds);
// Every fact, and the triggers, so that emptying the records runs in one go.
void forgetAllFacts(Database& db);

} // namespace katalox::store
