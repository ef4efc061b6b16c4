#pragma once
// What a disk would lose: each of its files either has a copy on another disk (the same
// sampled print and size), lies on this disk alone (a single copy), or has no print to tell
// (never read). Totals are rolled up the stored folder tree, each folder counting the files
// below it; empty files hold nothing to lose and are not counted.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace katalox::store {

class CopySource;
class Database;

struct FileCount {
    std::int64_t files = 0;
    std::int64_t bytes = 0;
    void add(std::int64_t size) {
        ++files;
        bytes += size;
    }
    void add(const FileCount& other) {
        files += other.files;
        bytes += other.bytes;
    }
};

struct CoverageFolder {
    std::string path; // as stored, ending with the separator
    std::size_t parent = 0;
    FileCount copied, single, unknown;
    std::vector<std::size_t> children; // most single bytes first
};

struct DiskCoverage {
    FileCount copied, single, unknown;
    std::vector<CoverageFolder> folders; // the first is the root "/"
    // The stored paths of the single copies, in record order (sorted when exported).
    std::vector<std::string> singlePaths;
    // The share of the bytes whose content is known that has a copy elsewhere, 0 to 1.
    double protectedShare() const;
};

DiskCoverage coverageOf(CopySource& source, const std::string& diskId);
// The same in table `table` of a catalogue file, read in one snapshot.
DiskCoverage coverageOf(Database& db, const std::string& table, const std::string& diskId);

// The protected share is kept per Disk ID once worked out, for the windows that show it.
void keepProtectedShare(CopySource& source, const std::string& diskId,
                        const DiskCoverage& coverage);
std::optional<double> keptProtectedShare(CopySource& source, const std::string& diskId);
void keepProtectedShare(Database& db, const std::string& diskId, const DiskCoverage& coverage);
std::optional<double> keptProtectedShare(Database& db, const std::string& diskId);

} // namespace katalox::store
