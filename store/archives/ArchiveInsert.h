#pragma once
// What a scan's insert does with an archive among its files, on either engine: the archive is
// listed within its limits and each member handed to the engine's writer, which makes it a
// record of its own (named by memberRecord()) and a row of the archive members' table.
#include "store/archives/ArchiveListing.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace katalox::store {

struct ArchiveInsertCounts {
    std::int64_t members = 0;        // handed to the writer
    std::int64_t unreadArchives = 0; // named as archives, but not readable as one
    std::int64_t membersLeftOut = 0; // over a cap
};

// Whether the insert looks inside the file at `path` (`archives`: none when it looks inside
// none).
bool looksInside(const std::optional<ArchiveLimits>& archives, const std::string& path);

// Lists the archive at `path` and hands each of its members to `write`, in listing order.
ArchiveInsertCounts insertArchiveMembers(const std::string& path, const ArchiveLimits& limits,
                                         const std::function<void(const ArchiveMember&)>& write);

} // namespace katalox::store
