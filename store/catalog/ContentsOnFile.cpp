#include "store/catalog/ContentsOnFile.h"

#include "platform/Paths.h"
#include "platform/Utf8.h"
#include "store/archives/ArchiveListing.h"
#include "store/archives/ArchiveMembers.h"
#include "store/catalog/DiskContents.h"
#include "store/facts/FactTables.h"
#include "store/facts/RealName.h"
#include "store/facts/RecordedFacts.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

#include <algorithm>

namespace katalox::store {

namespace {

constexpr char kSeparator = platform::kPathSeparator;

std::size_t partsIn(std::string_view path) {
    return static_cast<std::size_t>(std::count(path.begin(), path.end(), kSeparator));
}

std::string idList(const std::vector<std::int64_t>& ids) {
    std::string list;
    for (const std::int64_t id : ids)
        list += (list.empty() ? "" : ",") + std::to_string(id);
    return list;
}

} // namespace

RealMemberNames::RealMemberNames(std::unique_ptr<RecordedFactsReader> facts)
    : facts_(std::move(facts)) {}

RealMemberNames::~RealMemberNames() = default;

std::string RealMemberNames::of(const std::string& storedPath, std::int64_t archive,
                                const std::string& memberPath) {
    const std::size_t inside = storedPath.find(kMemberSeparator);
    if (inside == std::string::npos || inside == 0 ||
        partsIn(memberPath) != partsIn(std::string_view(storedPath).substr(inside + 2)))
        return storedPath;
    const std::size_t nameAt = storedPath.rfind(kSeparator, inside - 1) + 1;
    if (archive != lastArchive_) {
        lastArchive_ = archive;
        const std::string upperName = storedPath.substr(nameAt, inside - nameAt);
        const auto recorded = facts_->factsOf(archive, upperName);
        archiveName_ = recorded && platform::upperCase(recorded->path.substr(
                                       recorded->path.rfind(kSeparator) + 1)) == upperName
                           ? recorded->path.substr(recorded->path.rfind(kSeparator) + 1)
                           : upperName;
    }
    return storedPath.substr(0, nameAt) + archiveName_ + std::string(kMemberSeparator) + memberPath;
}

ContentsFile runFile(const std::vector<FileFact>& facts, std::int64_t first, std::int64_t record,
                     const std::string& upperName, std::int64_t size) {
    ContentsFile file;
    file.record = record;
    const FileFact& fact = facts[static_cast<std::size_t>(record - first)];
    file.name = realNameOf(fact.name, upperName);
    file.modified = fact.modified;
    file.size = size;
    return file;
}

FileContentsRows::FileContentsRows(std::shared_ptr<Database> db, std::string table)
    : db_(std::move(db)), table_(std::move(table)) {}

std::vector<RecordedScan> FileContentsRows::scans(const std::string& diskId) {
    return keepsRecordedScans(table_) ? recordedScans(*db_, diskId) : std::vector<RecordedScan>{};
}

std::vector<ContentsFolderRow> FileContentsRows::folders(const std::vector<std::int64_t>& scanIds) {
    std::vector<ContentsFolderRow> folders;
    if (scanIds.empty() || !hasFactTables(*db_))
        return folders;
    Statement rows =
        db_->prepare("SELECT \"Id\", \"Scan\", \"Parent\", \"Name\", \"Files\", \"Bytes\" FROM " +
                     quoteIdentifier(kFoldersTable) + " WHERE \"Scan\" IN (" + idList(scanIds) +
                     ") ORDER BY \"Id\"");
    while (rows.step()) {
        const Value parent = rows.columnValue(2);
        folders.push_back({rows.columnInteger(0), rows.columnInteger(1),
                           parent.isNull() ? std::nullopt : std::optional(parent.asInteger()),
                           rows.columnValue(3).asString(), rows.columnInteger(4),
                           rows.columnInteger(5)});
    }
    return folders;
}

std::int64_t FileContentsRows::recordCount(const std::string& diskId) {
    return db_->integerOf("SELECT count(*) FROM " + quoteIdentifier(table_) +
                              " WHERE \"Disk ID\" = ?1",
                          {Value(diskId)});
}

void FileContentsRows::looseRecords(const std::string& diskId, bool withoutOwnFacts,
                                    const std::vector<std::int64_t>& ownFolders,
                                    const std::function<void(LooseRecord&)>& each) {
    const std::string withoutOwn = " AND (" + factsDroppedSql("r.rowid") +
                                   " OR NOT EXISTS (SELECT 1 FROM " + quoteIdentifier(kFactsTable) +
                                   " x WHERE x.\"First Record\" = " + runHoldingSql("r.rowid") +
                                   " AND x.\"Folder\" IN (" + idList(ownFolders) + ")))";
    // Members of archives are named as their rows of ours keep them, in their real case.
    const bool members = hasMemberTable(*db_);
    Statement rows = db_->prepare(
        "SELECT r.rowid, r.\"File Path\", r.\"File Size\"" +
        (members ? ", m.\"Archive\", m.\"Name\" FROM " + quoteIdentifier(table_) + " r LEFT JOIN " +
                       quoteIdentifier(kMembersTable) + " m ON m.\"Record\" = r.rowid"
                 : " FROM " + quoteIdentifier(table_) + " r") +
        " WHERE r.\"Disk ID\" = ?1" + (withoutOwnFacts ? withoutOwn : std::string()));
    rows.bindText(1, diskId);
    std::optional<RealMemberNames> realNames;
    if (members)
        realNames.emplace(std::make_unique<RecordedFactsReader>(*db_));
    LooseRecord loose;
    while (rows.step()) {
        loose.record = rows.columnInteger(0);
        loose.path = rows.columnValue(1).asString();
        loose.size = rows.columnInteger(2);
        loose.names =
            members && !rows.columnValue(4).isNull()
                ? realNames->of(loose.path, rows.columnInteger(3), rows.columnValue(4).asString())
                : loose.path;
        each(loose);
    }
}

std::vector<ContentsFile> FileContentsRows::filesOf(std::int64_t folder,
                                                    const std::string& diskId) {
    std::vector<ContentsFile> files;
    Statement runs =
        db_->prepare("SELECT \"First Record\", \"Records\", \"Names\", \"Times\" FROM " +
                     quoteIdentifier(kFactsTable) + " WHERE \"Folder\" = ?1");
    runs.bindInteger(1, folder);
    // Each run's records in one range of row ids.
    Statement records = db_->prepare(
        "SELECT r.rowid, r.\"File Name\", r.\"File Size\" FROM " + quoteIdentifier(table_) +
        " r WHERE r.rowid >= ?1 AND r.rowid < ?2 AND r.\"Disk ID\" = ?3 AND NOT " +
        factsDroppedSql("r.rowid"));
    while (runs.step()) {
        const std::int64_t first = runs.columnInteger(0);
        const std::vector<FileFact> facts =
            unpackFacts(runs.columnValue(2).asString(), runs.columnValue(3).asString(),
                        static_cast<std::size_t>(std::max<std::int64_t>(runs.columnInteger(1), 0)));
        records.reset();
        records.bindInteger(1, first);
        records.bindInteger(2, first + static_cast<std::int64_t>(facts.size()));
        records.bindText(3, diskId);
        while (records.step())
            files.push_back(runFile(facts, first, records.columnInteger(0),
                                    records.columnValue(1).asString(), records.columnInteger(2)));
    }
    return files;
}

std::optional<std::int64_t> FileContentsRows::folderOfRecord(std::int64_t record) {
    if (!hasFactTables(*db_))
        return std::nullopt;
    Statement folder = db_->prepare("SELECT \"Folder\" FROM " + quoteIdentifier(kFactsTable) +
                                    " WHERE \"First Record\" = " + runHoldingSql("?1") +
                                    " AND NOT " + factsDroppedSql("?1"));
    folder.bindInteger(1, record);
    if (!folder.step())
        return std::nullopt;
    return folder.columnInteger(0);
}

} // namespace katalox::store
