#pragma once
// Folders that are copies of one another: every file directly in a folder has a copy (the same
// print) directly in another folder, which then holds all of the first's files or the very
// same ones. Users ask for overlapping folders more than for single files: one line per pair
// says more than a group per file. Folders are known through the facts kept at scan time, so
// records without facts are left out.
#include "store/copies/CopyGroups.h"

#include <cstdint>
#include <string>
#include <vector>

namespace katalox::store {

class Database;

struct CopiedFolder {
    std::string diskId;
    std::string path; // real path as scanned, ending with the separator
    std::string otherDiskId;
    std::string otherPath;
    std::int64_t files = 0; // of the first folder, directly in it
    std::int64_t bytes = 0;
    bool same = false; // both hold the same files; else the other holds all of the first's
};

// The copied folders that pass `filter` (Disk ID of either folder, bytes of the first, a path
// part of either), most bytes first, at most `limit`.
std::vector<CopiedFolder> copiedFolders(Database& db, const CopyFilter& filter, std::size_t limit);

} // namespace katalox::store
