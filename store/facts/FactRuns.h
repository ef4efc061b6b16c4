#pragma once
// Facts are kept in runs: one row for consecutive records of one folder, written together by
// an insert, holding their names and times packed one after another. A run costs a few bytes
// per record and one row per folder instead of one per record, and records are found in it by
// their row id.
#include "store/sqlite/Value.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace katalox::store {

struct FileFact {
    Value name; // as keptName() gives it
    std::int64_t modified = 0;
};

// Appends one record's facts to a run's packed names and times; `lastTime` carries the time of
// the record before (0 for the first).
void packFact(std::string& names, std::string& times, std::int64_t& lastTime, const FileFact& fact);
// The `count` facts of a run; fewer when the bytes are damaged.
std::vector<FileFact> unpackFacts(std::string_view names, std::string_view times,
                                  std::size_t count);

// SQL for the "First Record" of the run holding record `record` (an expression), or NULL:
// the run starting at or before it, when it reaches that far.
std::string runHoldingSql(const std::string& record);
// SQL true when the facts of `record` were dropped (another program moved or deleted it).
std::string factsDroppedSql(const std::string& record);

} // namespace katalox::store
