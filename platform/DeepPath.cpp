#include "platform/DeepPath.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>

namespace katalox::platform {

namespace {

// The leading folders of a path opened a piece shorter than PATH_MAX at a time, and the part
// left to reach from them (shorter than PATH_MAX). No handle while the whole path fits one
// call.
struct Reached {
    UniqueFd folder;
    std::string rest;
    int base() const { return folder.valid() ? folder.get() : AT_FDCWD; }
};

// False, with errno set, when a leading folder cannot be opened.
bool openLeadingFolders(const std::string& path, Reached& reached) {
    std::string& rest = reached.rest;
    UniqueFd& folder = reached.folder;
    rest = path;
    while (rest.size() >= PATH_MAX) {
        // Cut after the last separator that keeps the piece short enough; a piece of one
        // component always fits, as a name is at most NAME_MAX bytes.
        const auto cut = rest.rfind('/', PATH_MAX - 2);
        if (cut == std::string::npos || cut == 0) {
            errno = ENAMETOOLONG;
            return false;
        }
        const std::string piece = rest.substr(0, cut + 1);
        UniqueFd next(::openat(reached.base(), piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!next.valid())
            return false;
        folder = std::move(next);
        rest.erase(0, cut + 1);
    }
    return true;
}

} // namespace

UniqueFd openDeep(const std::string& path, int flags) {
    Reached reached;
    if (!openLeadingFolders(path, reached))
        return UniqueFd();
    return UniqueFd(::openat(reached.base(), reached.rest.c_str(), flags));
}

bool statDeep(const std::string& path, struct stat& info, bool followLinks) {
    Reached reached;
    return openLeadingFolders(path, reached) &&
           ::fstatat(reached.base(), reached.rest.c_str(), &info,
                     followLinks ? 0 : AT_SYMLINK_NOFOLLOW) == 0;
}

} // namespace katalox::platform
