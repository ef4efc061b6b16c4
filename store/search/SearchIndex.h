#pragma once
// The substring index beside a catalogue table: an FTS5 table with the trigram tokenizer over
// "File Name" and "File Path" (external content on the table, letter case exact, no positions),
// a mark telling up to which "Id" the records are indexed, and triggers in the file that keep
// the indexed records right whoever writes the table (deleted records are taken out of the
// index later, in the background). Records above the mark are indexed by
// a builder in steps; until then listings search them without the index.
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

struct sqlite3;

namespace katalox::store {

class Database;

struct SearchIndexNames {
    explicit SearchIndexNames(const std::string& table);
    std::string table;     // all quoted
    std::string index;     // the FTS5 table
    std::string mark;      // one row, one column "upTo"
    std::string stale;     // what the index still holds of deleted records: id, name, path
    std::string indexName; // the FTS5 table's name unquoted, as its special column
    std::string dots;      // the FTS5 table of the tokens after dots (see DotGrams.h)
    std::string dotsName;  // unquoted
    // Records at or below the mark whose tokens the dots index may not hold right: id, and
    // the path whose tokens it holds for that id (NULL: none).
    std::string dotsStale;
    // A record about to be replaced by a record of its Id (INSERT OR REPLACE, an UPSERT, an
    // UPDATE OR REPLACE of "Id"), as the indexes hold it: id, name, path. The engine removes a
    // replaced record without telling the delete trigger, so the insert or update that replaced
    // it takes it out of the indexes.
    std::string replaced;
    std::string replacedName; // unquoted
    std::string insertTrigger, deleteTrigger, updateTrigger, beforeInsertTrigger,
        beforeUpdateTrigger;
    // The triggers' names, unquoted.
    std::vector<std::string> triggerNames;
};

// Statements making the index with its mark at `mark` and its triggers, and removing every
// part of it (an index of an older layout is made again).
std::string createSearchIndexSql(const std::string& table, std::int64_t mark);
std::string dropSearchIndexSql(const std::string& table);
std::string dropTriggersSql(const std::string& table);
std::string createTriggersSql(const std::string& table);
// The table of records about to be replaced (SearchIndexNames::replaced), which indexes made
// before it lack; the triggers need it.
std::string createReplacedTableSql(const std::string& table);
bool hasReplacedTable(Database& db, const std::string& table);
// True when the file holds every trigger of the index.
bool hasSearchTriggers(Database& db, const std::string& table);
// True when a record added without an Id of its own gets one above the mark: the engine gives
// it more than the highest Id there is (unless that is the highest Id possible).
bool newRecordsLieAboveTheMark(Database& db, const std::string& table);

// The mark: every record with an "Id" up to it is indexed. Empty when the file has no index,
// one of an older layout, or it cannot be read.
struct IndexMark {
    bool present = false;
    std::int64_t upTo = 0;
};
IndexMark searchIndexMark(Database& db, const std::string& table);

// Indexes up to `records` records above the mark in one transaction on `db` and moves the
// mark; returns true when every record is indexed. Records added later lie above the mark
// (triggers index only those at or below it), so inserting costs no more than without the
// index; the builder catches up afterwards. Throws EngineError on failure.
bool indexMoreRecords(sqlite3* db, const std::string& table, int records);

// Deleting records only notes what the index holds of them (the candidates it gives are
// checked against the table anyway); this takes up to `records` of them out of the index in
// one transaction, brings the tokens after dots of as many noted records up to date, and
// returns true when none is left.
bool clearStaleRecords(sqlite3* db, const std::string& table, int records);
bool hasStaleRecords(Database& db, const std::string& table);
// True when records lie above the mark or deleted ones are still in the index.
bool searchIndexNeedsWork(Database& db, const std::string& table);

// Empties the table and its index inside the caller's transaction, without a per-record
// trigger run.
void emptyTableAndIndex(Database& db, const std::string& table);

} // namespace katalox::store
