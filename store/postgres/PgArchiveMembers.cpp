#include "store/postgres/PgArchiveMembers.h"

#include "store/postgres/PgConnection.h"
#include "store/postgres/PgDiskChanges.h"
#include "store/postgres/PgInsert.h"
#include "store/postgres/PgText.h"
#include "store/sqlite/SqlText.h"

#include <algorithm>
#include <limits>
#include <map>

namespace katalox::store {

namespace {

std::int64_t keptSize(std::uint64_t size) {
    return static_cast<std::int64_t>(
        std::min<std::uint64_t>(size, std::numeric_limits<std::int64_t>::max()));
}

// `sql` with the names put in place of their marks (@ and a letter), in one pass, so that a
// name holding a mark is kept as it is.
std::string named(std::string_view sql, const std::map<char, std::string>& names) {
    std::string out;
    for (std::size_t at = 0; at < sql.size(); ++at) {
        const auto name =
            at + 1 < sql.size() && sql[at] == '@' ? names.find(sql[at + 1]) : names.end();
        if (name == names.end()) {
            out += sql[at];
        } else {
            out += name->second;
            ++at;
        }
    }
    return out;
}

} // namespace

std::string serverMembersTable(const std::string& table) {
    return table + " Archive Members";
}

void createServerMemberTables(PgConnection& db, const std::string& table) {
    const std::string records = quoteIdentifier(table);
    const std::string members = quoteIdentifier(serverMembersTable(table));
    const std::string deleted = quoteIdentifier(serverMembersTable(table) + " Deleted");
    const std::string emptied = quoteIdentifier(serverMembersTable(table) + " Emptied");
    db.execute("CREATE TABLE " + members +
               " (\"Record\" bigint PRIMARY KEY, \"Archive\" bigint NOT NULL, \"Name\" text,"
               " \"Size\" bigint, \"Time\" bigint)");
    db.execute("CREATE INDEX " + quoteIdentifier(serverMembersTable(table) + " By Archive") +
               " ON " + members + " (\"Archive\")");
    // Once for each statement, over all the records it deleted: a Disk ID's records go with a
    // few joins rather than a look-up each. The members' records deleted here run it again,
    // which deletes their rows and, finding no members of theirs, deletes nothing more (a
    // statement trigger runs even for a statement that deletes nothing).
    db.execute(named("CREATE FUNCTION @d() RETURNS trigger LANGUAGE plpgsql AS $body$ BEGIN "
                     "DELETE FROM @m m USING gone g WHERE m.\"Record\" = g.\"Id\"; "
                     "IF EXISTS (SELECT FROM @m m JOIN gone g ON m.\"Archive\" = g.\"Id\") THEN "
                     "WITH held AS (DELETE FROM @m m USING gone g WHERE m.\"Archive\" = g.\"Id\" "
                     "RETURNING m.\"Record\") "
                     "DELETE FROM @r r USING held h WHERE r.\"Id\" = h.\"Record\"; "
                     "END IF; RETURN NULL; END $body$",
                     {{'d', deleted}, {'m', members}, {'r', records}}));
    db.execute("CREATE TRIGGER " + deleted + " AFTER DELETE ON " + records +
               " REFERENCING OLD TABLE AS gone FOR EACH STATEMENT EXECUTE FUNCTION " + deleted +
               "()");
    db.execute("CREATE FUNCTION " + emptied +
               "() RETURNS trigger LANGUAGE plpgsql AS $body$ BEGIN TRUNCATE " + members +
               "; RETURN NULL; END $body$");
    db.execute("CREATE TRIGGER " + emptied + " AFTER TRUNCATE ON " + records +
               " FOR EACH STATEMENT EXECUTE FUNCTION " + emptied + "()");
}

std::optional<ArchivedRecord> archivedServerRecord(PgConnection& db, const std::string& table,
                                                   std::int64_t record) {
    const PgResult row = db.execute(
        "SELECT m.\"Archive\", m.\"Name\", m.\"Size\", m.\"Time\", a.\"File Path\" FROM " +
            quoteIdentifier(serverMembersTable(table)) + " m JOIN " + quoteIdentifier(table) +
            " a ON a.\"Id\" = m.\"Archive\" WHERE m.\"Record\" = $1",
        {std::to_string(record)});
    if (row.rows() == 0)
        return std::nullopt;
    ArchivedRecord member;
    member.archive = row.integer(0, 0);
    member.realPath = fromServerText(row.text(0, 1));
    member.size = static_cast<std::uint64_t>(std::max<std::int64_t>(row.integer(0, 2), 0));
    member.modified = row.integer(0, 3);
    member.archiveStoredPath = fromServerText(row.text(0, 4));
    return member;
}

PgMembersInsert::PgMembersInsert(PgInsert& insert, const std::string& table,
                                 std::optional<ArchiveLimits> archives)
    : insert_(insert), table_(table), archives_(std::move(archives)) {
    insert_.addBatchClosing([this](PgConnection& db) { writeRows(db); });
}

void PgMembersInsert::addFile(std::int64_t record, const std::string& path,
                              const std::string& diskId) {
    if (!looksInside(archives_, path))
        return;
    const ArchiveInsertCounts found =
        insertArchiveMembers(path, *archives_, [&](const ArchiveMember& member) {
            // Upper-casing goes character by character and the separator is ASCII, so the
            // insert names the record as memberRecord() does.
            const std::int64_t size = keptSize(member.size);
            const std::int64_t id =
                insert_.add(path + std::string(kMemberSeparator) + member.path, diskId, size);
            rows_.push_back({id, record, member.path, size, member.modified});
        });
    counts_.members += found.members;
    counts_.unreadArchives += found.unreadArchives;
    counts_.membersLeftOut += found.membersLeftOut;
}

void PgMembersInsert::writeRows(PgConnection& db) {
    if (rows_.empty())
        return;
    writeServerMemberRows(db, table_, rows_);
    for (const Row& row : rows_) {
        ++written_;
        writtenSize_ += row.size;
    }
    rows_.clear();
}

void writeServerMemberRows(PgConnection& db, const std::string& table,
                           const std::vector<ServerMemberRow>& rows) {
    if (rows.empty())
        return;
    // Each column as one array, so that the rows are one statement of five values.
    std::string records = "{", archives = "{", names = "{", sizes = "{", times = "{";
    for (const ServerMemberRow& row : rows) {
        const char* comma = records.size() > 1 ? "," : "";
        records.append(comma).append(std::to_string(row.record));
        archives.append(comma).append(std::to_string(row.archive));
        sizes.append(comma).append(std::to_string(row.size));
        times.append(comma).append(std::to_string(row.modified));
        names.append(comma).push_back('"');
        for (const char c : toServerText(row.realPath)) {
            if (c == '"' || c == '\\')
                names.push_back('\\');
            names.push_back(c);
        }
        names.push_back('"');
    }
    for (std::string* array : {&records, &archives, &names, &sizes, &times})
        array->push_back('}');
    db.execute("INSERT INTO " + quoteIdentifier(serverMembersTable(table)) +
                   " (\"Record\", \"Archive\", \"Name\", \"Size\", \"Time\") SELECT * FROM "
                   "unnest($1::bigint[], $2::bigint[], $3::text[], $4::bigint[], $5::bigint[])",
               {records, archives, names, sizes, times});
}

void writeServerMembers(PgConnection& db, const std::string& table, const std::string& diskId,
                        std::int64_t archive, const std::string& storedArchivePath,
                        const std::vector<ArchiveMember>& members) {
    if (members.empty())
        return;
    std::int64_t id = reserveRecordIdsInTransaction(db, table, members.size());
    std::vector<ServerRecordRow> records;
    std::vector<ServerMemberRow> rows;
    for (const ArchiveMember& member : members) {
        const MemberRecord named = memberRecord(storedArchivePath, member);
        const std::int64_t size = keptSize(member.size);
        records.push_back({id, named.upperName, named.upperPath, size});
        rows.push_back({id, archive, member.path, size, member.modified});
        ++id;
    }
    insertServerRecords(db, table, diskId, records);
    writeServerMemberRows(db, table, rows);
}

std::string forgetServerArchiveMembersStatement(const std::string& table) {
    return "DELETE FROM " + quoteIdentifier(table) + " WHERE \"Id\" IN (SELECT \"Record\" FROM " +
           quoteIdentifier(serverMembersTable(table)) + " WHERE \"Archive\" = $1)";
}

} // namespace katalox::store
