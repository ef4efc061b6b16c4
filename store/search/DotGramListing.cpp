#include "store/search/DotGramListing.h"

#include "store/sqlite/Database.h"
#include "store/dialect/Dialect.h"
#include "store/search/SearchIndex.h"

#include <algorithm>
#include <vector>

namespace katalox::store {

namespace {

constexpr std::size_t kMostUnvouched = 100000;
// A block of a listing holding one record in 20 is read in one scan of about 80,000 records.
constexpr std::int64_t kDenseShare = 20;

// Appends the row ids `sql` selects; false when there would be more than kMostUnvouched.
bool appendRowIds(Database& db, const std::string& sql, std::vector<std::int64_t>& ids) {
    Statement statement = db.prepare(sql + " LIMIT " + std::to_string(kMostUnvouched + 1));
    std::size_t read = 0;
    while (statement.step()) {
        if (++read > kMostUnvouched)
            return false;
        ids.push_back(statement.columnInteger(0));
    }
    return true;
}

void sortUnique(std::vector<std::int64_t>& ids) {
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
}

std::int64_t firstInteger(Database& db, const std::string& sql) {
    Statement statement = db.prepare(sql);
    return statement.step() ? statement.columnInteger(0) : 0;
}

} // namespace

std::optional<BlockStarts> dotGramBlocks(Database& db, const std::string& table,
                                         const std::string& conditions, const std::string& matching,
                                         std::int64_t mark, std::int64_t blockRows) {
    const SearchIndexNames names(table);
    const std::string aboveMark =
        "SELECT rowid FROM " + names.table + " WHERE rowid > " + std::to_string(mark);
    const std::string noted = "SELECT rowid FROM " + names.table +
                              " WHERE rowid IN (SELECT id FROM " + names.dotsStale + ")";
    std::vector<std::int64_t> unvouched;
    std::vector<std::int64_t> listedUnvouched;
    if (!appendRowIds(db, "SELECT id FROM " + names.dotsStale, unvouched) ||
        !appendRowIds(db, unlistedSelect(table), unvouched) ||
        !appendRowIds(db, aboveMark, unvouched))
        return std::nullopt;
    for (const std::string& records : {noted, unlistedSelect(table), aboveMark})
        appendRowIds(db, records + " AND (" + conditions + ")", listedUnvouched);
    sortUnique(unvouched);
    sortUnique(listedUnvouched);

    BlockStarts blocks;
    const auto list = [&](std::int64_t id) {
        if (blocks.count % blockRows == 0)
            blocks.starts.push_back(id);
        ++blocks.count;
    };
    auto skipped = unvouched.begin();
    auto added = listedUnvouched.begin();
    Statement vouched = db.prepare(matching);
    while (vouched.step()) {
        const std::int64_t id = vouched.columnInteger(0);
        if (id > mark)
            break;
        skipped = std::lower_bound(skipped, unvouched.end(), id);
        if (skipped != unvouched.end() && *skipped == id)
            continue;
        for (; added != listedUnvouched.end() && *added < id; ++added)
            list(*added);
        list(id);
    }
    for (; added != listedUnvouched.end(); ++added)
        list(*added);
    const std::int64_t span =
        firstInteger(db, "SELECT (SELECT max(rowid) FROM " + names.table +
                             ") - (SELECT min(rowid) FROM " + names.table + ") + 1");
    if (blocks.count * kDenseShare < span)
        return std::nullopt;
    return blocks;
}

} // namespace katalox::store
