#pragma once
// Opening a member of an archive on a connected disk: it is taken out into a fresh private
// folder of ours and opened from there with the program the desktop chooses for it.
#include <QCoreApplication>

#include <cstdint>
#include <string>

namespace katalox::store {
struct ArchivedRecord;
}

class ArchiveMemberOpener {
    Q_DECLARE_TR_FUNCTIONS(ArchiveMemberOpener)
public:
    // Takes `member` out of the archive now at `archiveLivePath`, at most `limit` bytes of it,
    // and opens the copy; says why in a message when it cannot.
    static void open(const std::string& archiveLivePath,
                     const katalox::store::ArchivedRecord& member, std::uint64_t limit);
    // The folder the copies of this run go in; empty before the first.
    static QString copiesFolder();
    // A member cannot be opened because which archive holds it is not recorded.
    static void sayNotRecorded(const std::string& storedPath);
};
