#pragma once
// The large catalogue of CatalogData.h on the benchmark server, and the main window's listing
// over it.
#include "CatalogData.h"
#include "ServerDatabase.h"

#include "store/catalog/ListingStatements.h"
#include "store/dataset/Query.h"
#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgConnection.h"

#include <cstdint>
#include <string>

namespace katalox::bench {

// Fills the new catalogue of `uri` with `records` records over `disks` Disk IDs, shaped as
// makeLargeCatalog's, by the server itself in one statement. Its indexes are made after the
// records, each in one go as a restore would, from the definitions the catalogue's layout
// gave them; then the table is vacuumed and analysed, as autovacuum leaves it.
inline void makeLargeServerCatalog(const std::string& uri, std::int64_t records, int disks) {
    store::initialiseCatalogue(uri);
    store::PgConnection db(uri);
    const store::PgResult indexes =
        db.execute("SELECT indexrelid::regclass::text, pg_get_indexdef(indexrelid) FROM pg_index "
                   "WHERE indrelid = '\"Files\"'::regclass AND NOT indisprimary");
    for (int row = 0; row < indexes.rows(); ++row)
        db.execute("DROP INDEX " + indexes.text(row, 0));
    const std::string numbers =
        "n(i) AS (SELECT generate_series(0, " + std::to_string(records - 1) + "::bigint))";
    db.execute(largeCatalogInsertSql(numbers, records, disks));
    db.execute("SET maintenance_work_mem = '1GB'");
    for (int row = 0; row < indexes.rows(); ++row)
        db.execute(indexes.text(row, 1));
    db.execute("VACUUM (ANALYZE) \"Files\"");
}

struct ServerListing {
    std::int64_t count = 0;
    int pageRecords = 0;
};

// The main window's listing on a server catalogue, through its statement object: the
// listing's statement opened (the count of the records that `filters` match), and the first
// page of them in "Id" order read as a grid shows it.
inline ServerListing listOnServer(const std::string& uri, const store::ListingFilters& filters,
                                  int pageSize = 50) {
    store::Query query;
    query.setDatabaseName(uri);
    query.setSql(store::listingStatement(filters));
    query.open();
    ServerListing listing;
    listing.count = query.recordCount();
    for (int row = 0; row < pageSize && row < listing.count; ++row, ++listing.pageRecords)
        for (int column = 0; column < static_cast<int>(query.fields().size()); ++column)
            query.valueAt(row, column);
    return listing;
}

} // namespace katalox::bench
