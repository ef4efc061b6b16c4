#include "store/postgres/PgDiskChanges.h"

#include "platform/Paths.h"
#include "store/archives/ArchiveListing.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgDisks.h"
#include "store/postgres/PgInsert.h"
#include "store/postgres/PgText.h"
#include "store/sqlite/SqlText.h"

#include <algorithm>

namespace katalox::store {

namespace {

// Changes sent in one statement, and told as progress after each.
constexpr std::size_t kChangesPerStatement = 5000;

// An array's text form for a parameter $n::text[]: each element quoted, its quotes and
// backslashes escaped.
std::string textArray(const std::vector<std::string>& values) {
    std::string array = "{";
    for (const std::string& value : values) {
        if (array.size() > 1)
            array += ',';
        array += '"';
        for (const char c : value) {
            if (c == '"' || c == '\\')
                array += '\\';
            array += c;
        }
        array += '"';
    }
    return array + "}";
}

std::string numberArray(const std::vector<std::int64_t>& values) {
    std::string array = "{";
    for (const std::int64_t value : values)
        array += (array.size() > 1 ? "," : "") + std::to_string(value);
    return array + "}";
}

bool underAny(const std::string& path, const std::vector<std::string>& folders) {
    return std::any_of(folders.begin(), folders.end(), [&](const std::string& folder) {
        return path.compare(0, folder.size(), folder) == 0;
    });
}

// Runs `statement` for the items of `items` a piece at a time, `parametersOf(first, past)`
// giving its parameters for items [first, past).
template <typename Items, typename Parameters>
void inPieces(PgConnection& db, const std::string& statement, const Items& items,
              const Parameters& parametersOf, std::size_t& done,
              const std::function<void(std::size_t)>& progress) {
    for (std::size_t first = 0; first < items.size(); first += kChangesPerStatement) {
        const std::size_t past = std::min(items.size(), first + kChangesPerStatement);
        db.execute(statement, parametersOf(first, past));
        done += past - first;
        if (progress)
            progress(done);
    }
}

} // namespace

void insertServerRecords(PgConnection& db, const std::string& table, const std::string& diskId,
                         const std::vector<ServerRecordRow>& rows) {
    std::size_t done = 0;
    inPieces(db,
             "INSERT INTO " + quoteIdentifier(table) +
                 " (\"Id\", \"File Name\", \"File Path\", \"Disk ID\", \"File Size\") SELECT v.id,"
                 " v.name, v.path, $4, v.size FROM unnest($1::bigint[], $2::text[], $3::text[],"
                 " $5::bigint[]) AS v (id, name, path, size)",
             rows,
             [&](std::size_t first, std::size_t past) {
                 std::vector<std::int64_t> ids, sizes;
                 std::vector<std::string> names, paths;
                 for (std::size_t i = first; i < past; ++i) {
                     ids.push_back(rows[i].id);
                     names.push_back(toServerText(rows[i].upperName));
                     paths.push_back(toServerText(rows[i].upperPath));
                     sizes.push_back(rows[i].size);
                 }
                 return std::vector<PgParameter>{numberArray(ids), textArray(names),
                                                 textArray(paths), toServerText(diskId),
                                                 numberArray(sizes)};
             },
             done, {});
}

std::vector<StoredRecord> serverRecordsUnder(PgConnection& db, const std::string& table,
                                             const std::string& diskId,
                                             const std::vector<std::string>& folders) {
    const PgResult rows =
        db.execute("SELECT \"Id\", \"File Path\", \"File Size\" FROM " + quoteIdentifier(table) +
                       " WHERE \"Disk ID\" = $1 ORDER BY \"Id\"",
                   {toServerText(diskId)});
    std::vector<StoredRecord> records;
    for (int row = 0; row < rows.rows(); ++row) {
        StoredRecord record{rows.integer(row, 0), fromServerText(rows.text(row, 1)),
                            rows.isNull(row, 2) ? 0 : rows.integer(row, 2)};
        // Members of archives are compared through their archive, never with the disk's files.
        if (underAny(record.path, folders) &&
            record.path.find(kMemberSeparator) == std::string::npos)
            records.push_back(std::move(record));
    }
    return records;
}

void applyServerChanges(
    PgConnection& db, const std::string& table, const std::string& diskId,
    const DiskChanges& changes, const std::vector<RecordedScan>& scans,
    const std::function<void(std::size_t done)>& progress,
    const std::function<void(const std::vector<std::int64_t>& added)>& beforeCommit) {
    const std::string name = quoteIdentifier(table);
    // The added records take their Ids first, so that each one's is known in order.
    std::vector<std::int64_t> addedIds;
    if (!changes.added.empty()) {
        const std::int64_t first = reserveRecordIds(db, table, changes.added.size());
        for (std::size_t i = 0; i < changes.added.size(); ++i)
            addedIds.push_back(first + static_cast<std::int64_t>(i));
    }
    std::size_t done = 0;
    PgTransaction transaction(db);
    inPieces(
        db, "DELETE FROM " + name + " WHERE \"Id\" = ANY ($1::bigint[])", changes.removed,
        [&](std::size_t first, std::size_t past) {
            std::vector<std::int64_t> ids;
            for (std::size_t i = first; i < past; ++i)
                ids.push_back(changes.removed[i].id);
            return std::vector<PgParameter>{numberArray(ids)};
        },
        done, progress);
    inPieces(
        db,
        "UPDATE " + name +
            " SET \"File Size\" = v.size FROM unnest($1::bigint[], $2::bigint[])"
            " AS v (id, size) WHERE \"Id\" = v.id",
        changes.changed,
        [&](std::size_t first, std::size_t past) {
            std::vector<std::int64_t> ids, sizes;
            for (std::size_t i = first; i < past; ++i) {
                ids.push_back(changes.changed[i].record.id);
                sizes.push_back(changes.changed[i].newSize);
            }
            return std::vector<PgParameter>{numberArray(ids), numberArray(sizes)};
        },
        done, progress);
    std::vector<ServerRecordRow> rows;
    rows.reserve(changes.added.size());
    for (std::size_t i = 0; i < changes.added.size(); ++i) {
        const FoundOnDisk& file = changes.added[i];
        rows.push_back({addedIds[i],
                        file.path.substr(file.path.rfind(platform::kPathSeparator) + 1), file.path,
                        file.size});
    }
    insertServerRecords(db, table, diskId, rows);
    done += rows.size();
    if (progress && !rows.empty())
        progress(done);
    for (const RecordedScan& scan : scans)
        rewriteServerScan(db, table, scan);
    if (beforeCommit)
        beforeCommit(addedIds);
    transaction.commit();
}

} // namespace katalox::store
