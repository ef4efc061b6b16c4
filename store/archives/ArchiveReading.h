#pragma once
// What listing and extracting members share: a libarchive reader for every format and filter,
// how members' names are made plain, and how far an archive inside an archive is read.
#include <archive.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace katalox::store {

// An archive inside an archive is read into memory to be looked into, up to this size.
inline constexpr std::uint64_t kLargestNestedArchive = std::uint64_t{256} << 20;
inline constexpr std::size_t kReadBlock = 64 * 1024;

struct ArchiveFree {
    void operator()(archive* reader) const { archive_read_free(reader); }
};
using ArchiveReader = std::unique_ptr<archive, ArchiveFree>;

// A reader of every format and filter libarchive knows; empty when none could be made.
ArchiveReader newArchiveReader();

// The member's path without empty, "." or leading-separator parts, so that a member never
// holds the separator of nested levels, whatever its archive says.
std::string plainMemberPath(std::string_view raw);

} // namespace katalox::store
