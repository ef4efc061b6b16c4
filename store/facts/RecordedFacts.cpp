#include "store/facts/RecordedFacts.h"

#include "platform/Paths.h"
#include "store/facts/FactTables.h"
#include "store/facts/RealName.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

#include <algorithm>

namespace katalox::store {

namespace {

// No real path is this deep: a loop in damaged rows ends here.
constexpr int kDeepest = 4096;

} // namespace

RecordedFactsReader::RecordedFactsReader(Database& db) {
    if (!hasFactTables(db))
        return;
    const std::string facts = quoteIdentifier(kFactsTable);
    run_ = std::make_unique<Statement>(
        db.prepare("SELECT \"First Record\", \"Records\", \"Folder\", \"Names\", \"Times\" FROM " +
                   facts + " WHERE \"First Record\" = (SELECT max(\"First Record\") FROM " + facts +
                   " WHERE \"First Record\" <= ?1)"));
    const std::string dropped = quoteIdentifier(kDroppedTable);
    anyDropped_ = db.integerOf("SELECT count(*) FROM (SELECT 1 FROM " + dropped + " LIMIT 1)") > 0;
    dropped_ = std::make_unique<Statement>(
        db.prepare("SELECT 1 FROM " + dropped + " WHERE \"Record\" = ?1"));
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

const RecordedFactsReader::Run* RecordedFactsReader::runHolding(std::int64_t record) {
    if (record >= last_.first && record < last_.first + last_.count)
        return &last_;
    run_->reset();
    run_->bindInteger(1, record);
    if (!run_->step())
        return nullptr;
    last_.first = run_->columnInteger(0);
    last_.count = run_->columnInteger(1);
    last_.folder = run_->columnInteger(2);
    last_.facts = unpackFacts(run_->columnValue(3).asString(), run_->columnValue(4).asString(),
                              static_cast<std::size_t>(std::max<std::int64_t>(last_.count, 0)));
    last_.count = static_cast<std::int64_t>(last_.facts.size()); // fewer when damaged
    run_->reset();
    return record < last_.first + last_.count ? &last_ : nullptr;
}

std::optional<RecordedPath> RecordedFactsReader::factsOf(std::int64_t record,
                                                         const std::string& upperName) {
    if (!run_)
        return std::nullopt;
    const Run* run = runHolding(record);
    if (!run)
        return std::nullopt;
    if (anyDropped_) {
        dropped_->reset();
        dropped_->bindInteger(1, record);
        const bool dropped = dropped_->step();
        dropped_->reset();
        if (dropped)
            return std::nullopt;
    }
    const FileFact& fact = run->facts[static_cast<std::size_t>(record - run->first)];
    const FolderPath* at = folderPath(run->folder);
    if (!at)
        return std::nullopt; // a folder row is missing
    return RecordedPath{at->scanId, at->path + realNameOf(fact.name, upperName), fact.modified};
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
