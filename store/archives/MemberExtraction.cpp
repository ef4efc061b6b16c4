#include "store/archives/MemberExtraction.h"

#include "platform/DeepPath.h"
#include "store/archives/ArchiveListing.h"
#include "store/archives/ArchiveReading.h"

#include <archive_entry.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace katalox::store {

namespace {

// Well below NAME_MAX, so that an opener adding a suffix of its own still finds room.
constexpr std::size_t kLongestFileName = 200;
constexpr std::size_t kLongestExtension = 16;

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

class Extractor {
public:
    Extractor(const MemberToExtract& member, std::uint64_t limit, int folder, std::string name)
        : member_(member), limit_(limit), folder_(folder), name_(std::move(name)) {}

    // Looks for `levels[at]` among the members `reader` (opened) holds: the last level is
    // written, any other is an archive read into memory and looked into for the next.
    Extracted from(archive* reader, const std::vector<std::string>& levels, std::size_t at) {
        const bool last = at + 1 == levels.size();
        bool sameName = false;
        archive_entry* entry = nullptr;
        for (bool first = true;; first = false) {
            const int read = archive_read_next_header(reader, &entry);
            if (read == ARCHIVE_EOF)
                return sameName ? Extracted::Changed : Extracted::Missing;
            if (read < ARCHIVE_WARN)
                return first ? Extracted::ArchiveUnreadable : Extracted::Damaged;
            // Skipping members of a compressed stream decompresses them: never beyond the limit.
            if (archive_filter_count(reader) > 1 &&
                static_cast<std::uint64_t>(archive_filter_bytes(reader, 0)) > limit_)
                return Extracted::TooLarge;
            const char* name = archive_entry_pathname(entry);
            if (archive_entry_filetype(entry) != AE_IFREG || !name ||
                plainMemberPath(name) != levels[at])
                continue;
            if (!last)
                return fromNested(reader, entry, levels, at + 1);
            if (archive_entry_size_is_set(entry) &&
                static_cast<std::uint64_t>(std::max<la_int64_t>(archive_entry_size(entry), 0)) !=
                    member_.size) {
                sameName = true; // another of the same name may follow
                continue;
            }
            return write(reader);
        }
    }

private:
    Extracted fromNested(archive* reader, archive_entry* entry,
                         const std::vector<std::string>& levels, std::size_t at) {
        const std::uint64_t largest = std::min(limit_, kLargestNestedArchive);
        if (archive_entry_size_is_set(entry) && static_cast<std::uint64_t>(std::max<la_int64_t>(
                                                    archive_entry_size(entry), 0)) > largest)
            return Extracted::TooLarge;
        std::string data;
        char block[kReadBlock];
        for (;;) {
            const la_ssize_t got = archive_read_data(reader, block, sizeof block);
            if (got < 0)
                return Extracted::Damaged;
            if (got == 0)
                break;
            if (data.size() + static_cast<std::size_t>(got) > largest)
                return Extracted::TooLarge;
            data.append(block, static_cast<std::size_t>(got));
        }
        ArchiveReader nested = newArchiveReader();
        if (!nested ||
            archive_read_open_memory(nested.get(), data.data(), data.size()) != ARCHIVE_OK)
            return Extracted::ArchiveUnreadable;
        return from(nested.get(), levels, at);
    }

    Extracted write(archive* reader) {
        // Read-only: a copy in a folder that goes away is no place to save work.
        platform::UniqueFd out(
            ::openat(folder_, name_.c_str(),
                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0400));
        if (!out.valid())
            return Extracted::CannotWrite;
        const Extracted outcome = copy(reader, out.get());
        if (out.reset() != 0 || outcome != Extracted::Written) {
            ::unlinkat(folder_, name_.c_str(), 0);
            return outcome == Extracted::Written ? Extracted::CannotWrite : outcome;
        }
        return Extracted::Written;
    }

    Extracted copy(archive* reader, int out) {
        std::uint64_t written = 0;
        char block[kReadBlock];
        for (;;) {
            const la_ssize_t got = archive_read_data(reader, block, sizeof block);
            if (got < 0)
                return Extracted::Damaged;
            if (got == 0)
                break;
            written += static_cast<std::uint64_t>(got);
            if (written > member_.size)
                return Extracted::Changed; // more than listed: not the member seen by the scan
            if (!writeAll(out, block, static_cast<std::size_t>(got)))
                return Extracted::CannotWrite;
        }
        return written == member_.size ? Extracted::Written : Extracted::Changed;
    }

    const MemberToExtract& member_;
    std::uint64_t limit_;
    int folder_;
    std::string name_;
};

std::vector<std::string> levelsOf(const std::string& path) {
    std::vector<std::string> levels;
    for (std::size_t at = 0;;) {
        const std::size_t end = path.find(kMemberSeparator, at);
        levels.push_back(path.substr(at, end - at));
        if (end == std::string::npos)
            return levels;
        at = end + kMemberSeparator.size();
    }
}

} // namespace

std::string safeMemberFileName(std::string_view memberPath) {
    std::string name;
    for (const char c : memberPath.substr(memberPath.rfind('/') + 1)) {
        const auto byte = static_cast<unsigned char>(c);
        name.push_back(byte < 0x20 || byte == 0x7f ? '_' : c);
    }
    if (name.empty() || name == "." || name == "..")
        return "member";
    if (name.size() > kLongestFileName) {
        const std::size_t dot = name.rfind('.');
        const std::string extension =
            dot != std::string::npos && dot > 0 && name.size() - dot <= kLongestExtension
                ? name.substr(dot)
                : std::string();
        std::size_t keep = kLongestFileName - extension.size();
        // Never inside a UTF-8 character.
        while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xc0) == 0x80)
            --keep;
        name = name.substr(0, keep) + extension;
    }
    return name;
}

Extraction extractMember(const std::string& archivePath, const MemberToExtract& member,
                         std::uint64_t limit, const std::string& folder) {
    const std::vector<std::string> levels = levelsOf(member.path);
    if (std::any_of(levels.begin(), levels.end(),
                    [](const std::string& level) { return level.empty(); }))
        return {Extracted::Missing, {}};
    if (member.size > limit)
        return {Extracted::TooLarge, {}};
    const platform::UniqueFd into(
        ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!into.valid())
        return {Extracted::CannotWrite, {}};
    // Not blocking, so that a pipe put where the archive was is never waited on.
    const platform::UniqueFd file =
        platform::openDeep(archivePath, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat info {};
    if (!file.valid() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return {Extracted::ArchiveUnreadable, {}};
    ArchiveReader reader = newArchiveReader();
    if (!reader || archive_read_open_fd(reader.get(), file.get(), kReadBlock) != ARCHIVE_OK)
        return {Extracted::ArchiveUnreadable, {}};
    const std::string name = safeMemberFileName(levels.back());
    Extractor extractor(member, limit, into.get(), name);
    const Extracted outcome = extractor.from(reader.get(), levels, 0);
    if (outcome != Extracted::Written)
        return {outcome, {}};
    return {outcome, folder + (folder.ends_with('/') ? "" : "/") + name};
}

} // namespace katalox::store
