#pragma once
// A listing whose every test is `Like '%'` on "File Name" or "File Path" lists every record
// holding text in both: all records but the few without (found through a small partial index
// of them). Its count and the row id at the start of every block come from the table's count
// and row id range, or, when ids have gaps, from one pass over the smallest index, so nothing
// is kept per record.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace katalox::store {

class Database;

// The partial index of the records that such a listing leaves out, and whether a file has it.
std::string createUnlistedIndexSql(const std::string& table);
bool hasUnlistedIndex(Database& db, const std::string& table);
// `SELECT rowid` of those records through that index, ready for `AND ...` or `ORDER BY`.
std::string unlistedSelect(const std::string& table);

// True when `pattern` matches any text: it holds nothing but "%".
bool matchesAnyText(const std::string& pattern);

// Rows between two kept row ids of a large listing read a block at a time.
constexpr std::int64_t kListingBlockRows = 4096;

struct BlockStarts {
    std::int64_t count = 0;
    std::vector<std::int64_t> starts; // the row id of every blockRows-th record listed
};

// Empty when the statement is not such a listing, the partial index is missing, or the
// records are too scattered to describe in little memory.
std::optional<BlockStarts> everyRecordBlocks(Database& db, const std::string& table,
                                             const std::string& conditions, std::int64_t blockRows);

} // namespace katalox::store
