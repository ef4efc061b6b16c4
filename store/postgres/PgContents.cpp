#include "store/postgres/PgContents.h"

#include "store/catalog/DiskContents.h"
#include "store/facts/RecordedFacts.h"
#include "store/postgres/PgArchiveMembers.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgDisks.h"
#include "store/postgres/PgFacts.h"
#include "store/postgres/PgListing.h"
#include "store/postgres/PgText.h"
#include "store/sqlite/SqlText.h"

#include <algorithm>
#include <map>

namespace katalox::store {

namespace {

// The run of facts holding record `record` (an expression) and its folder, as a relation of
// one row or none.
std::string runHoldingSql(const std::string& table, const std::string& record) {
    return "(SELECT x.\"First Record\", x.\"Records\", x.\"Folder\" FROM " +
           quoteIdentifier(serverFactsTable(table)) + " x WHERE x.\"First Record\" <= " + record +
           " ORDER BY x.\"First Record\" DESC LIMIT 1) run WHERE run.\"First Record\" + "
           "run.\"Records\" > " +
           record;
}

std::string notDroppedSql(const std::string& table, const std::string& record) {
    return "NOT EXISTS (SELECT 1 FROM " + quoteIdentifier(serverDroppedTable(table)) +
           " d WHERE d.\"Record\" = " + record + ")";
}

} // namespace

ServerContentsRows::ServerContentsRows(std::shared_ptr<PgConnection> db, std::string table)
    : db_(std::move(db)), table_(std::move(table)) {}

std::vector<RecordedScan> ServerContentsRows::scans(const std::string& diskId) {
    std::vector<RecordedScan> scans = serverScans(*db_, table_);
    std::erase_if(scans, [&](const RecordedScan& scan) { return scan.diskId != diskId; });
    return scans;
}

std::vector<ContentsFolderRow>
ServerContentsRows::folders(const std::vector<std::int64_t>& scanIds) {
    const PgResult rows =
        db_->execute("SELECT \"Id\", \"Scan\", \"Parent\", \"Name\", \"Files\", \"Bytes\" FROM " +
                         quoteIdentifier(serverFoldersTable(table_)) +
                         " WHERE \"Scan\" = ANY($1::bigint[]) ORDER BY \"Id\"",
                     {bigintArray(scanIds)});
    std::vector<ContentsFolderRow> folders;
    folders.reserve(static_cast<std::size_t>(rows.rows()));
    for (int row = 0; row < rows.rows(); ++row)
        folders.push_back({rows.integer(row, 0), rows.integer(row, 1),
                           rows.isNull(row, 2) ? std::nullopt : std::optional(rows.integer(row, 2)),
                           fromServerText(rows.text(row, 3)), rows.integer(row, 4),
                           rows.integer(row, 5)});
    return folders;
}

std::int64_t ServerContentsRows::recordCount(const std::string& diskId) {
    return db_
        ->execute("SELECT count(*) FROM " + quoteIdentifier(table_) + " WHERE \"Disk ID\" = $1",
                  {toServerText(diskId)})
        .integer(0, 0);
}

void ServerContentsRows::looseRecords(const std::string& diskId, bool withoutOwnFacts,
                                      const std::vector<std::int64_t>& ownFolders,
                                      const std::function<void(LooseRecord&)>& each) {
    // Members of archives are named as their rows of ours keep them, in their real case.
    std::string select = "SELECT r.\"Id\", r.\"File Path\", r.\"File Size\", m.\"Archive\","
                         " m.\"Name\" FROM " +
                         quoteIdentifier(table_) + " r LEFT JOIN " +
                         quoteIdentifier(serverMembersTable(table_)) +
                         " m ON m.\"Record\" = r.\"Id\" WHERE r.\"Disk ID\" = $1";
    std::vector<PgParameter> parameters = {toServerText(diskId)};
    if (withoutOwnFacts) {
        select += " AND NOT EXISTS (SELECT 1 FROM " + runHoldingSql(table_, "r.\"Id\"") +
                  " AND run.\"Folder\" = ANY($2::bigint[]) AND " +
                  notDroppedSql(table_, "r.\"Id\"") + ")";
        parameters.emplace_back(bigintArray(ownFolders));
    }
    PgListing rows(*db_, select + " ORDER BY r.\"Id\"", parameters);
    RealMemberNames realNames(
        std::make_unique<RecordedFactsReader>(std::make_unique<ServerFactsSource>(*db_, table_)));
    LooseRecord loose;
    while (rows.next()) {
        loose.record = rows.integer(0);
        loose.path = fromServerText(rows.text(1));
        const std::string archive = rows.text(3);
        loose.names = archive.empty() ? loose.path
                                      : realNames.of(loose.path, std::stoll(archive),
                                                     fromServerText(rows.text(4)));
        loose.size = rows.integer(2);
        each(loose);
    }
}

std::vector<ContentsFile> ServerContentsRows::filesOf(std::int64_t folder,
                                                      const std::string& diskId) {
    const std::string facts = quoteIdentifier(serverFactsTable(table_));
    const PgResult runs = db_->execute("SELECT \"First Record\", \"Records\", \"Names\", \"Times\""
                                       " FROM " +
                                           facts + " WHERE \"Folder\" = $1",
                                       {std::to_string(folder)});
    std::map<std::int64_t, std::vector<FileFact>> byFirst;
    for (int row = 0; row < runs.rows(); ++row)
        byFirst.emplace(
            runs.integer(row, 0),
            unpackFacts(byteaBytes(runs.text(row, 2)), byteaBytes(runs.text(row, 3)),
                        static_cast<std::size_t>(std::max<std::int64_t>(runs.integer(row, 1), 0))));
    // The records of every run at once.
    const PgResult records =
        db_->execute("SELECT r.\"Id\", r.\"File Name\", r.\"File Size\" FROM " + facts +
                         " x JOIN " + quoteIdentifier(table_) +
                         " r ON r.\"Id\" >= x.\"First Record\" AND r.\"Id\" < x.\"First Record\" + "
                         "x.\"Records\" WHERE x.\"Folder\" = $1 AND r.\"Disk ID\" = $2 AND " +
                         notDroppedSql(table_, "r.\"Id\""),
                     {std::to_string(folder), toServerText(diskId)});
    std::vector<ContentsFile> files;
    files.reserve(static_cast<std::size_t>(records.rows()));
    for (int row = 0; row < records.rows(); ++row) {
        const std::int64_t record = records.integer(row, 0);
        auto run = byFirst.upper_bound(record);
        if (run == byFirst.begin())
            continue;
        --run;
        if (record - run->first >= static_cast<std::int64_t>(run->second.size()))
            continue; // the run's bytes are damaged
        files.push_back(runFile(run->second, run->first, record,
                                fromServerText(records.text(row, 1)), records.integer(row, 2)));
    }
    return files;
}

std::optional<std::int64_t> ServerContentsRows::folderOfRecord(std::int64_t record) {
    const std::string id = std::to_string(record);
    const PgResult folder =
        db_->execute("SELECT run.\"Folder\" FROM " + runHoldingSql(table_, "$1::bigint") + " AND " +
                         notDroppedSql(table_, "$1::bigint"),
                     {id});
    if (folder.rows() == 0)
        return std::nullopt;
    return folder.integer(0, 0);
}

} // namespace katalox::store
