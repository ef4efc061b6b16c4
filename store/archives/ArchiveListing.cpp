#include "store/archives/ArchiveListing.h"

#include "platform/DeepPath.h"
#include "store/archives/ArchiveReading.h"

#include <archive.h>
#include <archive_entry.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace katalox::store {

namespace {

// A member longer than this is not kept: no file system holds such a path.
constexpr std::size_t kLongestMemberPath = 4096;

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

class Lister {
public:
    Lister(const ArchiveLimits& limits, ArchiveContents& contents)
        : limits_(limits), contents_(contents) {}

    // Lists what `reader` (opened) holds under `prefix`; false when it is not an archive (not
    // even its first header could be read).
    bool list(archive* reader, const std::string& prefix, int levelsLeft) {
        archive_entry* entry = nullptr;
        for (bool first = true;; first = false) {
            const int read = archive_read_next_header(reader, &entry);
            if (read == ARCHIVE_EOF)
                break;
            if (read < ARCHIVE_WARN) {
                if (first)
                    return false;
                contents_.damaged = true;
                break;
            }
            // A compressed stream is decompressed as it is listed: never beyond the limit.
            if (archive_filter_count(reader) > 1 && static_cast<std::uint64_t>(archive_filter_bytes(
                                                        reader, 0)) > limits_.decompressLimit) {
                contents_.damaged = true;
                break;
            }
            if (archive_entry_filetype(entry) != AE_IFREG)
                continue; // folders are implied by paths; links and devices are not files
            const char* name = archive_entry_pathname(entry);
            const std::string path = name ? plainMemberPath(name) : std::string();
            if (path.empty())
                continue;
            if (contents_.members.size() >= limits_.maxMembers ||
                prefix.size() + path.size() > kLongestMemberPath) {
                ++contents_.leftOut;
                continue;
            }
            ArchiveMember member;
            member.path = prefix + path;
            member.size =
                archive_entry_size_is_set(entry)
                    ? static_cast<std::uint64_t>(std::max<la_int64_t>(archive_entry_size(entry), 0))
                    : 0;
            member.modified = archive_entry_mtime_is_set(entry) ? archive_entry_mtime(entry) : 0;
            contents_.members.push_back(member);
            if (levelsLeft > 0 && isArchiveName(path, limits_.formats))
                listNested(reader, member, levelsLeft - 1);
        }
        return true;
    }

private:
    // An archive member that is itself an archive: its data is read, within the limits, and
    // listed from memory.
    void listNested(archive* reader, const ArchiveMember& member, int levelsLeft) {
        const std::uint64_t largest = std::min(limits_.decompressLimit, kLargestNestedArchive);
        if (member.size == 0 || member.size > largest)
            return;
        std::string data;
        data.reserve(static_cast<std::size_t>(member.size));
        char block[kReadBlock];
        for (;;) {
            const la_ssize_t got = archive_read_data(reader, block, sizeof block);
            if (got < 0)
                return; // encrypted or damaged: the member stays, its contents unknown
            if (got == 0)
                break;
            if (data.size() + static_cast<std::size_t>(got) > largest)
                return;
            data.append(block, static_cast<std::size_t>(got));
        }
        ArchiveReader nested = newArchiveReader();
        if (!nested ||
            archive_read_open_memory(nested.get(), data.data(), data.size()) != ARCHIVE_OK)
            return;
        const std::string prefix = member.path + std::string(kMemberSeparator);
        const bool damagedBefore = contents_.damaged;
        list(nested.get(), prefix, levelsLeft);
        contents_.damaged = damagedBefore; // an inner archive's damage is its own
    }

    const ArchiveLimits& limits_;
    ArchiveContents& contents_;
};

} // namespace

ArchiveReader newArchiveReader() {
    ArchiveReader reader(archive_read_new());
    if (reader) {
        archive_read_support_filter_all(reader.get());
        archive_read_support_format_all(reader.get());
    }
    return reader;
}

std::string plainMemberPath(std::string_view raw) {
    std::string path;
    for (std::size_t at = 0; at <= raw.size();) {
        std::size_t end = raw.find('/', at);
        if (end == std::string_view::npos)
            end = raw.size();
        const std::string_view part = raw.substr(at, end - at);
        if (!part.empty() && part != ".")
            path.append(path.empty() ? "" : "/").append(part);
        at = end + 1;
    }
    return path;
}

std::vector<std::string> defaultArchiveFormats() {
    return {"zip", "7z",      "rar", "tar", "tar.gz", "tgz", "tar.bz2", "tbz2", "tar.xz",
            "txz", "tar.zst", "iso", "cab", "cpio",   "xar", "lzh",     "lha"};
}

bool isArchiveName(std::string_view fileName, const std::vector<std::string>& formats) {
    // Asked for every file of a scan and every member of an archive: nothing is allocated.
    const std::string_view name = fileName.substr(fileName.rfind('/') + 1);
    if (name.find('.') == std::string_view::npos)
        return false;
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return std::any_of(formats.begin(), formats.end(), [&](const std::string& format) {
        if (name.size() <= format.size() + 1 || name[name.size() - format.size() - 1] != '.')
            return false;
        const std::string_view ending = name.substr(name.size() - format.size());
        return std::equal(ending.begin(), ending.end(), format.begin(), format.end(),
                          [&](char a, char b) { return lower(a) == lower(b); });
    });
}

namespace {

struct Signature {
    std::size_t offset;
    std::string_view bytes;
    std::vector<std::string_view> formats; // any of these names it
};

// Those at the start of the file all lie within kHeadBytes.
constexpr std::size_t kHeadBytes = 512;
constexpr std::size_t kImageDescriptor = 32769; // the first ISO 9660 volume descriptor's id

const std::vector<Signature>& signatures() {
    using namespace std::string_view_literals;
    static const std::vector<Signature> all = {
        {0, "PK\x03\x04"sv, {"zip"}},
        {0, "7z\xbc\xaf\x27\x1c"sv, {"7z"}},
        {0, "Rar!\x1a\x07"sv, {"rar"}},
        {0, "\x1f\x8b"sv, {"tar.gz", "tgz"}},
        {0, "BZh"sv, {"tar.bz2", "tbz2"}},
        {0,
         "\xfd"
         "7zXZ\x00"sv,
         {"tar.xz", "txz"}},
        {0, "\x28\xb5\x2f\xfd"sv, {"tar.zst"}},
        {257, "ustar"sv, {"tar"}},
        {kImageDescriptor, "CD001"sv, {"iso"}},
    };
    return all;
}

bool hasExtension(std::string_view fileName) {
    const std::string_view name = fileName.substr(fileName.rfind('/') + 1);
    const std::size_t dot = name.rfind('.');
    return dot != std::string_view::npos && dot > 0; // a leading dot hides a file
}

bool readAt(int fd, std::size_t offset, std::string& into, std::size_t size) {
    into.resize(size);
    const ssize_t got = ::pread(fd, into.data(), size, static_cast<off_t>(offset));
    into.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return got > 0;
}

} // namespace

std::string formatByContent(const std::string& path, const std::vector<std::string>& formats) {
    const platform::UniqueFd file =
        platform::openDeep(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat info {};
    if (!file.valid() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    std::string head;
    if (!readAt(file.get(), 0, head, kHeadBytes))
        return {};
    const auto size = static_cast<std::uint64_t>(info.st_size);
    std::string image;
    for (const Signature& signature : signatures()) {
        // Only the formats looked inside are looked for.
        std::string format;
        for (const std::string_view name : signature.formats)
            for (const std::string& wanted : formats)
                if (format.empty() && lowerCase(wanted) == name)
                    format = wanted;
        if (format.empty())
            continue;
        const std::string* bytes = &head;
        std::size_t at = signature.offset;
        if (at >= kHeadBytes) {
            if (size < at + signature.bytes.size())
                continue;
            if (image.empty() && !readAt(file.get(), at, image, signature.bytes.size()))
                continue;
            bytes = &image;
            at = 0;
        }
        if (bytes->size() < at + signature.bytes.size() ||
            bytes->compare(at, signature.bytes.size(), signature.bytes) != 0)
            continue;
        return format;
    }
    return {};
}

bool isArchiveFile(std::string_view fileName, const std::string& livePath,
                   const std::vector<std::string>& formats) {
    if (isArchiveName(fileName, formats))
        return true;
    return !hasExtension(fileName) && !livePath.empty() &&
           !formatByContent(livePath, formats).empty();
}

std::optional<ArchiveContents> listArchive(const std::string& path, const ArchiveLimits& limits) {
    // Not blocking, so a pipe or device named like an archive is never waited on.
    const platform::UniqueFd file =
        platform::openDeep(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat info {};
    if (!file.valid() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    ArchiveReader reader = newArchiveReader();
    if (!reader || archive_read_open_fd(reader.get(), file.get(), kReadBlock) != ARCHIVE_OK)
        return std::nullopt;
    ArchiveContents contents;
    Lister lister(limits, contents);
    if (!lister.list(reader.get(), "", limits.nestedLevels))
        return std::nullopt;
    return contents;
}

} // namespace katalox::store
