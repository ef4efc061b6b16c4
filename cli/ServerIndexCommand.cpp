// index on a catalogue on a PostgreSQL server: the server keeps its trigram indexes up to date
// with every batch written, so there is nothing to catch up; the catalogue is checked, so that
// a script learns of a wrong URI.
#include "cli/Arguments.h"
#include "cli/Commands.h"

#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgConnection.h"

namespace katalox::cli {

int runIndexOnServer(const std::string& uri, const Words& words) {
    const Arguments args(words, {});
    if (!args.words().empty())
        throw UsageError("index takes no arguments");
    store::PgConnection db(uri);
    store::checkCatalogue(db, uri);
    return 0;
}

} // namespace katalox::cli
