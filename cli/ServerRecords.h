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

// The facts of the records of `table` on a server, and where their disks are now, as a
// catalogue file gives them.
class ServerRecordFacts {
public:
    ServerRecordFacts(store::PgConnection& db, const std::string& table);
    // Gives `record` its facts and, when `live`, where it is now.
    void read(FoundRecord& record, bool live);
    bool diskConnected(const std::string& diskId) const { return connected_.diskConnected(diskId); }

private:
    // A member's facts, from its archive's, as on a file.
    std::optional<store::RecordedPath> memberFacts(const FoundRecord& record);

    store::PgConnection& db_;
    std::string table_;
    store::RecordedFactsReader files_;
    ConnectedScans connected_;
    std::int64_t lastArchive_ = 0;
    std::optional<store::RecordedPath> archiveFacts_;
};

// Writes the page of export --html of the records of `table` (those of `disk`, when given) and
// returns how many it lists.
std::int64_t exportPageFromServer(store::PgConnection& db, const std::string& table,
                                  const std::optional<std::string>& disk);

} // namespace katalox::cli
