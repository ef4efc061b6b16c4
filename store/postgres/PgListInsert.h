#pragma once
// The scan window's list written to a catalogue on a server: each file that still exists
// becomes one record of the Disk ID, in list order, in batches that are each one transaction.
#include "store/archives/ArchiveInsert.h"
#include "store/catalog/RecordedDisks.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace katalox::store {

class PgConnection;

struct ListInsertFigures {
    std::int64_t records = 0; // records written
    std::int64_t totalSize = 0;
    std::int64_t missing = 0;    // listed files gone since the scan: no record
    bool stopped = false;        // the progress callback asked to stop
    std::int64_t unreadable = 0; // files that got no print: they could not be read,
    std::int64_t changing = 0;   // or changed while they were read
    ArchiveInsertCounts members; // records of members, not in `records` nor `totalSize`
};

// `scan` is recorded beside the records when the insert begins and marked complete with its
// totals when it ends (a failed or killed insert leaves it incomplete). `pathAt(i)` gives the
// i-th of `count` listed paths; `progress(i)` is told after each file
// and may return false to stop (what was added is written). When a batch cannot be written
// the insert stops there and throws Error saying how many records were not written and how
// many were: the batches before it stay. With `fingerprints`, each record's sampled print is
// taken and written with its batch; the members of archives among the files become records too,
// as `archives` says (PgArchiveMembers.h).
ListInsertFigures insertListOnServer(PgConnection& db, const std::string& table, RecordedScan scan,
                                     std::size_t count,
                                     const std::function<std::string_view(std::size_t)>& pathAt,
                                     const std::function<bool(std::size_t)>& progress = {},
                                     bool fingerprints = false,
                                     const std::optional<ArchiveLimits>& archives = {});

} // namespace katalox::store
