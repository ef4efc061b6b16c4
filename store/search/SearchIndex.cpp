#include "store/search/SearchIndex.h"

#include "platform/Error.h"
#include "store/sqlite/Database.h"
#include "store/dialect/Dialect.h"
#include "store/search/DotGramIndex.h"
#include "store/sqlite/SqliteHandles.h"

namespace katalox::store {

namespace {

std::string textLiteral(const std::string& text) {
    std::string literal = "'";
    for (const char c : text) {
        literal += c;
        if (c == '\'')
            literal += '\'';
    }
    return literal + "'";
}

void run(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : sqlite3_errmsg(db);
        sqlite3_free(error);
        throw EngineError(message);
    }
}

std::int64_t stepInteger(sqlite3* db, const std::string& sql, int column = 0) {
    const SqliteStatement statement = prepareSqlite(db, sql);
    if (sqlite3_step(statement.get()) != SQLITE_ROW)
        throw EngineError(sqlite3_errmsg(db));
    return sqlite3_column_int64(statement.get(), column);
}

} // namespace

SearchIndexNames::SearchIndexNames(const std::string& name)
    : table(quoteIdentifier(name)), index(quoteIdentifier(name + "Search")),
      mark(quoteIdentifier(name + "SearchMark")), stale(quoteIdentifier(name + "SearchStale")),
      indexName(name + "Search"), dots(quoteIdentifier(name + "SearchDots")),
      dotsName(name + "SearchDots"), dotsStale(quoteIdentifier(name + "SearchDotsStale")),
      insertTrigger(quoteIdentifier(name + "SearchInsert")),
      deleteTrigger(quoteIdentifier(name + "SearchDelete")),
      updateTrigger(quoteIdentifier(name + "SearchUpdate")) {}

std::string createTriggersSql(const std::string& table) {
    const SearchIndexNames n(table);
    const std::string indexed = " <= (SELECT upTo FROM " + n.mark + ")";
    const std::string add = "INSERT INTO " + n.index + "(rowid, \"File Name\", \"File Path\") ";
    const std::string remove = "INSERT INTO " + n.index + "(" + quoteIdentifier(n.indexName) +
                               ", rowid, \"File Name\", \"File Path\") ";
    // A record taking the Id of a deleted one first clears what the index still holds of it.
    const std::string clearStale = remove + "SELECT 'delete', id, name, path FROM " + n.stale +
                                   " WHERE id = new.\"Id\"; DELETE FROM " + n.stale +
                                   " WHERE id = new.\"Id\"; ";
    // The tokens after dots are worked out by the program, not in SQL: a change only notes the
    // record, with the path whose tokens the index holds, unless it is noted already.
    const std::string noteDots = "INSERT OR IGNORE INTO " + n.dotsStale + " SELECT ";
    const std::string noteNewDots = noteDots + "new.\"Id\", NULL WHERE new.\"Id\"" + indexed + "; ";
    const std::string noteOldDots =
        noteDots + "old.\"Id\", old.\"File Path\" WHERE old.\"Id\"" + indexed + "; ";
    return "CREATE TRIGGER " + n.insertTrigger + " AFTER INSERT ON " + n.table +
           " WHEN new.\"Id\"" + indexed + " BEGIN " + clearStale + noteNewDots + add +
           "VALUES (new.\"Id\", new.\"File Name\", new.\"File Path\"); END;"
           "CREATE TRIGGER " +
           n.deleteTrigger + " AFTER DELETE ON " + n.table + " WHEN old.\"Id\"" + indexed +
           " BEGIN " + noteOldDots + "INSERT OR REPLACE INTO " + n.stale +
           " VALUES (old.\"Id\", old.\"File Name\", old.\"File Path\"); END;"
           "CREATE TRIGGER " +
           n.updateTrigger + " AFTER UPDATE OF \"Id\", \"File Name\", \"File Path\" ON " + n.table +
           " BEGIN " + noteOldDots + noteNewDots + remove +
           "SELECT 'delete', old.\"Id\", old.\"File Name\", old.\"File Path\" WHERE old.\"Id\"" +
           indexed + "; " + clearStale + add +
           "SELECT new.\"Id\", new.\"File Name\", new.\"File Path\" WHERE new.\"Id\"" + indexed +
           "; END;";
}

std::string dropTriggersSql(const std::string& table) {
    const SearchIndexNames n(table);
    return "DROP TRIGGER IF EXISTS " + n.insertTrigger + "; DROP TRIGGER IF EXISTS " +
           n.deleteTrigger + "; DROP TRIGGER IF EXISTS " + n.updateTrigger + ";";
}

std::string createSearchIndexSql(const std::string& table, std::int64_t mark) {
    const SearchIndexNames n(table);
    return "CREATE VIRTUAL TABLE " + n.index +
           " USING fts5(\"File Name\", \"File Path\", content=" + textLiteral(table) +
           ", content_rowid='Id', tokenize='trigram case_sensitive 1', detail=none, "
           "columnsize=0);"
           "CREATE TABLE IF NOT EXISTS " +
           n.mark + " (upTo INTEGER NOT NULL); DELETE FROM " + n.mark + "; INSERT INTO " + n.mark +
           " VALUES (" + std::to_string(mark) + "); CREATE TABLE IF NOT EXISTS " + n.stale +
           " (id INTEGER PRIMARY KEY, name, path); CREATE VIRTUAL TABLE " + n.dots +
           " USING fts5(g1, g2, g3, content='', tokenize='trigram case_sensitive 1', detail=none, "
           "columnsize=0); CREATE TABLE IF NOT EXISTS " +
           n.dotsStale + " (id INTEGER PRIMARY KEY, path);" + createTriggersSql(table);
}

std::string dropSearchIndexSql(const std::string& table) {
    const SearchIndexNames n(table);
    std::string sql = dropTriggersSql(table);
    for (const std::string* part : {&n.index, &n.mark, &n.stale, &n.dots, &n.dotsStale})
        sql += "DROP TABLE IF EXISTS " + *part + ";";
    return sql;
}

IndexMark searchIndexMark(Database& db, const std::string& table) {
    const SearchIndexNames n(table);
    try {
        Statement statement =
            db.prepare("SELECT upTo FROM " + n.mark +
                       " WHERE (SELECT count(*) FROM sqlite_master WHERE name IN (" +
                       textLiteral(n.indexName) + ", " + textLiteral(n.dotsName) + ")) = 2");
        if (!statement.step() || !statement.columnIsInteger(0))
            return {};
        return {true, statement.columnInteger(0)};
    } catch (const EngineError&) {
        return {};
    }
}

bool indexMoreRecords(sqlite3* db, const std::string& table, int records) {
    const SearchIndexNames n(table);
    run(db, "BEGIN IMMEDIATE");
    try {
        const std::int64_t mark = stepInteger(db, "SELECT upTo FROM " + n.mark);
        bool done = false;
        {
            const std::string above =
                " FROM " + n.table + " WHERE \"Id\" > " + std::to_string(mark);
            const SqliteStatement step =
                prepareSqlite(db, "SELECT count(*), max(\"Id\") FROM (SELECT \"Id\"" + above +
                                      " ORDER BY \"Id\" LIMIT " + std::to_string(records) + ")");
            if (sqlite3_step(step.get()) != SQLITE_ROW)
                throw EngineError(sqlite3_errmsg(db));
            const std::int64_t found = sqlite3_column_int64(step.get(), 0);
            const std::int64_t last = sqlite3_column_int64(step.get(), 1);
            done = found < records;
            if (found > 0) {
                run(db, "INSERT INTO " + n.index +
                            "(rowid, \"File Name\", \"File Path\") SELECT "
                            "\"Id\", \"File Name\", \"File Path\"" +
                            above + " AND \"Id\" <= " + std::to_string(last));
                indexDotGrams(db, table, mark, last);
                run(db, "UPDATE " + n.mark + " SET upTo = " + std::to_string(last));
            }
        }
        run(db, "COMMIT");
        return done;
    } catch (const EngineError&) {
        if (!sqlite3_get_autocommit(db))
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

bool clearStaleRecords(sqlite3* db, const std::string& table, int records) {
    const SearchIndexNames n(table);
    const std::string first =
        "SELECT id FROM " + n.stale + " ORDER BY id LIMIT " + std::to_string(records);
    run(db, "BEGIN IMMEDIATE");
    try {
        run(db, "INSERT INTO " + n.index + "(" + quoteIdentifier(n.indexName) +
                    ", rowid, \"File Name\", \"File Path\") SELECT 'delete', id, name, path FROM " +
                    n.stale + " WHERE id IN (" + first + ")");
        run(db, "DELETE FROM " + n.stale + " WHERE id IN (" + first + ")");
        const bool gramsDone = refreshStaleDotGrams(db, table, records);
        const bool done =
            gramsDone && stepInteger(db, "SELECT NOT EXISTS (SELECT 1 FROM " + n.stale + ")") != 0;
        run(db, "COMMIT");
        return done;
    } catch (const EngineError&) {
        if (!sqlite3_get_autocommit(db))
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

bool searchIndexNeedsWork(Database& db, const std::string& table) {
    const IndexMark mark = searchIndexMark(db, table);
    if (!mark.present)
        return false;
    Statement newest = db.prepare("SELECT max(rowid) FROM " + quoteIdentifier(table));
    return (newest.step() && newest.columnInteger(0) > mark.upTo) || hasStaleRecords(db, table);
}

bool hasStaleRecords(Database& db, const std::string& table) {
    try {
        const SearchIndexNames n(table);
        Statement statement = db.prepare("SELECT EXISTS (SELECT 1 FROM " + n.stale +
                                         ") OR EXISTS (SELECT 1 FROM " + n.dotsStale + ")");
        return statement.step() && statement.columnInteger(0) != 0;
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
    db.executeScript(createTriggersSql(table));
}

} // namespace katalox::store
