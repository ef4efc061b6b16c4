#pragma once
// The find operation: enumerate the entries of one folder whose names match the wildcard
// pattern in the last component of a path, entry by entry, with attributes and size read only
// when asked for. Also the lookup of one file by its full path.
#include <cstdint>
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
    bool hidden = false; // the name begins with "."
    bool system = false; // a folder on a kernel pseudo file system (proc, sysfs, ...)
    bool readOnly = false;
};

// One entry found by a lookup.
struct FoundFile {
    std::string name; // last path component, byte for byte
    FileAttributes attributes;
    std::uint64_t size = 0;
};

class FindOperation {
public:
    // Starts an enumeration. A pattern that is not an absolute path, a folder that does not
    // exist or cannot be read give no entry and no error. "*" matches any run of characters,
    // "?" one character, letter case is ignored; a pattern ending in ".*" also matches names
    // without a dot, one ending in "." matches only names without a dot.
    FindOperation(const std::string& pattern, FindRequest request);
    ~FindOperation();
    FindOperation(const FindOperation&) = delete;
    FindOperation& operator=(const FindOperation&) = delete;

    // Steps to the next matching entry; false once the enumeration has run out (the folder
    // handle is then released).
    bool next();

    const std::string& name() const;
    bool isDirectory();          // from the directory entry type where known (no stat)
    FileAttributes attributes(); // stats the entry on first use
    std::uint64_t size();        // full 64-bit size; stats the entry on first use

    // Looks up one existing entry by its full path, taken literally (no wildcards), so any
    // name works: "*", "?", "[", spaces, newlines, bytes that are not valid UTF-8.
    static std::optional<FoundFile> lookUp(const std::string& fullPath);

    // Whether a name matches a wildcard mask under the rules above.
    static bool matchesMask(const std::string& name, const std::string& mask);

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace katalox::platform
