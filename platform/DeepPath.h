#pragma once
// Opening and looking up absolute paths of any length. The kernel refuses a path longer than
// PATH_MAX in one call; such a path is reached a piece at a time, each piece relative to the
// folder handle opened for the one before (openat, fstatat), so depth is no limit.
#include "platform/UniqueFd.h"

#include <string>
#include <sys/stat.h>

namespace katalox::platform {

// open() for an absolute path of any length; an invalid handle and errno on failure.
UniqueFd openDeep(const std::string& path, int flags);

// stat() (or lstat() when `followLinks` is false) for an absolute path of any length; false
// and errno on failure.
bool statDeep(const std::string& path, struct stat& info, bool followLinks = true);

} // namespace katalox::platform
