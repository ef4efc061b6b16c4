#pragma once
// A catalogue shared on a PostgreSQL server: the table of records ("Files", with the fields of
// the SQLite catalogue), its indexes, and the version of that layout, kept in the table
// "Katalox Schema" beside it so that a later program can bring an older layout up to date.
#include <string>

namespace katalox::store {

class PgConnection;

// The layout this program makes and reads.
constexpr int kPgSchemaVersion = 5;

// The table of records that the command line works on.
constexpr const char* kPgCatalogueTable = "Files";

struct PgInitialisation {
    // The layout found: 0 when there was no catalogue table yet.
    int fromVersion = 0;
    int toVersion = kPgSchemaVersion;
};

// Makes the catalogue table `table` in the database that `uri` names, or brings an older
// layout of it up to date, in one transaction: "Id" (an identity), "File Name", "File Path",
// "Disk ID", "File Size", an index on "Disk ID" and trigram indexes (pg_trgm) on the name and
// the path, which serve Like, the table of the scans recorded beside it (PgDisks.h) and that of
// the members of archives (PgArchiveMembers.h). A
// catalogue already up to date is left as it is. Throws EngineError when the server cannot be
// reached, the database does not hold UTF-8, pg_trgm cannot be had, a table of that name exists
// that this program did not make, or the layout is newer than this program's.
PgInitialisation initialiseCatalogue(const std::string& uri,
                                     const std::string& table = kPgCatalogueTable);

// Makes sure that `db` (reached through `uri`) holds the catalogue table `table` in the layout
// this program reads. Throws EngineError saying what to do when it has none, an older layout
// (init brings it up to date) or a newer one.
void checkCatalogue(PgConnection& db, const std::string& uri,
                    const std::string& table = kPgCatalogueTable);

} // namespace katalox::store
