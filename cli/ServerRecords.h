#pragma once
// The records of a catalogue on a server as find and export print them.
#include "cli/FoundRecords.h"

#include <cstdint>
#include <optional>
#include <string>

namespace katalox::store {
class PgConnection;
class PgListing;
} // namespace katalox::store

namespace katalox::cli {

// The current row of `rows`, a select of store::recordSelect, as a record with no facts.
void readServerRecord(const store::PgListing& rows, FoundRecord& record);

// Writes the page of export --html of the records of `table` (those of `disk`, when given) and
// returns how many it lists.
std::int64_t exportPageFromServer(store::PgConnection& db, const std::string& table,
                                  const std::optional<std::string>& disk);

} // namespace katalox::cli
