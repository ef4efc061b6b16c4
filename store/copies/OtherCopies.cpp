#include "store/copies/OtherCopies.h"

#include "store/prints/PrintTables.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

#include <algorithm>

namespace katalox::store {

namespace {

std::string membersSql(const std::string& table) {
    return "SELECT p.\"Record\", f.\"Disk ID\", f.\"File Path\", f.\"File Size\", v.\"Hash\", " +
           runPrintSql("p.\"Record\"") + " FROM " + quoteIdentifier(kFilePrintsTable) + " p JOIN " +
           quoteIdentifier(table) + " f ON f.rowid = p.\"Record\" LEFT JOIN " +
           quoteIdentifier(kVerifiedTable) +
           " v ON v.\"Record\" = p.\"Record\" WHERE p.\"Print\" = ?1";
}

} // namespace

std::vector<PrintedRecord> recordsWithKey(Database& db, const std::string& table,
                                          const std::string& key) {
    std::vector<PrintedRecord> members;
    Statement select = db.prepare(membersSql(table) + " ORDER BY f.\"Disk ID\", f.\"File Path\"");
    select.bindBlob(1, key);
    while (select.step())
        members.push_back({{select.columnInteger(0), select.columnValue(1).asString(),
                            select.columnValue(2).asString(), select.columnInteger(3), false},
                           select.columnValue(4).asString()});
    return members;
}

std::vector<KnownCopy> otherCopies(Database& db, const std::string& table, std::int64_t record) {
    if (!hasPrintTables(db))
        return {};
    Statement own =
        db.prepare("SELECT " + runPrintSql("?1") + ", (SELECT \"Hash\" FROM " +
                   quoteIdentifier(kVerifiedTable) + " WHERE \"Record\" = ?1), " +
                   "(SELECT \"File Size\" FROM " + quoteIdentifier(table) + " WHERE rowid = ?1)");
    own.bindInteger(1, record);
    if (!own.step() || own.columnValue(0).isNull())
        return {};
    const std::string print = own.columnValue(0).asString();
    const std::string hash = own.columnValue(1).asString();
    const std::int64_t size = own.columnInteger(2);
    own.reset();
    std::vector<KnownCopy> copies;
    Statement select = db.prepare(membersSql(table));
    select.bindBlob(1, std::string_view(print).substr(0, 8));
    while (select.step()) {
        if (select.columnInteger(0) == record || select.columnInteger(3) != size ||
            select.columnValue(5).asString() != print)
            continue;
        const std::string otherHash = select.columnValue(4).asString();
        if (!hash.empty() && !otherHash.empty() && hash != otherHash)
            continue; // read whole, they differ where the samples do not reach
        copies.push_back({select.columnInteger(0), select.columnValue(1).asString(),
                          select.columnValue(2).asString(), size,
                          !hash.empty() && hash == otherHash});
    }
    std::sort(copies.begin(), copies.end(), [](const KnownCopy& a, const KnownCopy& b) {
        return a.diskId != b.diskId ? a.diskId < b.diskId : a.path < b.path;
    });
    return copies;
}

} // namespace katalox::store
