#include "store/archives/ArchiveMembers.h"

#include "platform/Utf8.h"
#include "store/archives/ArchiveListing.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"
#include "store/sqlite/Statement.h"

#include <algorithm>
#include <limits>

namespace katalox::store {

namespace {

constexpr const char* kTrigger = "Archive Members Deleted";

const std::string kMembers = quoteIdentifier(kMembersTable);

} // namespace

bool hasMemberTable(Database& db) {
    return db.integerOf("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?1",
                        {Value(std::string(kMembersTable))}) > 0;
}

void prepareMemberTable(Database& db, const std::string& table) {
    if (hasMemberTable(db) &&
        db.integerOf("SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND name = ?1",
                     {Value(std::string(kTrigger))}) > 0)
        return;
    const std::string records = quoteIdentifier(table);
    // A nested DELETE does not fire the trigger again, so the rows of the members it deletes
    // are deleted by the trigger itself, with the archive's.
    db.executeScript("BEGIN;CREATE TABLE IF NOT EXISTS " + kMembers +
                     " (\"Record\" INTEGER PRIMARY KEY, \"Archive\" INTEGER NOT NULL, \"Name\" "
                     "BLOB, \"Size\" INTEGER, \"Time\" INTEGER);"
                     "CREATE INDEX IF NOT EXISTS " +
                     quoteIdentifier(std::string(kMembersTable) + " By Archive") + " ON " +
                     kMembers + " (\"Archive\");CREATE TRIGGER IF NOT EXISTS " +
                     quoteIdentifier(kTrigger) + " AFTER DELETE ON " + records +
                     " BEGIN DELETE FROM " + records + " WHERE \"Id\" IN (SELECT \"Record\" FROM " +
                     kMembers + " WHERE \"Archive\" = old.\"Id\"); DELETE FROM " + kMembers +
                     " WHERE \"Record\" = old.\"Id\" OR \"Archive\" = old.\"Id\"; END;COMMIT;");
}

void forgetDiskMembers(Database& db, const std::string& table, const std::string& diskId) {
    if (!hasMemberTable(db))
        return;
    db.execute("DELETE FROM " + kMembers + " WHERE \"Archive\" IN (SELECT \"Id\" FROM " +
                   quoteIdentifier(table) + " WHERE \"Disk ID\" = ?1)",
               {Value(diskId)});
}

void forgetArchiveMembers(Database& db, const std::string& table, std::int64_t archive) {
    if (!hasMemberTable(db))
        return;
    db.execute("DELETE FROM " + quoteIdentifier(table) +
                   " WHERE \"Id\" IN (SELECT \"Record\" FROM " + kMembers +
                   " WHERE \"Archive\" = ?1)",
               {Value(archive)});
    db.execute("DELETE FROM " + kMembers + " WHERE \"Archive\" = ?1", {Value(archive)});
}

void forgetAllMembers(Database& db) {
    db.executeScript("DROP TRIGGER IF EXISTS " + quoteIdentifier(kTrigger) + ";");
    if (hasMemberTable(db))
        db.executeScript("DELETE FROM " + kMembers + ";");
}

MemberRecord memberRecord(const std::string& storedArchivePath, const ArchiveMember& member) {
    MemberRecord record;
    // The separator is ASCII, so the archive's stored (upper-cased) path and the member's
    // upper-cased path make the upper-cased whole.
    record.upperPath = storedArchivePath;
    record.upperPath.append(kMemberSeparator);
    platform::appendUpperCase(member.path, record.upperPath);
    record.upperName = record.upperPath.substr(record.upperPath.rfind('/') + 1);
    return record;
}

void writeMembers(Database& db, const std::string& table, const std::string& diskId,
                  std::int64_t archive, const std::string& storedArchivePath,
                  const std::vector<ArchiveMember>& members) {
    Statement add = db.prepareInBatch("INSERT INTO " + quoteIdentifier(table) +
                                      " (\"File Name\", \"File Path\", \"Disk ID\", "
                                      "\"File Size\") VALUES (?1, ?2, ?3, ?4)");
    MembersWriter rows(db);
    for (const ArchiveMember& member : members) {
        const MemberRecord record = memberRecord(storedArchivePath, member);
        rows.add(archive, member.path, member.size, member.modified);
        add.reset();
        add.bindText(1, record.upperName);
        add.bindText(2, record.upperPath);
        add.bindText(3, diskId);
        add.bindInteger(4, static_cast<std::int64_t>(std::min<std::uint64_t>(
                               member.size, std::numeric_limits<std::int64_t>::max())));
        add.step();
        rows.setRecord(db.lastInsertRowId());
    }
    rows.flush(0);
}

namespace {

std::string memberQuery(const std::string& table) {
    return "SELECT m.\"Archive\", m.\"Name\", m.\"Size\", m.\"Time\", a.\"File Path\" FROM " +
           kMembers + " m JOIN " + quoteIdentifier(table) +
           " a ON a.rowid = m.\"Archive\" WHERE m.\"Record\" = ?1";
}

ArchivedRecord archivedOf(Statement& row) {
    ArchivedRecord member;
    member.archive = row.columnInteger(0);
    member.realPath = row.columnValue(1).asString();
    member.size = static_cast<std::uint64_t>(std::max<std::int64_t>(row.columnInteger(2), 0));
    member.modified = row.columnInteger(3);
    member.archiveStoredPath = row.columnValue(4).asString();
    return member;
}

} // namespace

std::optional<ArchivedRecord> archivedRecord(Database& db, const std::string& table,
                                             std::int64_t record) {
    if (!hasMemberTable(db))
        return std::nullopt;
    Statement row = db.prepare(memberQuery(table));
    row.bindInteger(1, record);
    if (!row.step())
        return std::nullopt;
    return archivedOf(row);
}

MemberFactsReader::MemberFactsReader(Database& db, const std::string& table) {
    if (hasMemberTable(db))
        member_ = std::make_unique<Statement>(db.prepare(memberQuery(table)));
}

std::optional<RecordedPath> MemberFactsReader::factsOf(std::int64_t record,
                                                       RecordedFactsReader& files) {
    if (!member_)
        return std::nullopt;
    member_->reset();
    member_->bindInteger(1, record);
    if (!member_->step())
        return std::nullopt;
    const ArchivedRecord member = archivedOf(*member_);
    if (member.archive != lastArchive_ || lastArchive_ == 0) {
        lastArchive_ = member.archive;
        const std::string& stored = member.archiveStoredPath;
        archiveFacts_ = files.factsOf(member.archive, stored.substr(stored.rfind('/') + 1));
    }
    if (!archiveFacts_)
        return std::nullopt;
    return memberFactsOf(*archiveFacts_, member);
}

RecordedPath memberFactsOf(const RecordedPath& archiveFacts, const ArchivedRecord& member) {
    return {archiveFacts.scanId,
            archiveFacts.path + std::string(kMemberSeparator) + member.realPath, member.modified};
}

void MembersWriter::add(std::int64_t archive, std::string realPath, std::uint64_t size,
                        std::int64_t modified) {
    const auto kept = static_cast<std::int64_t>(
        std::min<std::uint64_t>(size, std::numeric_limits<std::int64_t>::max()));
    members_.push_back({0, archive, std::move(realPath), kept, modified});
}

void MembersWriter::setRecord(std::int64_t record) {
    if (!members_.empty())
        members_.back().record = record;
}

void MembersWriter::flush(std::int64_t lastRecord) {
    if (members_.empty())
        return;
    Statement insert =
        db_.prepareInBatch("INSERT OR REPLACE INTO " + kMembers + " VALUES (?1, ?2, ?3, ?4, ?5)");
    for (const Member& member : members_) {
        insert.reset();
        insert.bindInteger(1, member.record != 0 ? member.record : lastRecord);
        insert.bindInteger(2, member.archive);
        insert.bindBlob(3, member.realPath);
        insert.bindInteger(4, member.size);
        insert.bindInteger(5, member.modified);
        insert.step();
    }
    members_.clear();
}

} // namespace katalox::store
