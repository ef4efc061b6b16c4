#pragma once
// The find operation: enumerate the entries of one folder whose names match the wildcard
// pattern in the last component of a path, entry by entry, with attributes and size read only
// when asked for. Also the lookup of one file by its full path.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace katalox::platform {

enum class FindRequest {
    Folders, // every entry except hidden and system ones (files included)
    AnyKind, // every entry
};

struct FileAttributes {
    bool directory = false;
    bool hidden = false;   // the name begins with "." ("." and ".." themselves are not hidden)
    bool system = false;   // a folder on a kernel pseudo file system (proc, sysfs, ...)
    bool readOnly = false; // the owner may not write it
};

// Which file an entry is, after following links: two paths naming the same folder (through a
// link or a bind mount) give the same identity.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& id) const {
        return std::hash<std::uint64_t>()(id.inode * 0x9E3779B97F4A7C15ULL ^ id.device);
    }
};

// One entry found by a lookup.
struct FoundFile {
    std::string name; // last path component, byte for byte
    FileAttributes attributes;
    std::uint64_t size = 0;
    std::int64_t modified = 0; // seconds since 1970 (UTC), of the entry itself
    FileIdentity identity;
};

class FindOperation {
public:
    // Starts an enumeration. A pattern that is not an absolute path, a folder that does not
    // exist or cannot be read give no entry and no error. "*" matches any run of characters,
    // "?" one character, letter case is ignored; a pattern ending in ".*" also matches names
    // without a dot, one ending in "." matches only names without a dot. An enumeration of
    // every kind gives the entries the folder walk read just before when the folder has not
    // changed since (FindListings.h), without reading the folder again.
    FindOperation(const std::string& pattern, FindRequest request);
    ~FindOperation();
    FindOperation(const FindOperation&) = delete;
    FindOperation& operator=(const FindOperation&) = delete;

    // Steps to the next matching entry; false once the enumeration has run out (the folder
    // handle is then released). The accessors below describe the entry of the last step that
    // returned true.
    bool next();

    const std::string& name() const;
    bool isDirectory();          // from the directory entry type where known (no stat)
    FileAttributes attributes(); // stats the entry on first use
    // Full 64-bit size, of a link itself (never of what it leads to); stats the entry on first
    // use.
    std::uint64_t size();
    // Last modification, in seconds since 1970 (UTC), after following links; stats on first use.
    std::int64_t modified();
    // The entry's identity after following links; empty when it cannot be read (a broken link).
    std::optional<FileIdentity> identity();

    // Looks up one existing entry by its full path, taken literally (no wildcards), so any
    // name works: "*", "?", "[", spaces, newlines, bytes that are not valid UTF-8. A path that
    // is not absolute or ends with a separator finds nothing.
    static std::optional<FoundFile> lookUp(const std::string& fullPath);

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace katalox::platform
