#include "cli/ServerRecords.h"

#include "store/postgres/PgDisks.h"
#include "store/postgres/PgFacts.h"
#include "store/postgres/PgListing.h"
#include "store/postgres/PgText.h"

namespace katalox::cli {

void readServerRecord(const store::PgListing& rows, FoundRecord& record) {
    record.id = rows.integer(0);
    record.diskId = store::fromServerText(rows.text(1));
    record.storedPath = store::fromServerText(rows.text(2));
    record.upperName = store::fromServerText(rows.text(3));
    record.size = rows.integer(4);
    record.facts.reset();
    record.livePath.reset();
}

ServerRecordFacts::ServerRecordFacts(store::PgConnection& db, const std::string& table)
    : files_(std::make_unique<store::ServerFactsSource>(db, table)),
      connected_(store::serverScans(db, table)) {}

void ServerRecordFacts::read(FoundRecord& record, bool live) {
    record.facts = files_.factsOf(record.id, record.upperName);
    if (live && record.facts)
        record.livePath = connected_.livePath(*record.facts);
}

} // namespace katalox::cli
