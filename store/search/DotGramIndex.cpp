#include "store/search/DotGramIndex.h"

#include "platform/Error.h"
#include "store/search/DotGrams.h"
#include "store/search/SearchIndex.h"
#include "store/sqlite/SqliteHandles.h"

#include <vector>

namespace katalox::store {

namespace {

using DotGrams = std::array<std::string, kDotGramColumns>;

// A text or number in column `column` has tokens (a number as the engine's Like reads it);
// nothing else has.
DotGrams gramsOfColumn(sqlite3_stmt* row, int column) {
    const int type = sqlite3_column_type(row, column);
    if (type == SQLITE_NULL || type == SQLITE_BLOB)
        return {};
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
    return dotGramsOf(
        std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(row, column))));
}

void step(sqlite3* db, sqlite3_stmt* statement) {
    if (sqlite3_step(statement) != SQLITE_DONE)
        throw EngineError(sqlite3_errmsg(db));
    sqlite3_reset(statement);
}

// Adds the tokens of one record to the index, or takes them out with the same values.
class GramWriter {
public:
    GramWriter(sqlite3* db, const SearchIndexNames& names)
        : db_(db), add_(prepareSqlite(db, "INSERT INTO " + names.dots +
                                              "(rowid, g1, g2, g3) VALUES (?, ?, ?, ?)")),
          remove_(prepareSqlite(db, "INSERT INTO " + names.dots + "(" + names.dotsName +
                                        ", rowid, g1, g2, g3) VALUES ('delete', ?, ?, ?, ?)")) {}

    void add(std::int64_t id, const DotGrams& grams) { write(add_.get(), id, grams); }
    void remove(std::int64_t id, const DotGrams& grams) { write(remove_.get(), id, grams); }

private:
    void write(sqlite3_stmt* statement, std::int64_t id, const DotGrams& grams) {
        if (grams.front().empty())
            return; // no token at all
        sqlite3_bind_int64(statement, 1, id);
        for (std::size_t i = 0; i < grams.size(); ++i)
            sqlite3_bind_text(statement, static_cast<int>(i) + 2, grams[i].data(),
                              static_cast<int>(grams[i].size()), SQLITE_STATIC);
        step(db_, statement);
    }

    sqlite3* db_;
    SqliteStatement add_;
    SqliteStatement remove_;
};

} // namespace

void indexDotGrams(sqlite3* db, const std::string& table, std::int64_t after, std::int64_t upTo) {
    const SearchIndexNames names(table);
    GramWriter writer(db, names);
    const SqliteStatement records =
        prepareSqlite(db, "SELECT \"Id\", \"File Path\" FROM " + names.table +
                              " WHERE \"Id\" > ? AND \"Id\" <= ? ORDER BY \"Id\"");
    sqlite3_bind_int64(records.get(), 1, after);
    sqlite3_bind_int64(records.get(), 2, upTo);
    int status = SQLITE_ROW;
    while ((status = sqlite3_step(records.get())) == SQLITE_ROW)
        writer.add(sqlite3_column_int64(records.get(), 0), gramsOfColumn(records.get(), 1));
    if (status != SQLITE_DONE)
        throw EngineError(sqlite3_errmsg(db));
}

bool refreshStaleDotGrams(sqlite3* db, const std::string& table, int records) {
    const SearchIndexNames names(table);
    GramWriter writer(db, names);
    std::vector<std::int64_t> refreshed;
    {
        const SqliteStatement noted = prepareSqlite(
            db, "SELECT s.id, s.path, f.\"File Path\", f.\"Id\" IS NOT NULL FROM " +
                    names.dotsStale + " AS s LEFT JOIN " + names.table +
                    " AS f ON f.\"Id\" = s.id ORDER BY s.id LIMIT " + std::to_string(records));
        int status = SQLITE_ROW;
        while ((status = sqlite3_step(noted.get())) == SQLITE_ROW) {
            const std::int64_t id = sqlite3_column_int64(noted.get(), 0);
            writer.remove(id, gramsOfColumn(noted.get(), 1));
            if (sqlite3_column_int(noted.get(), 3) != 0)
                writer.add(id, gramsOfColumn(noted.get(), 2));
            refreshed.push_back(id);
        }
        if (status != SQLITE_DONE)
            throw EngineError(sqlite3_errmsg(db));
    }
    const SqliteStatement forget =
        prepareSqlite(db, "DELETE FROM " + names.dotsStale + " WHERE id = ?");
    for (const std::int64_t id : refreshed) {
        sqlite3_bind_int64(forget.get(), 1, id);
        step(db, forget.get());
    }
    const SqliteStatement left =
        prepareSqlite(db, "SELECT EXISTS (SELECT 1 FROM " + names.dotsStale + ")");
    if (sqlite3_step(left.get()) != SQLITE_ROW)
        throw EngineError(sqlite3_errmsg(db));
    return sqlite3_column_int(left.get(), 0) == 0;
}

} // namespace katalox::store
