#include "store/facts/FactsOnFile.h"

#include "store/facts/FactTables.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

namespace katalox::store {

bool FileFactsSink::folderExists(std::int64_t folder) {
    return db_.integerOf("SELECT count(*) FROM " + quoteIdentifier(kFoldersTable) +
                             " WHERE \"Id\" = ?1",
                         {Value(folder)}) > 0;
}

std::vector<std::int64_t> FileFactsSink::addFolders(std::int64_t scanId,
                                                    const std::vector<NewFolder>& folders) {
    Statement insert = db_.prepareInBatch("INSERT INTO " + quoteIdentifier(kFoldersTable) +
                                          " (\"Scan\", \"Parent\", \"Name\", \"Files\", \"Bytes\")"
                                          " VALUES (?1, ?2, ?3, 0, 0)");
    std::vector<std::int64_t> ids;
    ids.reserve(folders.size());
    for (const NewFolder& folder : folders) {
        insert.reset();
        insert.bindInteger(1, scanId);
        if (folder.parentAt)
            insert.bindInteger(2, ids[*folder.parentAt]);
        else if (folder.parentId != 0)
            insert.bindInteger(2, folder.parentId);
        else
            insert.bind(2, Value());
        insert.bindText(3, folder.name);
        insert.step();
        ids.push_back(db_.lastInsertRowId());
    }
    return ids;
}

void FileFactsSink::addRuns(const std::vector<FactRun>& runs) {
    Statement insert = db_.prepareInBatch("INSERT OR REPLACE INTO " + quoteIdentifier(kFactsTable) +
                                          " VALUES (?1, ?2, ?3, ?4, ?5)");
    Statement undrop = db_.prepareInBatch("DELETE FROM " + quoteIdentifier(kDroppedTable) +
                                          " WHERE \"Record\" >= ?1 AND \"Record\" < ?2");
    for (const FactRun& run : runs) {
        insert.reset();
        insert.bindInteger(1, run.first);
        insert.bindInteger(2, run.count);
        insert.bindInteger(3, run.folder);
        insert.bindBlob(4, run.names);
        insert.bindBlob(5, run.times);
        insert.step();
        undrop.reset();
        undrop.bindInteger(1, run.first);
        undrop.bindInteger(2, run.first + run.count);
        undrop.step();
    }
}

void FileFactsSink::growFolders(const std::vector<FolderGrowth>& growths) {
    Statement grow = db_.prepareInBatch("UPDATE " + quoteIdentifier(kFoldersTable) +
                                        " SET \"Files\" = \"Files\" + ?1, \"Bytes\" = \"Bytes\" + "
                                        "?2 WHERE \"Id\" = ?3");
    for (const FolderGrowth& growth : growths) {
        grow.reset();
        grow.bindInteger(1, growth.files);
        grow.bindInteger(2, growth.bytes);
        grow.bindInteger(3, growth.folder);
        grow.step();
    }
}

FileFactsSource::FileFactsSource(Database& db) {
    if (!hasFactTables(db))
        return;
    const std::string facts = quoteIdentifier(kFactsTable);
    run_ = std::make_unique<Statement>(
        db.prepare("SELECT \"First Record\", \"Records\", \"Folder\", \"Names\", \"Times\" FROM " +
                   facts + " WHERE \"First Record\" = (SELECT max(\"First Record\") FROM " + facts +
                   " WHERE \"First Record\" <= ?1)"));
    const std::string dropped = quoteIdentifier(kDroppedTable);
    anyDropped_ = db.integerOf("SELECT count(*) FROM (SELECT 1 FROM " + dropped + " LIMIT 1)") > 0;
    dropped_ = std::make_unique<Statement>(
        db.prepare("SELECT 1 FROM " + dropped + " WHERE \"Record\" = ?1"));
    folder_ = std::make_unique<Statement>(db.prepare("SELECT \"Parent\", \"Name\", \"Scan\" FROM " +
                                                     quoteIdentifier(kFoldersTable) +
                                                     " WHERE \"Id\" = ?1"));
}

FileFactsSource::~FileFactsSource() = default;

std::optional<FactRun> FileFactsSource::runFrom(std::int64_t record) {
    if (!run_)
        return std::nullopt;
    run_->reset();
    run_->bindInteger(1, record);
    if (!run_->step())
        return std::nullopt;
    FactRun run{run_->columnInteger(0), run_->columnInteger(1), run_->columnInteger(2),
                run_->columnValue(3).asString(), run_->columnValue(4).asString()};
    run_->reset();
    return run;
}

bool FileFactsSource::dropped(std::int64_t record) {
    if (!anyDropped_)
        return false;
    dropped_->reset();
    dropped_->bindInteger(1, record);
    const bool found = dropped_->step();
    dropped_->reset();
    return found;
}

std::optional<FolderRow> FileFactsSource::folder(std::int64_t id) {
    if (!folder_)
        return std::nullopt;
    folder_->reset();
    folder_->bindInteger(1, id);
    if (!folder_->step())
        return std::nullopt;
    const Value parent = folder_->columnValue(0);
    FolderRow row{parent.isNull() ? std::nullopt : std::optional(parent.asInteger()),
                  folder_->columnValue(1).asString(), folder_->columnInteger(2)};
    folder_->reset();
    return row;
}

} // namespace katalox::store
