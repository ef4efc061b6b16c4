#pragma once
// The rows of facts as an engine keeps them, behind the two small interfaces that the writer
// and the reader use: one for the catalogue file (FactsOnFile.h), one for a catalogue on a
// server (store/postgres/PgFacts.h). What is written and how it is read back is the same on
// both; only the statements differ.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace katalox::store {

// A folder written for the first time: its parent is a folder written before (parentId), one
// written with it (parentAt, its place in the same list, always before it), or none (a root).
struct NewFolder {
    std::string name;
    std::int64_t parentId = 0;
    std::optional<std::size_t> parentAt;
};

// Records `first` to `first + count - 1`, all of folder `folder`, their facts packed (FactRuns.h).
struct FactRun {
    std::int64_t first = 0;
    std::int64_t count = 0;
    std::int64_t folder = 0;
    std::string names;
    std::string times;
};

// Files and bytes added to a written folder.
struct FolderGrowth {
    std::int64_t folder = 0;
    std::int64_t files = 0;
    std::int64_t bytes = 0;
};

// A folder's row read back.
struct FolderRow {
    std::optional<std::int64_t> parent; // none for a scan's root
    std::string name;
    std::int64_t scan = 0;
};

// Writes inside the caller's transaction.
class FactsSink {
public:
    virtual ~FactsSink() = default;
    // False once the folder's row is gone (its transaction rolled back).
    virtual bool folderExists(std::int64_t folder) = 0;
    // Writes the folders of scan `scanId` with no files yet and returns their Ids, in order.
    virtual std::vector<std::int64_t> addFolders(std::int64_t scanId,
                                                 const std::vector<NewFolder>& folders) = 0;
    // Writes the runs (replacing any of the same first record) and clears the dropped marks of
    // their records: a record Id used again has facts again.
    virtual void addRuns(const std::vector<FactRun>& runs) = 0;
    virtual void growFolders(const std::vector<FolderGrowth>& growths) = 0;
};

// Reads, for RecordedFactsReader.
class FactsSource {
public:
    virtual ~FactsSource() = default;
    // The run starting at or before `record` that is nearest to it (it may end before it).
    virtual std::optional<FactRun> runFrom(std::int64_t record) = 0;
    // Whether the facts of `record` (in the run runFrom() gave last) were dropped.
    virtual bool dropped(std::int64_t record) = 0;
    virtual std::optional<FolderRow> folder(std::int64_t id) = 0;
};

} // namespace katalox::store
