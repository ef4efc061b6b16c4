#include "store/search/SearchIndexUpkeep.h"

#include "platform/Error.h"
#include "store/search/EveryRecord.h"
#include "store/search/SearchIndex.h"
#include "store/search/SearchIndexBuilder.h"
#include "store/sqlite/SqlText.h"

#include <limits>

namespace katalox::store {

SearchIndexUpkeep::SearchIndexUpkeep(Database& db, std::string table)
    : db_(db), table_(std::move(table)) {
    if (db_.readOnly())
        return;
    IndexMark mark = searchIndexMark(db_, table_);
    if (!mark.present) {
        try {
            db_.prepare("SELECT \"Id\", \"File Name\", \"File Path\" FROM " +
                        quoteIdentifier(table_));
            const NoWaiting noWaiting(db_);
            db_.executeScript(
                "BEGIN IMMEDIATE;" + dropSearchIndexSql(table_) +
                createSearchIndexSql(table_, std::numeric_limits<std::int64_t>::min()) + "COMMIT;");
        } catch (const EngineError&) {
            db_.rollbackOpenTransaction();
            return;
        }
        mark = searchIndexMark(db_, table_);
    } else if (!hasReplacedTable(db_, table_)) {
        // An index made before the table of replaced records: its triggers are made anew, in
        // one transaction, so that every statement another program writes keeps it right.
        try {
            const NoWaiting noWaiting(db_);
            db_.executeScript("BEGIN IMMEDIATE;" + createReplacedTableSql(table_) +
                              dropTriggersSql(table_) + createTriggersSql(table_) + "COMMIT;");
        } catch (const EngineError&) {
            db_.rollbackOpenTransaction();
        }
    }
    if (mark.present && (!hasUnlistedIndex(db_, table_) || searchIndexNeedsWork(db_, table_)))
        builder_ = std::make_unique<SearchIndexBuilder>(db_.path(), table_);
}

SearchIndexUpkeep::~SearchIndexUpkeep() = default;

void SearchIndexUpkeep::afterChanges() {
    if (builder_ && !builder_->finished())
        return;
    if (searchIndexNeedsWork(db_, table_))
        builder_ = std::make_unique<SearchIndexBuilder>(db_.path(), table_);
}

void SearchIndexUpkeep::finishNow() {
    afterChanges();
    if (builder_)
        builder_->finishNow();
}

void SearchIndexUpkeep::stop() {
    builder_.reset();
}

void SearchIndexUpkeep::batchOpening(Database& db) {
    triggersDropped_ = hasSearchTriggers(db, table_) && newRecordsLieAboveTheMark(db, table_);
    if (triggersDropped_)
        db.runInBatch(dropTriggersSql(table_));
}

void SearchIndexUpkeep::batchCannotClose(Database& db) {
    // Taking out the mark frees room instead of taking it: without it the index counts as
    // missing, listings run without it, and it is made anew the next time the file is opened.
    db.runInBatch(dropTriggersSql(table_) + "DELETE FROM " + SearchIndexNames(table_).mark + ";");
    triggersDropped_ = false;
}

void SearchIndexUpkeep::batchClosing(Database& db) {
    if (triggersDropped_)
        db.runInBatch(createTriggersSql(table_));
    triggersDropped_ = false;
}

} // namespace katalox::store
