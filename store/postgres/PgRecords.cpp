#include "store/postgres/PgRecords.h"

#include "store/postgres/PgText.h"
#include "store/sqlite/SqlText.h"

namespace katalox::store {

namespace {

std::string whereClause(const PgRecordQuery& query, std::vector<PgParameter>& parameters) {
    std::vector<std::string> conditions;
    const auto parameter = [&](std::string value) {
        parameters.emplace_back(std::move(value));
        return "$" + std::to_string(parameters.size());
    };
    // LIKE's default escape is the backslash, with which the trigram index reads the pattern.
    for (const std::string& substring : query.pathSubstrings)
        conditions.push_back("\"File Path\" LIKE " + parameter(likeSubstringOnServer(substring)));
    if (!query.diskIds.empty()) {
        std::string any;
        for (const std::string& diskId : query.diskIds)
            any += (any.empty() ? "" : " OR ") + std::string("\"Disk ID\" = ") +
                   parameter(toServerText(diskId));
        conditions.push_back("(" + any + ")");
    }
    if (query.minSize)
        conditions.push_back("\"File Size\" >= " + parameter(std::to_string(*query.minSize)));
    if (query.maxSize)
        conditions.push_back("\"File Size\" <= " + parameter(std::to_string(*query.maxSize)));
    std::string where;
    for (const std::string& condition : conditions)
        where += (where.empty() ? " WHERE " : " AND ") + condition;
    return where;
}

std::string limitClause(const PgRecordQuery& query) {
    return query.limit ? " LIMIT " + std::to_string(*query.limit) : std::string();
}

} // namespace

PgSelect recordSelect(const std::string& table, const PgRecordQuery& query) {
    PgSelect select;
    select.sql = "SELECT \"Id\", \"Disk ID\", \"File Path\", \"File Name\", \"File Size\" FROM " +
                 quoteIdentifier(table) + whereClause(query, select.parameters) +
                 " ORDER BY \"Id\"" + limitClause(query);
    return select;
}

PgSelect recordCount(const std::string& table, const PgRecordQuery& query) {
    PgSelect select;
    select.sql = "SELECT count(*) FROM (SELECT 1 FROM " + quoteIdentifier(table) +
                 whereClause(query, select.parameters) + limitClause(query) + ") AS found";
    return select;
}

std::string likeSubstringOnServer(std::string_view bytes) {
    // The server form never holds % _ or \ that the bytes did not: escaping after it is exact.
    std::string like = "%";
    for (const char c : toServerText(bytes)) {
        if (c == '%' || c == '_' || c == '\\')
            like += '\\';
        like += c;
    }
    return like + "%";
}

std::vector<PgDiskTotals> diskTotals(PgConnection& db, const std::string& table) {
    const std::string diskId = "coalesce(\"Disk ID\", '')";
    const PgResult rows = db.execute(
        "SELECT " + diskId + ", count(*), coalesce(sum(\"File Size\"), 0) FROM " +
        quoteIdentifier(table) + " GROUP BY " + diskId + " ORDER BY " + diskId + " COLLATE \"C\"");
    std::vector<PgDiskTotals> totals;
    for (int row = 0; row < rows.rows(); ++row)
        totals.push_back(
            {fromServerText(rows.text(row, 0)), rows.integer(row, 1), rows.integer(row, 2)});
    return totals;
}

} // namespace katalox::store
