#include "store/archives/ArchiveInsert.h"

namespace katalox::store {

bool looksInside(const std::optional<ArchiveLimits>& archives, const std::string& path) {
    return archives && isArchiveFile(path, path, archives->formats);
}

ArchiveInsertCounts insertArchiveMembers(const std::string& path, const ArchiveLimits& limits,
                                         const std::function<void(const ArchiveMember&)>& write) {
    ArchiveInsertCounts counts;
    const std::optional<ArchiveContents> contents = listArchive(path, limits);
    if (!contents || (contents->members.empty() && contents->damaged)) {
        // A file taken for an archive by its first bytes alone is just a file when it is not.
        if (isArchiveName(path, limits.formats))
            ++counts.unreadArchives;
        return counts;
    }
    counts.membersLeftOut = static_cast<std::int64_t>(contents->leftOut);
    for (const ArchiveMember& member : contents->members) {
        write(member);
        ++counts.members;
    }
    return counts;
}

} // namespace katalox::store
