// init: a catalogue shared by a team, set up on a PostgreSQL server.
#include "cli/Arguments.h"
#include "cli/Commands.h"

#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgConnection.h"

#include <cstdio>

namespace katalox::cli {

int runInit(const Words& words) {
    const std::vector<std::string> given = Arguments(words, {}).words();
    if (given.size() != 1)
        throw UsageError("init takes one connection URI, postgresql://USER@HOST/DBNAME");
    const std::string& uri = given[0];
    if (!uri.starts_with("postgresql://") && !uri.starts_with("postgres://"))
        throw UsageError("init takes a PostgreSQL connection URI (postgresql://USER@HOST/DBNAME), "
                         "not " +
                         uri);
    const std::string table = "Files";
    const store::PgInitialisation done = store::initialiseCatalogue(uri, table);
    const std::string where = store::uriForDisplay(uri);
    const std::string version = std::to_string(done.toVersion);
    if (done.fromVersion == 0)
        std::printf("Created the catalogue table \"%s\" in %s (layout version %s), with its "
                    "indexes on \"Disk ID\" and, by trigrams, on \"File Name\" and \"File "
                    "Path\".\n",
                    table.c_str(), where.c_str(), version.c_str());
    else if (done.fromVersion < done.toVersion)
        std::printf("Brought the catalogue table \"%s\" in %s from layout version %d to %s.\n",
                    table.c_str(), where.c_str(), done.fromVersion, version.c_str());
    else
        std::printf("The catalogue table \"%s\" in %s is up to date (layout version %s); nothing "
                    "was changed.\n",
                    table.c_str(), where.c_str(), version.c_str());
    return 0;
}

} // namespace katalox::cli
