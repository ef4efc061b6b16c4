#pragma once
// Runs a listing from the substring index: for `select * from <table> where <field> Like
// '<pattern>' [escape '<c>'] and ...` (a plain conjunction of Like tests, as the windows build
// it) it takes the candidates from the index with the Like pattern that has the longest run of
// three or more literal characters on "File Name" or "File Path", and tests every condition as
// written on them, in the order the statement as written gives its rows.
#include "store/Dialect.h"

#include <optional>
#include <string>

namespace katalox::store {

class Database;

// The clauses to put after the table name instead of `select.rest`; empty when the index
// cannot serve the statement (no usable pattern, no index, another shape of statement, a
// statement the engine answers from another index), which then runs as written.
std::optional<std::string> indexedListingClauses(Database& db, const WholeRowSelect& select);

} // namespace katalox::store
