#pragma once
// The facts of a catalogue table's records on a server (PgFactTables.h) as the writer and the
// reader of store/facts reach them, and the writer of a scan's facts during its insert.
#include "store/facts/FactRows.h"
#include "store/facts/FactsWriter.h"
#include "store/facts/RecordedFacts.h"
#include "store/postgres/PgFactTables.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace katalox::store {

class PgConnection;
class PgInsert;

// The bytes of a bytea value in its text form (\x and hex digits).
std::string byteaBytes(const std::string& text);
// Whole numbers as an array's text form, for a parameter $n::bigint[].
std::string bigintArray(const std::vector<std::int64_t>& values);

// The real path and time of record `record` of `table`; none when it has no facts.
std::optional<RecordedPath> serverRecordedPath(PgConnection& db, const std::string& table,
                                               std::int64_t record);

class ServerFactsSink : public FactsSink {
public:
    ServerFactsSink(PgConnection& db, const std::string& table);
    bool folderExists(std::int64_t folder) override;
    std::vector<std::int64_t> addFolders(std::int64_t scanId,
                                         const std::vector<NewFolder>& folders) override;
    void addRuns(const std::vector<FactRun>& runs) override;
    void growFolders(const std::vector<FolderGrowth>& growths) override;

private:
    PgConnection& db_;
    std::string table_;
};

// A run is read with the marks of its records, so that a record costs no statement of its own.
class ServerFactsSource : public FactsSource {
public:
    ServerFactsSource(PgConnection& db, const std::string& table);
    std::optional<FactRun> runFrom(std::int64_t record) override;
    bool dropped(std::int64_t record) override;
    std::optional<FolderRow> folder(std::int64_t id) override;

private:
    PgConnection& db_;
    std::string runSql_;
    std::string folderSql_;
    std::vector<std::int64_t> dropped_; // of the run read last, in order
};

// The facts of the files of one scan written by `insert`, each batch's in its transaction.
class ServerScanFacts {
public:
    // `rootFolder`: the scan's start folder, ending with the separator. Sets the insert's
    // batch closing.
    ServerScanFacts(PgConnection& db, const std::string& table, PgInsert& insert,
                    std::int64_t scanId, std::string rootFolder);
    // The file at `realPath` just added as record `record`.
    void add(std::string_view realPath, std::int64_t record, std::int64_t size,
             std::int64_t modified);

private:
    FactsWriter writer_;
};

} // namespace katalox::store
