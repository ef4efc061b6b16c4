#pragma once
// Folders that are copies of one another: every file directly in a folder has a copy (the same
// print) directly in another folder, which then holds all of the first's files or the very
// same ones. Users ask for overlapping folders more than for single files: one line per pair
// says more than a group per file. Folders are known through the facts kept at scan time, so
// records without facts are left out.
#include "store/copies/CopyGroups.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace katalox::store {

class Database;
class RecordedFactsReader;
struct RecordedScan;

struct CopiedFolder {
    std::string diskId;
    std::string path; // real path as scanned, ending with the separator
    std::string otherDiskId;
    std::string otherPath;
    std::int64_t files = 0; // of the first folder, directly in it
    std::int64_t bytes = 0;
    bool same = false; // both hold the same files; else the other holds all of the first's
};

// What copied folders are worked out from: the reads that differ between a catalogue file and a
// catalogue on a server.
class FolderCopyRows {
public:
    virtual ~FolderCopyRows() = default;
    // False when the catalogue keeps no prints or no facts.
    virtual bool keepsPrintsAndFacts() = 0;
    struct Run {
        std::int64_t first = 0;
        std::int64_t count = 0;
        std::int64_t folder = 0;
    };
    // The runs of records of the facts, in record order.
    virtual std::vector<Run> runs() = 0;
    // Every record whose print has copies, with the key of its group, group after group.
    using Shared = std::function<void(const std::string& group, std::int64_t record)>;
    virtual void sharedRecords(const Shared& shared) = 0;
    // The files and bytes directly in each of `folders`.
    virtual std::map<std::int64_t, std::pair<std::int64_t, std::int64_t>>
    folderSizes(const std::vector<std::int64_t>& folders) = 0;
    virtual std::vector<RecordedScan> scans() = 0;
    virtual RecordedFactsReader& names() = 0;
};

// The copied folders that pass `filter` (Disk ID of either folder, bytes of the first, a path
// part of either), most bytes first, at most `limit`.
std::vector<CopiedFolder> copiedFolders(FolderCopyRows& rows, const CopyFilter& filter,
                                        std::size_t limit);
// The same in a catalogue file.
std::vector<CopiedFolder> copiedFolders(Database& db, const CopyFilter& filter, std::size_t limit);

} // namespace katalox::store
