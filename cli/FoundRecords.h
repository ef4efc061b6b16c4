#pragma once
// Records as the command line prints them: each with its real path and time when recorded and
// where it is on a disk connected now, in one of the output forms.
#include "cli/Output.h"
#include "store/archives/ArchiveMembers.h"
#include "store/catalog/RecordedDisks.h"
#include "store/facts/RecordedFacts.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace katalox::store {
class Database;
}

namespace katalox::cli {

struct FoundRecord {
    std::int64_t id = 0;
    std::string diskId;
    std::string storedPath;
    std::string upperName;
    std::int64_t size = 0;
    std::optional<store::RecordedPath> facts;
    std::optional<std::string> livePath;

    // The real path when recorded, else the stored one.
    const std::string& path() const { return facts ? facts->path : storedPath; }
};

// The facts of records as they are printed: a file's own; a member of an archive's through its
// archive's, with the member's real path and time.
class RecordFacts {
public:
    RecordFacts(store::Database& db, const std::string& table) : files_(db), members_(db, table) {}
    std::optional<store::RecordedPath> of(const FoundRecord& record);

private:
    store::RecordedFactsReader files_;
    store::MemberFactsReader members_;
};

// Which recorded scans are on a volume connected now, and where.
class ConnectedScans {
public:
    explicit ConnectedScans(store::Database& db);
    explicit ConnectedScans(const std::vector<store::RecordedScan>& scans);
    bool diskConnected(const std::string& diskId) const { return disks_.count(diskId) > 0; }
    // Where a recorded real path of scan `scanId` is now, when its volume is connected; none
    // for a member of an archive, which is no file of the disk.
    std::optional<std::string> livePath(const store::RecordedPath& recorded) const;

private:
    struct Place {
        std::string scannedFolder;
        std::string folderNow;
    };
    std::map<std::int64_t, Place> scans_;
    std::set<std::string> disks_;
};

enum class RecordFormat { Lines, NulSeparated, Json, Csv };

// Writes records one by one in a format: the JSON array and the CSV header around them.
class RecordWriter {
public:
    RecordWriter(Output& out, RecordFormat format);
    ~RecordWriter(); // closes the JSON array
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;
    void write(const FoundRecord& record);

private:
    Output& out_;
    RecordFormat format_;
    bool first_ = true;
};

} // namespace katalox::cli
