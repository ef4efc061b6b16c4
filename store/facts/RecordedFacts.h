#pragma once
// A record's facts read back: its real path as scanned and its modification time. What Copy
// Path and the file actions use instead of guessing the letter case on the live disk, and what
// the command line prints for each record it finds.
#include "store/facts/FactRows.h"
#include "store/facts/FactRuns.h"
#include "store/sqlite/Statement.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace katalox::store {

class Database;

struct RecordedPath {
    std::int64_t scanId = 0; // the row of "Disks" of the scan that found the file
    std::string path;        // as scanned: the scan's folder, real folder names, real name
    std::int64_t modified = 0;
};

// Reads the facts of many records, keeping the paths of the folders met, from a catalogue
// file or from any other FactsSource.
class RecordedFactsReader {
public:
    explicit RecordedFactsReader(Database& db);
    explicit RecordedFactsReader(std::unique_ptr<FactsSource> source);
    ~RecordedFactsReader();
    RecordedFactsReader(RecordedFactsReader&&) noexcept;
    // None when the record has no facts (or the catalogue keeps none). `upperName` is the
    // record's "File Name".
    std::optional<RecordedPath> factsOf(std::int64_t record, const std::string& upperName);

    struct FolderPath {
        std::int64_t scanId = 0;
        std::string path; // ending with the separator
    };
    // The real path of the folder `folder` (a row of "Disk Folders"); null when unknown.
    const FolderPath* folderPath(std::int64_t folder, int depth = 0);

private:
    // The run read last: records are mostly asked for in order, run after run.
    struct Run {
        std::int64_t first = 0;
        std::int64_t count = 0;
        std::int64_t folder = 0;
        std::vector<FileFact> facts;
    };
    const Run* runHolding(std::int64_t record);

    std::unique_ptr<FactsSource> source_;
    Run last_;
    std::unordered_map<std::int64_t, std::optional<FolderPath>> folders_;
};

// One record's facts. None when it has none.
std::optional<RecordedPath> recordedPathOf(Database& db, const std::string& table,
                                           std::int64_t record);

} // namespace katalox::store
