#include "cli/ServerRecords.h"

#include "store/postgres/PgListing.h"
#include "store/postgres/PgText.h"

namespace katalox::cli {

void readServerRecord(const store::PgListing& rows, FoundRecord& record) {
    record.id = rows.integer(0);
    record.diskId = store::fromServerText(rows.text(1));
    record.storedPath = store::fromServerText(rows.text(2));
    record.upperName = store::fromServerText(rows.text(3));
    record.size = rows.integer(4);
}

} // namespace katalox::cli
