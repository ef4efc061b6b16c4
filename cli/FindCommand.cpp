// find: the records whose path holds every pattern, through the substring index, filtered
// further and printed as they are read.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/FindFilters.h"
#include "cli/FoundRecords.h"
#include "cli/RegexFilters.h"

#include "platform/Utf8.h"
#include "store/catalog/Catalog.h"
#include "store/dialect/StatementSyntax.h"
#include "store/search/ListingPlanner.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"
#include "store/sqlite/Transaction.h"

#include <memory>

namespace katalox::cli {

namespace {

struct Filters {
    RecordFilters record;
    TimeFilters times;
    bool online = false;
    RegexFilters regexes;

    bool needFacts() const { return times.any() || regexes.any(); }
};

Filters filtersOf(const Arguments& args) {
    Filters filters;
    filters.record = recordFiltersOf(args);
    filters.times = timeFiltersOf(args);
    filters.online = args.has("--online");
    filters.regexes = regexFiltersOf(args);
    return filters;
}

// Everything but the facts: cheap tests first.
bool passesRecordFilters(const Filters& filters, const FoundRecord& record,
                         const ConnectedScans* connected) {
    return filters.record.passes(record) && (!connected || connected->diskConnected(record.diskId));
}

bool passesFactFilters(const Filters& filters, const FoundRecord& record) {
    return filters.times.passes(record) && filters.regexes.passes(record);
}

// The same tests in SQLite's own dialect, for a table the index does not serve.
std::string plainConditions(const std::vector<std::string>& patterns) {
    std::string conditions;
    for (std::size_t i = 0; i < patterns.size(); ++i)
        conditions += (i > 0 ? " AND " : "") + std::string("\"File Path\" LIKE ") +
                      store::quoted(likeSubstring(patterns[i]), '\'') + " ESCAPE '\\'";
    return conditions;
}

// The select: through the substring index for plain patterns, else every record.
std::pair<std::string, std::vector<store::Value>>
selectOf(store::Database& db, const std::string& table, const Arguments& args) {
    const std::string columns =
        "SELECT rowid, \"Disk ID\", \"File Path\", \"File Name\", \"File Size\" FROM " +
        store::quoteIdentifier(table);
    if (args.has("--glob") || args.has("--regex") || args.words().empty())
        return {columns, {}};
    // In the windows' dialect a qualified name is a field and double quotes make a constant.
    std::string conditions;
    for (std::size_t i = 0; i < args.words().size(); ++i) {
        const std::string& pattern = args.words()[i];
        // The index serves tests without an escape: one is added only where it is needed.
        const bool literalWildcards = pattern.find_first_of("%_\\") != std::string::npos;
        conditions += (i > 0 ? " AND " : "") + table + ".\"File Path\" Like " +
                      store::quoted(likeSubstring(pattern), '"') +
                      (literalWildcards ? " ESCAPE \"\\\"" : "");
    }
    // The index serves a select as the windows write it, on a table named plainly.
    const store::StatementSyntax syntax =
        store::parseStatement("SELECT * FROM " + table + " WHERE " + conditions);
    if (!syntax.wholeRows || syntax.wholeRows->table != table)
        return {columns + " WHERE " + plainConditions(args.words()), {}};
    const store::ListingPlan plan = store::planListing(db, *syntax.wholeRows);
    return {columns + plan.clauses, plan.parameters};
}

} // namespace

int runFind(store::Catalog& catalog, const Words& words) {
    const Arguments args(words, findOptions());
    requireChoice(args);
    const Filters filters = filtersOf(args);
    const auto [limit, countOnly, format] = findOutputOf(args);
    store::Database& db = catalog.database();
    const store::ReadSnapshot snapshot(db);
    const auto [sql, parameters] = selectOf(db, catalog.table(), args);
    // Where disks are now is asked only when it matters: it reads the mount table.
    std::optional<ConnectedScans> connected;
    if (filters.online || format == RecordFormat::Json || format == RecordFormat::Csv)
        connected.emplace(db);
    RecordFacts facts(db, catalog.table());
    Output out;
    std::optional<RecordWriter> writer;
    if (!countOnly)
        writer.emplace(out, format);
    std::int64_t found = 0;
    store::Statement rows = db.prepare(sql);
    for (std::size_t i = 0; i < parameters.size(); ++i)
        rows.bind(static_cast<int>(i) + 1, parameters[i]);
    FoundRecord record;
    while ((limit < 0 || found < limit) && rows.step()) {
        record.id = rows.columnInteger(0);
        record.diskId = rows.columnValue(1).asString();
        record.storedPath = rows.columnValue(2).asString();
        record.upperName = rows.columnValue(3).asString();
        record.size = rows.columnInteger(4);
        if (!passesRecordFilters(filters, record, filters.online ? &*connected : nullptr))
            continue;
        record.facts.reset();
        if (filters.needFacts() || !countOnly)
            record.facts = facts.of(record);
        if (!passesFactFilters(filters, record))
            continue;
        ++found;
        if (!writer)
            continue;
        record.livePath =
            connected && record.facts ? connected->livePath(*record.facts) : std::nullopt;
        writer->write(record);
    }
    writer.reset();
    if (countOnly)
        out.buffer() += std::to_string(found) + "\n";
    return found > 0 ? 0 : 1;
}

} // namespace katalox::cli
