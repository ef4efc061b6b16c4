#pragma once
// The facts of a catalogue table's records on a server, as a catalogue file keeps them
// (store/facts): each scan's folder tree with real names and totals in "<table> Disk Folders",
// runs of records with their real names and times in "<table> File Facts", the records whose
// facts no longer apply in "<table> Dropped Facts". Triggers on the records keep the totals
// and the marks in step whatever program deletes records or changes their names, paths or
// sizes.
#include <string>

namespace katalox::store {

class PgConnection;

std::string serverFoldersTable(const std::string& table);
std::string serverFactsTable(const std::string& table);
std::string serverDroppedTable(const std::string& table);

// Makes the tables and the triggers on `table` (a step of the catalogue's layout).
void createServerFactTables(PgConnection& db, const std::string& table);

// The statement that forgets the facts of the scans of Disk ID $1, to run before its records
// are deleted, in the same transaction.
std::string forgetServerDiskFactsStatement(const std::string& table);
// The statement that forgets the facts of the scans whose Ids $1 (bigint[]) holds, for a disk
// update that writes them anew.
std::string forgetServerScanFactsStatement(const std::string& table);
// The three tables, quoted and separated by commas, for a TRUNCATE with the records.
std::string serverFactTablesList(const std::string& table);

} // namespace katalox::store
