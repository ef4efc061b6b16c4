#pragma once
// Upkeep of the index of tokens after dots (DotGrams.h) beside the substring index: it holds
// the tokens of every record up to the mark, except those noted in its stale list. The
// builder calls these inside its own transactions.
#include <cstdint>
#include <string>

struct sqlite3;

namespace katalox::store {

// Indexes the tokens of the records with an "Id" in (after, upTo].
void indexDotGrams(sqlite3* db, const std::string& table, std::int64_t after, std::int64_t upTo);

// Brings up to `records` noted records up to date; true when none is left noted.
bool refreshStaleDotGrams(sqlite3* db, const std::string& table, int records);

} // namespace katalox::store
