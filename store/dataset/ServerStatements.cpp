#include "store/dataset/ServerStatements.h"

#include "platform/Error.h"
#include "store/dataset/ServerListing.h"
#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgText.h"
#include "store/postgres/ServerCatalogue.h"
#include "store/sqlite/SqlText.h"

#include <algorithm>
#include <strings.h>

namespace katalox::store {

namespace {

// The rows of a select, read whole.
class ServerRows : public ResultSet {
public:
    explicit ServerRows(const PgResult& result) : fields_(serverFields(result)) {
        for (int row = 0; row < result.rows(); ++row)
            rows_.push_back(serverRow(result, row));
    }

    const std::vector<Field>& fields() const override { return fields_; }
    std::int64_t count() const override { return static_cast<std::int64_t>(rows_.size()); }
    Value value(std::int64_t row, int column) override {
        return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
    }

    // In the order the catalogue file gives: NULL first, then texts byte by byte.
    void sortByFirstField() {
        std::sort(rows_.begin(), rows_.end(), [](const auto& a, const auto& b) {
            const std::string* left = a.front().text();
            const std::string* right = b.front().text();
            return right && (!left || *left < *right);
        });
    }

private:
    std::vector<Field> fields_;
    std::vector<std::vector<Value>> rows_;
};

bool sameName(const std::string& a, const char* b) {
    return ::strcasecmp(a.c_str(), b) == 0;
}

// The statements name the table as the file does; the server keeps its letter case.
std::string serverTable(const std::string& named) {
    return sameName(named, kPgCatalogueTable) ? kPgCatalogueTable : named;
}

// A Disk ID's index gives each distinct value by one look-up, where a plain DISTINCT would read
// every record; records without one add a NULL.
std::string distinctThroughIndex(const std::string& table, const std::string& column) {
    const std::string t = quoteIdentifier(table);
    const std::string c = quoteIdentifier(column);
    return "WITH RECURSIVE found(value) AS (SELECT min(" + c + ") FROM " + t +
           " UNION ALL SELECT (SELECT min(" + c + ") FROM " + t + " WHERE " + c +
           " > found.value) FROM found WHERE found.value IS NOT NULL) SELECT value AS " + c +
           " FROM found WHERE value IS NOT NULL UNION ALL SELECT NULL WHERE EXISTS (SELECT 1 "
           "FROM " +
           t + " WHERE " + c + " IS NULL)";
}

std::unique_ptr<ResultSet> distinctValues(PgConnection& db, const DistinctSelect& distinct) {
    const std::string table = serverTable(distinct.table);
    const bool indexed = sameName(distinct.column, "Disk ID");
    const std::string column = indexed ? "Disk ID" : distinct.column;
    auto rows = std::make_unique<ServerRows>(db.execute(
        indexed
            ? distinctThroughIndex(table, column)
            : "SELECT DISTINCT " + quoteIdentifier(column) + " FROM " + quoteIdentifier(table)));
    rows->sortByFirstField();
    return rows;
}

// The Disk ID that a Like test without wildcards asks for, in its server form.
std::optional<std::string> exactDiskId(const LikeConjunction& likes) {
    for (const LikeTest& test : likes.tests)
        if (sameName(test.field, "Disk ID") && !test.escaped &&
            test.pattern.find_first_of("%_") == std::string::npos)
            return toServerText(test.pattern);
    return std::nullopt;
}

} // namespace

std::unique_ptr<ResultSet> openServerSelect(const std::string& uri, const StatementSyntax& syntax) {
    const std::shared_ptr<PgConnection> db = serverConnection(uri);
    if (syntax.distinct)
        return distinctValues(*db, *syntax.distinct);
    if (syntax.wholeRows && syntax.wholeRows->likes)
        return std::make_unique<ServerListing>(db, serverTable(syntax.wholeRows->table),
                                               syntax.wholeRows->likes->serverConditions,
                                               exactDiskId(*syntax.wholeRows->likes));
    // Read only: a statement that would change records fails instead of running.
    PgTransaction transaction(*db);
    db->execute("SET TRANSACTION READ ONLY");
    const PgResult result = db->execute(syntax.server);
    if (result.columns() == 0)
        throw EngineError("The statement returns no records; it can only be executed");
    return std::make_unique<ServerRows>(result);
}

} // namespace katalox::store
