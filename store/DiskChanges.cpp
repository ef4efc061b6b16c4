#include "store/DiskChanges.h"

#include "store/Database.h"
#include "store/Dialect.h"
#include "store/Transaction.h"

#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace katalox::store {

namespace {

// Progress is told after this many changes.
constexpr std::size_t kProgressStep = 1000;

bool underAny(const std::string& path, const std::vector<std::string>& folders) {
    for (const std::string& folder : folders)
        if (path.compare(0, folder.size(), folder) == 0)
            return true;
    return false;
}

} // namespace

std::vector<StoredRecord> recordsUnder(Database& db, const std::string& table,
                                       const std::string& diskId,
                                       const std::vector<std::string>& folders) {
    Statement statement =
        db.prepare("SELECT \"Id\", \"File Path\", \"File Size\" FROM " + quoteIdentifier(table) +
                   " WHERE \"Disk ID\" = ?1 ORDER BY \"Id\"");
    statement.bindText(1, diskId);
    std::vector<StoredRecord> records;
    while (statement.step()) {
        StoredRecord record{statement.columnInteger(0), statement.columnValue(1).asString(),
                            statement.columnInteger(2)};
        if (underAny(record.path, folders))
            records.push_back(std::move(record));
    }
    return records;
}

DiskChanges compareRecords(const std::vector<StoredRecord>& records,
                           const std::vector<FoundOnDisk>& found) {
    DiskChanges changes;
    // Each path's first record; the record is taken off once a file matches it.
    std::unordered_map<std::string_view, const StoredRecord*> byPath;
    byPath.reserve(records.size());
    std::vector<const StoredRecord*> duplicates;
    for (const StoredRecord& record : records)
        if (!byPath.emplace(record.path, &record).second)
            duplicates.push_back(&record);

    std::vector<const StoredRecord*> resized;
    std::unordered_set<std::string_view> addedPaths;
    for (const FoundOnDisk& file : found) {
        const auto it = byPath.find(file.path);
        if (it == byPath.end()) {
            if (addedPaths.insert(file.path).second)
                changes.added.push_back(file);
            continue;
        }
        if (!it->second)
            continue; // the same file found again, through overlapping scans
        if (it->second->size == file.size)
            ++changes.unchanged;
        else
            changes.changed.push_back({*it->second, file.size});
        it->second = nullptr;
    }
    for (const StoredRecord& record : records) {
        const auto it = byPath.find(record.path);
        if (it->second == &record)
            changes.removed.push_back(record);
    }
    for (const StoredRecord* duplicate : duplicates)
        changes.removed.push_back(*duplicate);
    return changes;
}

void applyChanges(Database& db, const std::string& table, const std::string& diskId,
                  const DiskChanges& changes, const std::vector<RecordedScan>& scans,
                  const std::function<void(std::size_t done)>& progress) {
    const std::string quoted = quoteIdentifier(table);
    std::size_t done = 0;
    auto stepDone = [&](Statement& statement) {
        statement.step();
        statement.reset();
        if (++done % kProgressStep == 0 && progress)
            progress(done);
    };
    Transaction transaction(db);
    Statement remove = db.prepare("DELETE FROM " + quoted + " WHERE \"Id\" = ?1");
    for (const StoredRecord& record : changes.removed) {
        remove.bindInteger(1, record.id);
        stepDone(remove);
    }
    Statement resize = db.prepare("UPDATE " + quoted + " SET \"File Size\" = ?1 WHERE \"Id\" = ?2");
    for (const ResizedRecord& change : changes.changed) {
        resize.bindInteger(1, change.newSize);
        resize.bindInteger(2, change.record.id);
        stepDone(resize);
    }
    Statement add = db.prepare("INSERT INTO " + quoted +
                               " (\"File Name\", \"File Path\", \"Disk ID\", \"File Size\")"
                               " VALUES (?1, ?2, ?3, ?4)");
    for (const FoundOnDisk& file : changes.added) {
        add.bindText(1, file.name);
        add.bindText(2, file.path);
        add.bindText(3, diskId);
        add.bindInteger(4, file.size);
        stepDone(add);
    }
    for (const RecordedScan& scan : scans)
        rewriteRecordedScan(db, scan);
    if (progress)
        progress(done);
    transaction.commit();
}

} // namespace katalox::store
