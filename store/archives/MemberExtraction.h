#pragma once
// Taking one member out of an archive on a connected disk, so that it can be opened. The
// archive is hostile data like any other: whatever the member's name, one regular file is
// written, named by the last part of that name made safe, inside the folder given and nowhere
// else, and never more bytes than the member was listed with or than a limit allows.
#include <cstdint>
#include <string>
#include <string_view>

namespace katalox::store {

struct MemberToExtract {
    // The member's real path inside the archive as "Archive Members" keeps it, with
    // kMemberSeparator between the levels of archives inside archives.
    std::string path;
    std::uint64_t size = 0; // as listed
};

enum class Extracted {
    Written,
    ArchiveUnreadable, // not an archive now, or gone
    Missing,           // no regular file of that path in it
    Changed,           // there, but not of the size listed
    TooLarge,          // over the limit, or reachable only past it
    Damaged,           // truncated, corrupt or encrypted
    CannotWrite,       // the folder cannot be written, or the name is taken there
};

struct Extraction {
    Extracted outcome = Extracted::Missing;
    std::string file; // what was written, for Written
};

// The name a member's copy gets: its path's last part without control characters (NUL
// included), never empty, "." or "..", and cut to a length every file system takes, keeping
// its extension.
std::string safeMemberFileName(std::string_view memberPath);

// Writes `member` of the archive at `archivePath` as `folder`/safeMemberFileName(), a new file
// (an existing name or link there is never written through), of at most `limit` bytes; an
// archive inside the archive is read into memory within the same limit. Nothing is left in
// `folder` unless the outcome is Written.
Extraction extractMember(const std::string& archivePath, const MemberToExtract& member,
                         std::uint64_t limit, const std::string& folder);

} // namespace katalox::store
