#pragma once
// What an archive or disk image holds, read from its headers with libarchive: the members'
// paths, sizes and times, never their data (but for the members of an archive inside it, and
// for formats that must be decompressed to be listed, within a limit). A hostile archive is
// only data: names are kept as text, nothing is ever written, and caps bound the work.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace katalox::store {

struct ArchiveLimits {
    // Formats looked inside, by file-name extension ("zip", "7z", "tar.gz", "iso", ...).
    std::vector<std::string> formats;
    // Members listed per archive; the rest are counted as left out.
    std::size_t maxMembers = 1'000'000;
    // Bytes a compressed stream (a .tar.gz, a .tar.xz, an archive inside one) may be
    // decompressed to while it is listed.
    std::uint64_t decompressLimit = std::uint64_t{1} << 30;
    // Archives inside archives are listed this many levels down.
    int nestedLevels = 1;
};

// The formats looked inside by default.
std::vector<std::string> defaultArchiveFormats();

struct ArchiveMember {
    // The member's path inside the archive, made plain: no empty, "." or leading parts, each
    // level of a nested archive separated by kMemberSeparator.
    std::string path;
    std::uint64_t size = 0;
    std::int64_t modified = 0; // seconds since 1970; 0 when the archive does not say
};

struct ArchiveContents {
    std::vector<ArchiveMember> members;
    std::size_t leftOut = 0; // members over the cap, or names too long to keep
    bool damaged = false;    // the listing stopped at a truncated, corrupt or encrypted part
};

// Between an archive's path and a member's path inside it. A walk never makes an empty path
// part, so no path of a file on disk holds two separators in a row.
inline constexpr std::string_view kMemberSeparator = "//";

// True when `fileName` has one of the extensions of `formats` (case ignored).
bool isArchiveName(std::string_view fileName, const std::vector<std::string>& formats);

// The one of `formats` whose signature the file at `path` begins with ("zip", "tar.gz",
// "iso", ...; a compressed stream is taken for a compressed tar); empty when none is. Reads
// its first bytes only, and those of a disk image's first descriptor when they say nothing.
std::string formatByContent(const std::string& path, const std::vector<std::string>& formats);

// True when a file named `fileName` is looked inside: by its extension, or, when its name has
// no extension at all, by its first bytes read at `livePath` (unless that is empty).
bool isArchiveFile(std::string_view fileName, const std::string& livePath,
                   const std::vector<std::string>& formats);

// The members of the archive at `path`; none when it cannot be read as an archive at all (not
// one whatever its name, or unreadable).
std::optional<ArchiveContents> listArchive(const std::string& path, const ArchiveLimits& limits);

} // namespace katalox::store
