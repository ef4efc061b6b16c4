#pragma once
// The scans recorded beside a catalogue table on a server, one row each in "<table> Disks":
// its Disk ID, the volume it was made on, its rules and totals, as a catalogue file keeps them.
// Every machine tells from them which disks are connected to it now.
#include "store/catalog/RecordedDisks.h"

#include <string>
#include <vector>

namespace katalox::store {

class PgConnection;

// The table of the scans of catalogue table `table`.
std::string serverDisksTable(const std::string& table);
// Makes that table (a step of the catalogue's layout).
void createServerDisksTable(PgConnection& db, const std::string& table);

// Adds the row of `scan` and returns its Id.
std::int64_t recordServerScan(PgConnection& db, const std::string& table, const RecordedScan& scan);
// Writes the totals and completeness of the scan recorded as scan.id.
void completeServerScan(PgConnection& db, const std::string& table, const RecordedScan& scan);
// Writes every field of the scan recorded as scan.id anew, as a disk update finds it.
void rewriteServerScan(PgConnection& db, const std::string& table, const RecordedScan& scan);
// Every row, oldest first.
std::vector<RecordedScan> serverScans(PgConnection& db, const std::string& table);

// The statements that keep the rows in step with the records, to run in the transaction that
// changes them: $1 the Disk ID, $2 the new name.
std::string renameServerDiskStatement(const std::string& table);
std::string forgetServerDiskStatement(const std::string& table);

} // namespace katalox::store
