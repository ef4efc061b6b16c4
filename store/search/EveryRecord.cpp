#include "store/search/EveryRecord.h"

#include "platform/Error.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

#include <algorithm>

namespace katalox::store {

namespace {

constexpr std::size_t kMostUnlisted = 100000;
constexpr std::size_t kMostRuns = 1000000;

std::string unlistedIndexName(const std::string& table) {
    return quoteIdentifier(table + "Unlisted");
}

const char* const kWithoutText = "typeof(\"File Name\") IN ('null', 'blob') OR "
                                 "typeof(\"File Path\") IN ('null', 'blob')";

// Runs of consecutive row ids, ascending.
struct Run {
    std::int64_t first;
    std::int64_t last;
};

std::optional<std::vector<Run>> runsOfRowIds(Database& db, const std::string& table) {
    const std::int64_t count = db.integerOf("SELECT count(*) FROM " + table);
    if (count == 0)
        return std::vector<Run>{};
    const std::int64_t first = db.integerOf("SELECT min(rowid) FROM " + table);
    const std::int64_t last = db.integerOf("SELECT max(rowid) FROM " + table);
    if (last - first + 1 == count)
        return std::vector<Run>{{first, last}};
    // The smallest index holds every row id, grouped as the records were inserted.
    std::vector<Run> runs;
    Statement ids = db.prepare("SELECT rowid FROM " + table);
    while (ids.step()) {
        const std::int64_t id = ids.columnInteger(0);
        if (!runs.empty() && runs.back().last + 1 == id) {
            runs.back().last = id;
            continue;
        }
        if (runs.size() == kMostRuns)
            return std::nullopt;
        runs.push_back({id, id});
    }
    std::sort(runs.begin(), runs.end(),
              [](const Run& a, const Run& b) { return a.first < b.first; });
    std::vector<Run> merged;
    for (const Run& run : runs) {
        if (!merged.empty() && merged.back().last + 1 == run.first)
            merged.back().last = run.last;
        else
            merged.push_back(run);
    }
    return merged;
}

} // namespace

std::string createUnlistedIndexSql(const std::string& table) {
    return "CREATE INDEX IF NOT EXISTS " + unlistedIndexName(table) + " ON " +
           quoteIdentifier(table) + " (\"Id\") WHERE " + kWithoutText + ";";
}

bool hasUnlistedIndex(Database& db, const std::string& table) {
    return db.integerOf("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name = ?1 "
                        "AND tbl_name = ?2",
                        {Value(table + "Unlisted"), Value(table)}) > 0;
}

std::string unlistedSelect(const std::string& table) {
    return "SELECT rowid FROM " + quoteIdentifier(table) + " INDEXED BY " +
           unlistedIndexName(table) + " WHERE (" + kWithoutText + ")";
}

bool matchesAnyText(const std::string& pattern) {
    return !pattern.empty() && pattern.find_first_not_of('%') == std::string::npos;
}

std::optional<BlockStarts> everyRecordBlocks(Database& db, const std::string& table,
                                             const std::string& conditions,
                                             std::int64_t blockRows) {
    const std::string quoted = quoteIdentifier(table);
    std::vector<std::int64_t> unlisted;
    try {
        Statement left =
            db.prepare(unlistedSelect(table) + " AND (" + conditions + ") IS NOT 1 ORDER BY rowid");
        while (left.step()) {
            if (unlisted.size() == kMostUnlisted)
                return std::nullopt;
            unlisted.push_back(left.columnInteger(0));
        }
    } catch (const EngineError&) {
        return std::nullopt; // no partial index yet
    }
    const auto runs = runsOfRowIds(db, quoted);
    if (!runs)
        return std::nullopt;
    // Row ids in runs, by position: the run holding a position, found by its running total.
    std::vector<std::int64_t> before; // positions before each run
    std::int64_t total = 0;
    for (const Run& run : *runs) {
        before.push_back(total);
        total += run.last - run.first + 1;
    }
    const auto idAt = [&](std::int64_t position) {
        const auto run = std::upper_bound(before.begin(), before.end(), position) - 1;
        return (*runs)[static_cast<std::size_t>(run - before.begin())].first + position - *run;
    };
    // Records listed among the first `position` + 1 ids.
    const auto listedUpTo = [&](std::int64_t position) {
        const std::int64_t id = idAt(position);
        return position + 1 -
               (std::upper_bound(unlisted.begin(), unlisted.end(), id) - unlisted.begin());
    };
    BlockStarts blocks;
    blocks.count = total - static_cast<std::int64_t>(unlisted.size());
    for (std::int64_t row = 0; row < blocks.count; row += blockRows) {
        // The first position whose id is the row-th listed one.
        std::int64_t low = row;
        std::int64_t high = row + static_cast<std::int64_t>(unlisted.size());
        while (low < high) {
            const std::int64_t middle = low + (high - low) / 2;
            if (listedUpTo(middle) >= row + 1)
                high = middle;
            else
                low = middle + 1;
        }
        blocks.starts.push_back(idAt(low));
    }
    return blocks;
}

} // namespace katalox::store
