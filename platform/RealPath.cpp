#include "platform/RealPath.h"

#include "platform/Paths.h"
#include "platform/UniqueFd.h"
#include "platform/Utf8.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <string_view>
#include <vector>

namespace katalox::platform {

namespace {

// Folders read at most by one lookup: a tree full of names differing only in case cannot make
// the search run on.
constexpr int kFolderReadLimit = 1024;

std::vector<std::string> componentsOf(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find(kPathSeparator, start), path.size());
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// A folder to look into. A folder that may be passed through but not listed still opens.
UniqueFd openFolder(int parent, const char* name) {
    UniqueFd folder(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid())
        folder = UniqueFd(::openat(parent, name, O_PATH | O_DIRECTORY | O_CLOEXEC));
    return folder;
}

// The entries of a folder whose upper-cased name is `wanted`: the exact name first.
std::vector<std::string> entriesMatching(int folder, const std::string& wanted) {
    std::vector<std::string> exact;
    std::vector<std::string> others;
    UniqueFd listing(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR* dir = listing.valid() ? ::fdopendir(listing.get()) : nullptr;
    if (!dir) {
        // Not listable: only the name as stored can be tried.
        struct stat status;
        if (::fstatat(folder, wanted.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0)
            exact.push_back(wanted);
        return exact;
    }
    listing.release(); // the stream owns the descriptor now
    std::string upper;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        if (name == wanted) {
            exact.emplace_back(name);
            continue;
        }
        upper.clear();
        appendUpperCase(name, upper);
        if (upper == wanted)
            others.emplace_back(name);
    }
    ::closedir(dir);
    std::sort(others.begin(), others.end());
    exact.insert(exact.end(), others.begin(), others.end());
    return exact;
}

// Extends `path` (the real path of `folder`) by the components from `at` on; false, with
// `path` as it was, when no entry leads to the whole path.
bool follow(int folder, const std::vector<std::string>& parts, std::size_t at, std::string& path,
            int& foldersLeft) {
    if (at == parts.size())
        return true;
    if (--foldersLeft < 0)
        return false;
    const std::size_t length = path.size();
    for (const std::string& name : entriesMatching(folder, parts[at])) {
        path = joinPath(path, name);
        if (at + 1 == parts.size())
            return true; // the last component may be of any kind
        const UniqueFd next = openFolder(folder, name.c_str());
        if (next.valid() && follow(next.get(), parts, at + 1, path, foldersLeft))
            return true;
        path.resize(length);
    }
    return false;
}

} // namespace

std::optional<std::string> realPathUnder(const std::string& root,
                                         const std::string& storedRelativePath) {
    const UniqueFd start = openFolder(AT_FDCWD, root.c_str());
    if (!start.valid())
        return std::nullopt;
    std::string path = root;
    int foldersLeft = kFolderReadLimit;
    if (!follow(start.get(), componentsOf(storedRelativePath), 0, path, foldersLeft))
        return std::nullopt;
    return path;
}

std::optional<std::string> realPathOf(const std::string& storedPath) {
    if (storedPath.empty() || storedPath.front() != kPathSeparator)
        return std::nullopt;
    return realPathUnder(std::string(1, kPathSeparator), storedPath);
}

} // namespace katalox::platform
