#include "store/search/SearchIndex.h"

#include "platform/Error.h"
#include "store/search/DotGramIndex.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"
#include "store/sqlite/Statement.h"

namespace katalox::store {

namespace {

void run(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : sqlite3_errmsg(db);
        sqlite3_free(error);
        throwEngineError(sqlite3_errcode(db), message);
    }
}

// Runs `work` in one transaction that takes the write lock at once; undone on failure.
template <typename Work> bool inImmediateTransaction(sqlite3* db, Work&& work) {
    run(db, "BEGIN IMMEDIATE");
    try {
        const bool done = work();
        run(db, "COMMIT");
        return done;
    } catch (const EngineError&) {
        if (!sqlite3_get_autocommit(db))
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

// Steps `statement` once with its parameters bound and gives its first column.
std::int64_t firstInteger(Statement& statement, std::initializer_list<std::int64_t> parameters) {
    statement.reset();
    int index = 0;
    for (const std::int64_t parameter : parameters)
        statement.bindInteger(++index, parameter);
    if (!statement.step())
        throw EngineError("The statement gave no row");
    return statement.columnInteger(0);
}

void runBound(sqlite3* db, const std::string& sql, std::initializer_list<std::int64_t> parameters) {
    Statement statement(db, sql);
    int index = 0;
    for (const std::int64_t parameter : parameters)
        statement.bindInteger(++index, parameter);
    while (statement.step()) {
    }
}

} // namespace

SearchIndexNames::SearchIndexNames(const std::string& name)
    : table(quoteIdentifier(name)), index(quoteIdentifier(name + "Search")),
      mark(quoteIdentifier(name + "SearchMark")), stale(quoteIdentifier(name + "SearchStale")),
      indexName(name + "Search"), dots(quoteIdentifier(name + "SearchDots")),
      dotsName(name + "SearchDots"), dotsStale(quoteIdentifier(name + "SearchDotsStale")),
      replaced(quoteIdentifier(name + "SearchReplaced")), replacedName(name + "SearchReplaced"),
      insertTrigger(quoteIdentifier(name + "SearchInsert")),
      deleteTrigger(quoteIdentifier(name + "SearchDelete")),
      updateTrigger(quoteIdentifier(name + "SearchUpdate")),
      beforeInsertTrigger(quoteIdentifier(name + "SearchBeforeInsert")),
      beforeUpdateTrigger(quoteIdentifier(name + "SearchBeforeUpdate")),
      triggerNames{name + "SearchInsert", name + "SearchDelete", name + "SearchUpdate",
                   name + "SearchBeforeInsert", name + "SearchBeforeUpdate"} {}

namespace {

// The statements of the triggers. None of them relies on a conflict clause of its own: the
// statement that fires a trigger imposes its own (an UPSERT's ABORT, a REPLACE) on every
// statement of the trigger, so a note is only added where none is yet.
class TriggerText {
public:
    explicit TriggerText(const std::string& table) : n(table) {}

    std::string indexed(const std::string& id) const {
        return id + " <= (SELECT upTo FROM " + n.mark + ")";
    }
    // What the index holds of a record `id` with `name`, `path` (a select), taken out.
    std::string removeFromIndex(const std::string& select) const {
        return "INSERT INTO " + n.index + "(" + quoteIdentifier(n.indexName) +
               ", rowid, \"File Name\", \"File Path\") SELECT 'delete', " + select + "; ";
    }
    std::string addToIndex(const std::string& select) const {
        return "INSERT INTO " + n.index + "(rowid, \"File Name\", \"File Path\") SELECT " + select +
               "; ";
    }
    // Notes that the dots index holds the tokens of `path` for `id`, unless `id` is noted;
    // `from` and `where` read them from a table.
    std::string noteDots(const std::string& id, const std::string& path,
                         const std::string& from = {}, const std::string& where = "1") const {
        return "INSERT INTO " + n.dotsStale + " SELECT " + id + ", " + path + from + " WHERE " +
               where + " AND " + indexed(id) + " AND NOT EXISTS (SELECT 1 FROM " + n.dotsStale +
               " WHERE id = " + id + "); ";
    }
    // A deleted record that left its values in the index, now under a new record's Id.
    std::string clearStale(const std::string& id) const {
        return removeFromIndex("id, name, path FROM " + n.stale + " WHERE id = " + id) +
               "DELETE FROM " + n.stale + " WHERE id = " + id + "; ";
    }
    std::string captureReplaced(const std::string& id) const {
        return "DELETE FROM " + n.replaced + " WHERE id = " + id + "; INSERT INTO " + n.replaced +
               " SELECT \"Id\", \"File Name\", \"File Path\" FROM " + n.table +
               " WHERE \"Id\" = " + id + "; ";
    }
    // The record the statement replaced, when `when` holds, out of the indexes.
    std::string takeOutReplaced(const std::string& id, const std::string& when) const {
        const std::string where = "id = " + id + " AND " + when;
        return removeFromIndex("id, name, path FROM " + n.replaced + " WHERE " + where) +
               noteDots(id, "path", " FROM " + n.replaced, where);
    }
    std::string forgetReplaced(const std::string& ids) const {
        return "DELETE FROM " + n.replaced + " WHERE id IN (" + ids + "); ";
    }

    const SearchIndexNames n;
};

} // namespace

std::string createTriggersSql(const std::string& table) {
    const TriggerText t(table);
    const SearchIndexNames& n = t.n;
    const std::string newRecord = "new.\"Id\", new.\"File Name\", new.\"File Path\"";
    const std::string oldRecord = "old.\"Id\", old.\"File Name\", old.\"File Path\"";
    return "CREATE TRIGGER " + n.beforeInsertTrigger + " BEFORE INSERT ON " + n.table +
           " WHEN new.\"Id\" IS NOT NULL AND " + t.indexed("new.\"Id\"") + " BEGIN " +
           t.captureReplaced("new.\"Id\"") +
           "END;"
           "CREATE TRIGGER " +
           n.beforeUpdateTrigger + " BEFORE UPDATE OF \"Id\" ON " + n.table +
           " WHEN new.\"Id\" IS NOT old.\"Id\" AND " + t.indexed("new.\"Id\"") + " BEGIN " +
           t.captureReplaced("new.\"Id\"") +
           "END;"
           "CREATE TRIGGER " +
           n.insertTrigger + " AFTER INSERT ON " + n.table + " WHEN " + t.indexed("new.\"Id\"") +
           " BEGIN " + t.takeOutReplaced("new.\"Id\"", "1") + t.forgetReplaced("new.\"Id\"") +
           t.clearStale("new.\"Id\"") + t.noteDots("new.\"Id\"", "NULL") + t.addToIndex(newRecord) +
           "END;"
           "CREATE TRIGGER " +
           n.deleteTrigger + " AFTER DELETE ON " + n.table + " WHEN " + t.indexed("old.\"Id\"") +
           " BEGIN " + t.forgetReplaced("old.\"Id\"") +
           t.noteDots("old.\"Id\"", "old.\"File Path\"") + "DELETE FROM " + n.stale +
           " WHERE id = old.\"Id\"; INSERT INTO " + n.stale + " VALUES (" + oldRecord +
           "); END;"
           "CREATE TRIGGER " +
           n.updateTrigger + " AFTER UPDATE OF \"Id\", \"File Name\", \"File Path\" ON " + n.table +
           " BEGIN " + t.takeOutReplaced("new.\"Id\"", "new.\"Id\" IS NOT old.\"Id\"") +
           t.forgetReplaced("old.\"Id\", new.\"Id\"") +
           t.noteDots("old.\"Id\"", "old.\"File Path\"") +
           t.removeFromIndex(oldRecord + " WHERE " + t.indexed("old.\"Id\"")) +
           t.clearStale("new.\"Id\"") + t.noteDots("new.\"Id\"", "NULL") +
           t.addToIndex(newRecord + " WHERE " + t.indexed("new.\"Id\"")) + "END;";
}

bool hasSearchTriggers(Database& db, const std::string& table) {
    const SearchIndexNames n(table);
    Statement count = db.prepare("SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND "
                                 "tbl_name = ?1 AND name = ?2");
    for (const std::string& name : n.triggerNames) {
        count.reset();
        count.bindText(1, table);
        count.bindText(2, name);
        if (!count.step() || count.columnInteger(0) == 0)
            return false;
    }
    return true;
}

bool newRecordsLieAboveTheMark(Database& db, const std::string& table) {
    const SearchIndexNames n(table);
    return db.integerOf("SELECT upTo <= newest AND newest < 9223372036854775807 FROM " + n.mark +
                        ", (SELECT coalesce(max(rowid), 0) AS newest FROM " + n.table + ")") != 0;
}

std::string dropTriggersSql(const std::string& table) {
    const SearchIndexNames n(table);
    std::string sql;
    for (const std::string& name : n.triggerNames)
        sql += "DROP TRIGGER IF EXISTS " + quoteIdentifier(name) + ";";
    return sql;
}

std::string createSearchIndexSql(const std::string& table, std::int64_t mark) {
    const SearchIndexNames n(table);
    return "CREATE VIRTUAL TABLE " + n.index +
           " USING fts5(\"File Name\", \"File Path\", content=" + quoted(table, '\'') +
           ", content_rowid='Id', tokenize='trigram case_sensitive 1', detail=none, "
           "columnsize=0);"
           "CREATE TABLE IF NOT EXISTS " +
           n.mark + " (upTo INTEGER NOT NULL); DELETE FROM " + n.mark + "; INSERT INTO " + n.mark +
           " VALUES (" + std::to_string(mark) + "); CREATE TABLE IF NOT EXISTS " + n.stale +
           " (id INTEGER PRIMARY KEY, name, path); CREATE VIRTUAL TABLE " + n.dots +
           " USING fts5(g1, g2, g3, content='', tokenize='trigram case_sensitive 1', detail=none, "
           "columnsize=0); CREATE TABLE IF NOT EXISTS " +
           n.dotsStale + " (id INTEGER PRIMARY KEY, path);" + createReplacedTableSql(table) +
           createTriggersSql(table);
}

std::string createReplacedTableSql(const std::string& table) {
    return "CREATE TABLE IF NOT EXISTS " + SearchIndexNames(table).replaced +
           " (id INTEGER PRIMARY KEY, name, path);";
}

bool hasReplacedTable(Database& db, const std::string& table) {
    return db.integerOf("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?1",
                        {Value(SearchIndexNames(table).replacedName)}) > 0;
}

std::string dropSearchIndexSql(const std::string& table) {
    const SearchIndexNames n(table);
    std::string sql = dropTriggersSql(table);
    for (const std::string* part :
         {&n.index, &n.mark, &n.stale, &n.dots, &n.dotsStale, &n.replaced})
        sql += "DROP TABLE IF EXISTS " + *part + ";";
    return sql;
}

IndexMark searchIndexMark(Database& db, const std::string& table) {
    const SearchIndexNames n(table);
    try {
        Statement statement =
            db.prepare("SELECT upTo FROM " + n.mark +
                       " WHERE (SELECT count(*) FROM sqlite_master WHERE name IN (?1, ?2)) = 2");
        statement.bindText(1, n.indexName);
        statement.bindText(2, n.dotsName);
        if (!statement.step() || !statement.columnIsInteger(0))
            return {};
        return {true, statement.columnInteger(0)};
    } catch (const EngineError&) {
        return {};
    }
}

bool indexMoreRecords(sqlite3* db, const std::string& table, int records) {
    const SearchIndexNames n(table);
    return inImmediateTransaction(db, [&] {
        Statement markNow(db, "SELECT upTo FROM " + n.mark);
        const std::int64_t mark = firstInteger(markNow, {});
        Statement step(db, "SELECT count(*), max(\"Id\") FROM (SELECT \"Id\" FROM " + n.table +
                               " WHERE \"Id\" > ?1 ORDER BY \"Id\" LIMIT ?2)");
        const std::int64_t found = firstInteger(step, {mark, records});
        const std::int64_t last = step.columnInteger(1);
        if (found > 0) {
            runBound(db,
                     "INSERT INTO " + n.index +
                         "(rowid, \"File Name\", \"File Path\") SELECT \"Id\", \"File Name\", "
                         "\"File Path\" FROM " +
                         n.table + " WHERE \"Id\" > ?1 AND \"Id\" <= ?2",
                     {mark, last});
            indexDotGrams(db, table, mark, last);
            runBound(db, "UPDATE " + n.mark + " SET upTo = ?1", {last});
        }
        return found < records;
    });
}

bool clearStaleRecords(sqlite3* db, const std::string& table, int records) {
    const SearchIndexNames n(table);
    const std::string first = "SELECT id FROM " + n.stale + " ORDER BY id LIMIT ?1";
    return inImmediateTransaction(db, [&] {
        runBound(
            db,
            "INSERT INTO " + n.index + "(" + quoteIdentifier(n.indexName) +
                ", rowid, \"File Name\", \"File Path\") SELECT 'delete', id, name, path FROM " +
                n.stale + " WHERE id IN (" + first + ")",
            {records});
        runBound(db, "DELETE FROM " + n.stale + " WHERE id IN (" + first + ")", {records});
        const bool gramsDone = refreshStaleDotGrams(db, table, records);
        Statement left(db, "SELECT NOT EXISTS (SELECT 1 FROM " + n.stale + ")");
        return gramsDone && firstInteger(left, {}) != 0;
    });
}

bool searchIndexNeedsWork(Database& db, const std::string& table) {
    const IndexMark mark = searchIndexMark(db, table);
    if (!mark.present)
        return false;
    return db.integerOf("SELECT max(rowid) FROM " + quoteIdentifier(table)) > mark.upTo ||
           hasStaleRecords(db, table);
}

bool hasStaleRecords(Database& db, const std::string& table) {
    try {
        const SearchIndexNames n(table);
        return db.integerOf("SELECT EXISTS (SELECT 1 FROM " + n.stale +
                            ") OR EXISTS (SELECT 1 FROM " + n.dotsStale + ")") != 0;
    } catch (const EngineError&) {
        return false;
    }
}

void emptyTableAndIndex(Database& db, const std::string& table) {
    const SearchIndexNames n(table);
    if (!searchIndexMark(db, table).present) {
        db.execute("DELETE FROM " + n.table);
        return;
    }
    // Without triggers the engine drops the records in one go instead of one by one.
    db.executeScript(dropTriggersSql(table));
    db.execute("DELETE FROM " + n.table);
    db.execute("INSERT INTO " + n.index + "(" + quoteIdentifier(n.indexName) +
               ") VALUES ('delete-all')");
    db.execute("DELETE FROM " + n.stale);
    db.execute("INSERT INTO " + n.dots + "(" + quoteIdentifier(n.dotsName) +
               ") VALUES ('delete-all')");
    db.execute("DELETE FROM " + n.dotsStale);
    db.executeScript(createReplacedTableSql(table) + "DELETE FROM " + n.replaced + ";" +
                     createTriggersSql(table));
}

} // namespace katalox::store
