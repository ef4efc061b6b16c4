#pragma once
// Members of archives as records: each member found inside an archive on a disk becomes a
// record of the catalogue under the archive's Disk ID, whose "File Path" is the archive's path,
// kMemberSeparator and the member's path, so every listing finds it. The table of ours
// "Archive Members" ties each member record to the record of the archive on the disk that holds
// it (at any depth) and keeps its real name, size and time. A trigger takes the members along
// when any program deletes the archive's record, and a member's row when its record goes.
#include "store/facts/RecordedFacts.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace katalox::store {

class Database;

inline constexpr const char* kMembersTable = "Archive Members";

// Makes the table, its index and the trigger on `table` when missing (in a transaction of its
// own: never call it inside one).
void prepareMemberTable(Database& db, const std::string& table);
bool hasMemberTable(Database& db);
// The members of the archives among the records of `diskId`: their records and rows, for a
// Disk ID deleted.
void forgetDiskMembers(Database& db, const std::string& table, const std::string& diskId);
// The members of the archive record `archive`, for an archive a disk update lists again.
void forgetArchiveMembers(Database& db, const std::string& table, std::int64_t archive);
// Every member row and the trigger, so that emptying the records runs in one go.
void forgetAllMembers(Database& db);

struct ArchiveMember;

// The record of `member` of the archive stored as `storedArchivePath`: its "File Name" and
// "File Path", upper-cased as every record is.
struct MemberRecord {
    std::string upperName;
    std::string upperPath;
};
MemberRecord memberRecord(const std::string& storedArchivePath, const ArchiveMember& member);

// Writes `members` of the archive record `archive` as records of `diskId` and rows of ours,
// inside the caller's transaction (a disk update's).
void writeMembers(Database& db, const std::string& table, const std::string& diskId,
                  std::int64_t archive, const std::string& storedArchivePath,
                  const std::vector<ArchiveMember>& members);

// Gathers the member rows of an insert as their records are written, and writes them inside
// the batch that commits the records.
class MembersWriter {
public:
    explicit MembersWriter(Database& db) : db_(db) {}
    // A member about to be recorded, of the archive record `archive`; its own record is told
    // by setRecord() (or is the batch's last when the batch commits first).
    void add(std::int64_t archive, std::string realPath, std::uint64_t size, std::int64_t modified);
    void setRecord(std::int64_t record);
    // Runs inside the caller's transaction.
    void flush(std::int64_t lastRecord);

private:
    struct Member {
        std::int64_t record = 0;
        std::int64_t archive = 0;
        std::string realPath;
        std::int64_t size = 0;
        std::int64_t modified = 0;
    };
    Database& db_;
    std::vector<Member> members_;
};

// Where the member of an archive that a record stands for lies: in the archive of record
// `archive` on the disk (the outermost, for a member of an archive inside it), at its real
// path inside, with the size and time it was listed with.
struct ArchivedRecord {
    std::int64_t archive = 0;
    std::string archiveStoredPath; // the archive's "File Path"
    std::string realPath;          // kMemberSeparator between the levels of nested archives
    std::uint64_t size = 0;
    std::int64_t modified = 0;
};
// None when `record` of `table` stands for no member (or its row of ours is gone).
std::optional<ArchivedRecord> archivedRecord(Database& db, const std::string& table,
                                             std::int64_t record);

// A member's facts as its archive's facts give them, on either engine: the archive's real path,
// kMemberSeparator and the member's real path inside, with the member's time.
RecordedPath memberFactsOf(const RecordedPath& archiveFacts, const ArchivedRecord& member);

// Members' real paths for many records, as the facts give them for files: the archive's real
// path as its facts tell it, kMemberSeparator and the member's real path inside; with the
// member's time. Records are mostly asked for in order, so the last archive's facts are kept.
class MemberFactsReader {
public:
    MemberFactsReader(Database& db, const std::string& table);
    // None when `record` is no member, or its archive has no facts.
    std::optional<RecordedPath> factsOf(std::int64_t record, RecordedFactsReader& files);

private:
    std::unique_ptr<Statement> member_;
    std::int64_t lastArchive_ = 0;
    std::optional<RecordedPath> archiveFacts_;
};

} // namespace katalox::store
