#include "store/facts/RecordedFacts.h"

#include "platform/Paths.h"
#include "store/facts/FactTables.h"
#include "store/facts/RealName.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

#include <vector>

namespace katalox::store {

std::optional<RecordedPath> recordedPathOf(Database& db, const std::string& table,
                                           std::int64_t record) {
    if (!hasFactTables(db))
        return std::nullopt;
    Statement fact = db.prepare("SELECT x.\"Folder\", x.\"Name\", r.\"File Name\" FROM " +
                                quoteIdentifier(kFactsTable) + " x JOIN " + quoteIdentifier(table) +
                                " r ON r.rowid = x.\"Record\" WHERE x.\"Record\" = ?1");
    fact.bindInteger(1, record);
    if (!fact.step())
        return std::nullopt;
    std::vector<std::string> names{realNameOf(fact.columnValue(1), fact.columnValue(2).asString())};
    Statement folder = db.prepare("SELECT \"Parent\", \"Name\", \"Scan\" FROM " +
                                  quoteIdentifier(kFoldersTable) + " WHERE \"Id\" = ?1");
    RecordedPath found;
    Value at(fact.columnInteger(0));
    // Each step goes up one folder; a loop in damaged rows ends at the depth no path reaches.
    for (int depth = 0; !at.isNull() && depth < 4096; ++depth) {
        folder.reset();
        folder.bind(1, at);
        if (!folder.step())
            return std::nullopt; // a folder row is missing
        at = folder.columnValue(0);
        names.push_back(folder.columnValue(1).asString());
        found.scanId = folder.columnInteger(2);
    }
    if (!at.isNull())
        return std::nullopt;
    // The root's name is the scan's whole folder, ending with the separator.
    found.path = names.back();
    for (std::size_t i = names.size() - 1; i-- > 1;)
        found.path.append(names[i]).push_back(platform::kPathSeparator);
    found.path.append(names.front());
    return found;
}

} // namespace katalox::store
