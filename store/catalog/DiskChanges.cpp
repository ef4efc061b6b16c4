#include "store/catalog/DiskChanges.h"

#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"
#include "store/sqlite/Transaction.h"

#include <bit>
#include <cstdint>
#include <string_view>
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

namespace {

// Each path's first record, in an open-addressing table of record numbers: a million records
// are looked up several times faster than through a node per entry.
class RecordsByPath {
public:
    explicit RecordsByPath(const std::vector<StoredRecord>& records)
        : records_(records), slots_(std::bit_ceil(records.size() * 2 + 2), kEmpty),
          mask_(slots_.size() - 1), matched_(records.size(), false) {
        for (std::uint32_t i = 0; i < records.size(); ++i) {
            std::uint32_t& slot = slotOf(records[i].path);
            if (slot == kEmpty)
                slot = i;
            else
                duplicates_.push_back(i);
        }
    }

    // The first unmatched record of `path`, now matched; none when there is none.
    const StoredRecord* match(const std::string& path) {
        const std::uint32_t slot = slotOf(path);
        if (slot == kEmpty || matched_[slot])
            return nullptr;
        matched_[slot] = true;
        return &records_[slot];
    }
    bool known(const std::string& path) { return slotOf(path) != kEmpty; }

    // The records no file matched, in Id order, then the second records of one path.
    std::vector<StoredRecord> unmatched() const {
        std::vector<StoredRecord> left;
        std::vector<bool> duplicate(records_.size(), false);
        for (const std::uint32_t i : duplicates_)
            duplicate[i] = true;
        for (std::size_t i = 0; i < records_.size(); ++i)
            if (!matched_[i] && !duplicate[i])
                left.push_back(records_[i]);
        for (const std::uint32_t i : duplicates_)
            left.push_back(records_[i]);
        return left;
    }

private:
    static constexpr std::uint32_t kEmpty = UINT32_MAX;

    std::uint32_t& slotOf(const std::string& path) {
        std::size_t at = std::hash<std::string_view>()(path) & mask_;
        while (slots_[at] != kEmpty && records_[slots_[at]].path != path)
            at = (at + 1) & mask_;
        return slots_[at];
    }

    const std::vector<StoredRecord>& records_;
    std::vector<std::uint32_t> slots_;
    std::size_t mask_;
    std::vector<bool> matched_;
    std::vector<std::uint32_t> duplicates_;
};

} // namespace

DiskChanges compareRecords(const std::vector<StoredRecord>& records,
                           const std::vector<FoundOnDisk>& found) {
    DiskChanges changes;
    RecordsByPath byPath(records);
    std::unordered_set<std::string_view> addedPaths;
    for (const FoundOnDisk& file : found) {
        const StoredRecord* record = byPath.match(file.path);
        if (!record) {
            // The same file found again through overlapping scans matches nothing twice.
            if (!byPath.known(file.path) && addedPaths.insert(file.path).second)
                changes.added.push_back(file);
        } else if (record->size == file.size) {
            ++changes.unchanged;
        } else {
            changes.changed.push_back({*record, file.size});
        }
    }
    changes.removed = byPath.unmatched();
    return changes;
}

void applyChanges(Database& db, const std::string& table, const std::string& diskId,
                  const DiskChanges& changes, const std::vector<RecordedScan>& scans,
                  const std::function<void(std::size_t done)>& progress) {
    const std::string name = quoteIdentifier(table);
    std::size_t done = 0;
    auto stepDone = [&](Statement& statement) {
        statement.step();
        statement.reset();
        if (++done % kProgressStep == 0 && progress)
            progress(done);
    };
    Transaction transaction(db);
    Statement remove = db.prepare("DELETE FROM " + name + " WHERE \"Id\" = ?1");
    for (const StoredRecord& record : changes.removed) {
        remove.bindInteger(1, record.id);
        stepDone(remove);
    }
    Statement resize = db.prepare("UPDATE " + name + " SET \"File Size\" = ?1 WHERE \"Id\" = ?2");
    for (const ResizedRecord& change : changes.changed) {
        resize.bindInteger(1, change.newSize);
        resize.bindInteger(2, change.record.id);
        stepDone(resize);
    }
    Statement add = db.prepare("INSERT INTO " + name +
                               " (\"File Name\", \"File Path\", \"Disk ID\", \"File Size\")"
                               " VALUES (?1, ?2, ?3, ?4)");
    for (const FoundOnDisk& file : changes.added) {
        add.bindText(1, file.path.substr(file.path.rfind('/') + 1));
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
