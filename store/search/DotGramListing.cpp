#include "store/search/DotGramListing.h"

#include "store/search/SearchIndex.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

#include <algorithm>
#include <vector>

namespace katalox::store {

namespace {

constexpr std::size_t kMostUnvouched = 100000;
// A block of a listing holding one record in 20 is read in one scan of about 80,000 records.
constexpr std::int64_t kDenseShare = 20;

// Appends the row ids `sql` selects with its parameters (`?` each, in order); false when there
// would be more than kMostUnvouched.
bool appendRowIds(Database& db, const std::string& sql, const std::vector<std::int64_t>& parameters,
                  std::vector<std::int64_t>& ids) {
    Statement statement = db.prepare(sql + " LIMIT ?");
    int index = 0;
    for (const std::int64_t parameter : parameters)
        statement.bindInteger(++index, parameter);
    statement.bindInteger(++index, static_cast<std::int64_t>(kMostUnvouched) + 1);
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

} // namespace

std::optional<BlockStarts> dotGramBlocks(Database& db, const std::string& table,
                                         const std::string& conditions, const std::string& gram,
                                         std::int64_t mark, std::int64_t blockRows) {
    const SearchIndexNames names(table);
    const std::string aboveMark = "SELECT rowid FROM " + names.table + " WHERE rowid > ?";
    const std::string noted = "SELECT rowid FROM " + names.table +
                              " WHERE rowid IN (SELECT id FROM " + names.dotsStale + ")";
    std::vector<std::int64_t> unvouched;
    std::vector<std::int64_t> listedUnvouched;
    if (!appendRowIds(db, "SELECT id FROM " + names.dotsStale, {}, unvouched) ||
        !appendRowIds(db, unlistedSelect(table), {}, unvouched) ||
        !appendRowIds(db, aboveMark, {mark}, unvouched))
        return std::nullopt;
    appendRowIds(db, noted + " AND (" + conditions + ")", {}, listedUnvouched);
    appendRowIds(db, unlistedSelect(table) + " AND (" + conditions + ")", {}, listedUnvouched);
    appendRowIds(db, aboveMark + " AND (" + conditions + ")", {mark}, listedUnvouched);
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
    Statement vouched = db.prepare("SELECT rowid FROM " + names.dots + " WHERE " + names.dots +
                                   " MATCH ?1 ORDER BY rowid");
    vouched.bindText(1, quoted(gram, '"'));
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
    const std::int64_t span = db.integerOf("SELECT (SELECT max(rowid) FROM " + names.table +
                                           ") - (SELECT min(rowid) FROM " + names.table + ") + 1");
    if (blocks.count * kDenseShare < span)
        return std::nullopt;
    return blocks;
}

} // namespace katalox::store
