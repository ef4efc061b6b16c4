#include "store/catalog/DiskChanges.h"

#include "store/archives/ArchiveListing.h"
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
        // Members of archives are compared through their archive, never with the disk's files.
        if (underAny(record.path, folders) &&
            record.path.find(kMemberSeparator) == std::string::npos)
            records.push_back(std::move(record));
    }
    return records;
}

namespace {

// The records by path, in an open-addressing table of record numbers with the records of one
// path chained in Id order: a million records are looked up several times faster than through
// a node per entry. Records of one path are a multiset: two files whose names differ only in
// letter case have the same upper-cased path and a record each.
class RecordsByPath {
public:
    explicit RecordsByPath(const std::vector<StoredRecord>& records)
        : records_(records), slots_(std::bit_ceil(records.size() * 2 + 2), kNone),
          mask_(slots_.size() - 1), next_(records.size(), kNone), matched_(records.size(), false) {
        std::vector<std::uint32_t> last(slots_.size(), kNone);
        for (std::uint32_t i = 0; i < records.size(); ++i) {
            const std::size_t slot = slotOf(records[i].path);
            if (slots_[slot] == kNone)
                slots_[slot] = i;
            else
                next_[last[slot]] = i;
            last[slot] = i;
        }
    }

    // An unmatched record of `path`, now matched: one of `size` when `sameSizeOnly`, else the
    // first; none when there is none.
    const StoredRecord* match(const std::string& path, std::int64_t size, bool sameSizeOnly) {
        for (std::uint32_t i = slots_[slotOf(path)]; i != kNone; i = next_[i]) {
            if (!matched_[i] && (!sameSizeOnly || records_[i].size == size)) {
                matched_[i] = true;
                return &records_[i];
            }
        }
        return nullptr;
    }

    // The records no file matched, in Id order.
    std::vector<StoredRecord> unmatched() const {
        std::vector<StoredRecord> left;
        for (std::size_t i = 0; i < records_.size(); ++i)
            if (!matched_[i])
                left.push_back(records_[i]);
        return left;
    }

private:
    static constexpr std::uint32_t kNone = UINT32_MAX;

    std::size_t slotOf(const std::string& path) const {
        std::size_t at = std::hash<std::string_view>()(path) & mask_;
        while (slots_[at] != kNone && records_[slots_[at]].path != path)
            at = (at + 1) & mask_;
        return at;
    }

    const std::vector<StoredRecord>& records_;
    std::vector<std::uint32_t> slots_; // the first record of each path
    std::size_t mask_;
    std::vector<std::uint32_t> next_; // the next record of the same path
    std::vector<bool> matched_;
};

// The files found, each once: the same file found again through overlapping scans counts once.
std::vector<const FoundOnDisk*> distinctFiles(const std::vector<FoundOnDisk>& found) {
    std::vector<const FoundOnDisk*> files;
    files.reserve(found.size());
    std::unordered_set<std::string_view> seen;
    seen.reserve(found.size());
    for (const FoundOnDisk& file : found)
        if (seen.insert(file.livePath.empty() ? file.path : file.livePath).second)
            files.push_back(&file);
    return files;
}

} // namespace

DiskChanges compareRecords(const std::vector<StoredRecord>& records,
                           const std::vector<FoundOnDisk>& found) {
    DiskChanges changes;
    RecordsByPath byPath(records);
    const std::vector<const FoundOnDisk*> files = distinctFiles(found);
    // Files whose record holds their size are matched first, so that of two records of one
    // path the one of the right size goes to the file that has it.
    std::vector<const FoundOnDisk*> unsized;
    for (const FoundOnDisk* file : files) {
        if (const StoredRecord* record = byPath.match(file->path, file->size, true)) {
            ++changes.unchanged;
            changes.kept.emplace_back(record->id, file);
        } else
            unsized.push_back(file);
    }
    for (const FoundOnDisk* file : unsized) {
        if (const StoredRecord* record = byPath.match(file->path, file->size, false)) {
            changes.changed.push_back({*record, file->size});
            changes.kept.emplace_back(record->id, file);
        } else
            changes.added.push_back(*file);
    }
    changes.removed = byPath.unmatched();
    return changes;
}

void applyChanges(Database& db, const std::string& table, const std::string& diskId,
                  const DiskChanges& changes, const std::vector<RecordedScan>& scans,
                  const std::function<void(std::size_t done)>& progress,
                  const std::function<void(const std::vector<std::int64_t>& added)>& beforeCommit) {
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
    std::vector<std::int64_t> addedIds;
    addedIds.reserve(changes.added.size());
    for (const FoundOnDisk& file : changes.added) {
        add.bindText(1, file.path.substr(file.path.rfind('/') + 1));
        add.bindText(2, file.path);
        add.bindText(3, diskId);
        add.bindInteger(4, file.size);
        stepDone(add);
        addedIds.push_back(db.lastInsertRowId());
    }
    for (const RecordedScan& scan : scans)
        rewriteRecordedScan(db, scan);
    if (beforeCommit)
        beforeCommit(addedIds);
    if (progress)
        progress(done);
    transaction.commit();
}

} // namespace katalox::store
