#pragma once
// A record's real path as scanned, from its facts: what Copy Path and the file actions use
// instead of guessing the letter case on the live disk.
#include <cstdint>
#include <optional>
#include <string>

namespace katalox::store {

class Database;

struct RecordedPath {
    std::int64_t scanId = 0; // the row of "Disks" of the scan that found the file
    std::string path;        // as scanned: the scan's folder, real folder names, real name
};

// None when the record has no facts (or the catalogue keeps none).
std::optional<RecordedPath> recordedPathOf(Database& db, const std::string& table,
                                           std::int64_t record);

} // namespace katalox::store
