#include "store/facts/RecordedFacts.h"

#include "platform/Paths.h"
#include "store/facts/FactsOnFile.h"
#include "store/facts/RealName.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"
#include "store/sqlite/Statement.h"

#include <algorithm>

namespace katalox::store {

namespace {

// No real path is this deep: a loop in damaged rows ends here.
constexpr int kDeepest = 4096;

} // namespace

RecordedFactsReader::RecordedFactsReader(Database& db)
    : RecordedFactsReader(std::make_unique<FileFactsSource>(db)) {}

RecordedFactsReader::RecordedFactsReader(std::unique_ptr<FactsSource> source)
    : source_(std::move(source)) {}

RecordedFactsReader::~RecordedFactsReader() = default;
RecordedFactsReader::RecordedFactsReader(RecordedFactsReader&&) noexcept = default;

const RecordedFactsReader::FolderPath* RecordedFactsReader::folderPath(std::int64_t folder,
                                                                       int depth) {
    if (const auto known = folders_.find(folder); known != folders_.end())
        return known->second ? &*known->second : nullptr;
    std::optional<FolderPath> found;
    if (std::optional<FolderRow> row = depth < kDeepest ? source_->folder(folder) : std::nullopt) {
        if (!row->parent) {
            found = FolderPath{row->scan, std::move(row->name)}; // a root: the scan's whole folder
        } else if (const FolderPath* up = folderPath(*row->parent, depth + 1)) {
            found = FolderPath{up->scanId, up->path + row->name + platform::kPathSeparator};
        }
    }
    const auto kept = folders_.emplace(folder, std::move(found)).first;
    return kept->second ? &*kept->second : nullptr;
}

const RecordedFactsReader::Run* RecordedFactsReader::runHolding(std::int64_t record) {
    if (record >= last_.first && record < last_.first + last_.count)
        return &last_;
    const std::optional<FactRun> run = source_->runFrom(record);
    if (!run)
        return nullptr;
    last_.first = run->first;
    last_.folder = run->folder;
    last_.facts = unpackFacts(run->names, run->times,
                              static_cast<std::size_t>(std::max<std::int64_t>(run->count, 0)));
    last_.count = static_cast<std::int64_t>(last_.facts.size()); // fewer when damaged
    return record < last_.first + last_.count ? &last_ : nullptr;
}

std::optional<RecordedPath> RecordedFactsReader::factsOf(std::int64_t record,
                                                         const std::string& upperName) {
    const Run* run = runHolding(record);
    if (!run || source_->dropped(record))
        return std::nullopt;
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
