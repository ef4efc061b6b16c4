#pragma once
// The listing planner: how a select of whole rows runs. For `select * from <table> where
// <field> Like <pattern> [escape <c>] and ...` (a plain conjunction of Like tests, as the
// windows build it) it takes as candidates the records holding the rarest runs of three
// literal characters of the Like patterns on "File Name" and "File Path", or counts a File Mask
// from the index of tokens after dots, and tests every condition as written on them, in the
// order the statement as written gives its rows.
#include "store/dialect/StatementSyntax.h"
#include "store/search/EveryRecord.h"
#include "store/sqlite/Value.h"

#include <optional>
#include <string>
#include <vector>

namespace katalox::store {

class Database;

struct ListingPlan {
    // What follows the table name: the statement's own clauses, or those reading candidates
    // from the index.
    std::string clauses;
    // The values of the parameters in `clauses` (?1, ?2, ...).
    std::vector<Value> parameters;
    // For a listing that runs as written by scanning the table in row id order: its
    // conditions, so that a large result can be read again a block at a time.
    std::optional<std::string> scanConditions;
    bool indexUsed = false;
    // Every test is `Like '%'` on a field the index covers: every record with text is listed.
    bool everyRecord = false;
    // A listing of a File Mask counted from the index of tokens after dots: read a block at a
    // time with `scanConditions`.
    std::optional<BlockStarts> blocks;
};

// The index serves the statement unless it has no usable pattern, the file no index, the
// statement another shape, or the engine answers it from another index; then it runs as
// written. Throws nothing: a failure leaves the statement as written.
ListingPlan planListing(Database& db, const WholeRowSelect& select);

} // namespace katalox::store
