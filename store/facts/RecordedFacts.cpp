#include "store/facts/RecordedFacts.h"

#include "platform/Paths.h"
#include "store/facts/FactTables.h"
#include "store/facts/RealName.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

namespace katalox::store {

namespace {

// No real path is this deep: a loop in damaged rows ends here.
constexpr int kDeepest = 4096;

} // namespace

RecordedFactsReader::RecordedFactsReader(Database& db) {
    if (!hasFactTables(db))
        return;
    fact_ = std::make_unique<Statement>(
        db.prepare("SELECT \"Folder\", \"Name\", \"Modified\" FROM " +
                   quoteIdentifier(kFactsTable) + " WHERE \"Record\" = ?1"));
    folder_ = std::make_unique<Statement>(db.prepare("SELECT \"Parent\", \"Name\", \"Scan\" FROM " +
                                                     quoteIdentifier(kFoldersTable) +
                                                     " WHERE \"Id\" = ?1"));
}

const RecordedFactsReader::FolderPath* RecordedFactsReader::folderPath(std::int64_t folder,
                                                                       int depth) {
    if (const auto known = folders_.find(folder); known != folders_.end())
        return known->second ? &*known->second : nullptr;
    std::optional<FolderPath> found;
    folder_->reset();
    folder_->bindInteger(1, folder);
    if (folder_->step() && depth < kDeepest) {
        const Value parent = folder_->columnValue(0);
        std::string name = folder_->columnValue(1).asString();
        const std::int64_t scan = folder_->columnInteger(2);
        folder_->reset();
        if (parent.isNull()) {
            found = FolderPath{scan, std::move(name)}; // a root: the scan's whole folder
        } else if (const FolderPath* up = folderPath(parent.asInteger(), depth + 1)) {
            found = FolderPath{up->scanId, up->path + name + platform::kPathSeparator};
        }
    }
    const auto kept = folders_.emplace(folder, std::move(found)).first;
    return kept->second ? &*kept->second : nullptr;
}

std::optional<RecordedPath> RecordedFactsReader::factsOf(std::int64_t record,
                                                         const std::string& upperName) {
    if (!fact_)
        return std::nullopt;
    fact_->reset();
    fact_->bindInteger(1, record);
    if (!fact_->step())
        return std::nullopt;
    const std::int64_t folder = fact_->columnInteger(0);
    const Value name = fact_->columnValue(1);
    const std::int64_t modified = fact_->columnInteger(2);
    fact_->reset();
    const FolderPath* at = folderPath(folder);
    if (!at)
        return std::nullopt; // a folder row is missing
    return RecordedPath{at->scanId, at->path + realNameOf(name, upperName), modified};
}

std::optional<RecordedPath> recordedPathOf(Database& db, const std::string& table,
                                           std::int64_t record) {
    Statement name =
        db.prepare("SELECT \"File Name\" FROM " + quoteIdentifier(table) + " WHERE rowid = ?1");
    name.bindInteger(1, record);
    if (!name.step())
        return std::nullopt;
    return RecordedFactsReader(db).factsOf(record, name.columnValue(0).asString());
}

} // namespace katalox::store
