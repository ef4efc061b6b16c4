#pragma once
// Members of archives on a server, as a catalogue file keeps them (store/archives): each member
// is a record of the catalogue table, and "<table> Archive Members" ties it to the record of the
// archive on the disk that holds it, with its real name (in the server form of PgText.h), size
// and time. Triggers take the members along when the archive's record is deleted by any
// statement, a member's row when its record goes, and every row when the records are truncated.
#include "store/archives/ArchiveInsert.h"
#include "store/archives/ArchiveMembers.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace katalox::store {

class PgConnection;
class PgInsert;

// The table of the members of catalogue table `table`.
std::string serverMembersTable(const std::string& table);
// Makes it, its index and its triggers (a step of the catalogue's layout).
void createServerMemberTables(PgConnection& db, const std::string& table);

// Where the member that `record` stands for lies; none when it is no member.
std::optional<ArchivedRecord> archivedServerRecord(PgConnection& db, const std::string& table,
                                                   std::int64_t record);

// A row of the members' table: member record `record` of the archive record `archive`.
struct ServerMemberRow {
    std::int64_t record = 0;
    std::int64_t archive = 0;
    std::string realPath; // inside the archive
    std::int64_t size = 0;
    std::int64_t modified = 0;
};

// Writes `rows` in one statement, inside the caller's transaction.
void writeServerMemberRows(PgConnection& db, const std::string& table,
                           const std::vector<ServerMemberRow>& rows);

// The members of archive record `archive` of `diskId`, stored as `storedArchivePath`, written
// as records with their rows, for an archive a disk update lists again (inside its transaction).
void writeServerMembers(PgConnection& db, const std::string& table, const std::string& diskId,
                        std::int64_t archive, const std::string& storedArchivePath,
                        const std::vector<ArchiveMember>& members);
// The statement that deletes the member records of archive record $1 (their rows go with them).
std::string forgetServerArchiveMembersStatement(const std::string& table);

// The members of the archives among a scan's files, written through the scan's PgInsert: each
// member's record goes into the batch being filled, and its row is written by writeRows(),
// which the batch runs before its commit (PgInsert::addBatchClosing, which the constructor sets),
// so that a record and its row are committed together or not at all.
class PgMembersInsert {
public:
    // `archives`: how archives are looked inside; none: they are not.
    PgMembersInsert(PgInsert& insert, const std::string& table,
                    std::optional<ArchiveLimits> archives);

    // Told after the record `record` of the file at `path` of `diskId` was added.
    void addFile(std::int64_t record, const std::string& path, const std::string& diskId);
    // Writes the rows of the members added since the last call (inside the batch's transaction).
    void writeRows(PgConnection& db);

    const ArchiveInsertCounts& counts() const { return counts_; }
    // Member records of the batches closed, and their sizes: the insert's own figures count
    // the files of the disk alone.
    std::int64_t written() const { return written_; }
    std::int64_t writtenSize() const { return writtenSize_; }

private:
    using Row = ServerMemberRow;
    PgInsert& insert_;
    std::string table_;
    std::optional<ArchiveLimits> archives_;
    std::vector<Row> rows_;
    ArchiveInsertCounts counts_;
    std::int64_t written_ = 0;
    std::int64_t writtenSize_ = 0;
};

} // namespace katalox::store
