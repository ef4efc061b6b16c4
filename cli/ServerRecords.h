#pragma once
// The records of a catalogue on a server as find and export print them.
#include "cli/FoundRecords.h"

namespace katalox::store {
class PgListing;
}

namespace katalox::cli {

// The current row of `rows`, a select of store::recordSelect, as a record with no facts.
void readServerRecord(const store::PgListing& rows, FoundRecord& record);

} // namespace katalox::cli
