// find on a catalogue on a PostgreSQL server: the server tests the patterns (through its trigram
// index), the Disk IDs named exactly and the sizes; wildcards, times, regular expressions and
// whether the disk is connected here are tested here. The records come through a cursor in the
// order they were written and are printed as they come.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/FindFilters.h"
#include "cli/FoundRecords.h"
#include "cli/RegexFilters.h"
#include "cli/ServerRecords.h"

#include "platform/Utf8.h"
#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgListing.h"
#include "store/postgres/PgRecords.h"

#include <algorithm>

namespace katalox::cli {

namespace {

bool hasWildcards(const std::string& pattern) {
    return pattern.find_first_of("*?[\\") != std::string::npos;
}

} // namespace

int runFindOnServer(const std::string& uri, const Words& words) {
    const Arguments args(words, findOptions());
    requireChoice(args);
    const RecordFilters filters = recordFiltersOf(args);
    const TimeFilters times = timeFiltersOf(args);
    const RegexFilters regexes = regexFiltersOf(args);
    const bool online = args.has("--online");
    const auto [limit, countOnly, format] = findOutputOf(args);
    store::PgRecordQuery query;
    // Expressions are tested here, on the real paths.
    if (!args.has("--glob") && !regexes.any())
        for (const std::string& pattern : args.words())
            query.pathSubstrings.push_back(platform::upperCase(pattern));
    const bool exactDisks = !filters.disks.empty() &&
                            std::none_of(filters.disks.begin(), filters.disks.end(), hasWildcards);
    if (exactDisks)
        query.diskIds = filters.disks;
    query.minSize = filters.minSize;
    query.maxSize = filters.maxSize;
    const bool testedHere = filters.extension || !filters.globs.empty() ||
                            (!filters.disks.empty() && !exactDisks) || times.any() ||
                            regexes.any() || online;
    if (limit >= 0 && !testedHere)
        query.limit = limit;

    store::PgConnection db(uri);
    store::checkCatalogue(db, uri);
    Output out;
    std::int64_t found = 0;
    if (countOnly && !testedHere) {
        const store::PgSelect count = store::recordCount(store::kPgCatalogueTable, query);
        found = db.execute(count.sql, count.parameters).integer(0, 0);
        out.buffer() += std::to_string(found) + "\n";
        return found > 0 ? 0 : 1;
    }
    std::optional<RecordWriter> writer;
    if (!countOnly)
        writer.emplace(out, format);
    const store::PgSelect select = store::recordSelect(store::kPgCatalogueTable, query);
    store::PgListing rows(db, select.sql, select.parameters);
    ServerRecordFacts facts(db, store::kPgCatalogueTable);
    const bool live = format == RecordFormat::Json || format == RecordFormat::Csv;
    FoundRecord record;
    while ((limit < 0 || found < limit) && rows.next()) {
        readServerRecord(rows, record);
        if (!filters.passes(record) || (online && !facts.diskConnected(record.diskId)))
            continue;
        if (times.any() || regexes.any() || !countOnly)
            facts.read(record, live && !countOnly);
        if (!times.passes(record) || !regexes.passes(record))
            continue;
        ++found;
        if (writer)
            writer->write(record);
    }
    writer.reset();
    if (countOnly)
        out.buffer() += std::to_string(found) + "\n";
    return found > 0 ? 0 : 1;
}

} // namespace katalox::cli
