#pragma once
// The statement object's selects on a catalogue on a server: the listing of whole records read
// a page at a time, the distinct Disk IDs found through their index, and any other select read
// whole (the windows write none that returns many rows).
#include "store/dataset/ResultSet.h"
#include "store/dialect/StatementSyntax.h"

#include <memory>
#include <string>

namespace katalox::store {

// Runs `syntax` (a select) on the catalogue that `uri` names. Throws EngineError with the
// server's message, or for a statement that would change records.
std::unique_ptr<ResultSet> openServerSelect(const std::string& uri, const StatementSyntax& syntax);

} // namespace katalox::store
