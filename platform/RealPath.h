#pragma once
// Finds on the live file system the file or folder that a catalogue path stands for. The
// catalogue keeps paths upper-cased (upperCase() of Utf8.h), so each component of the path is
// matched against the entries of its folder by their upper-cased names, byte for byte: names
// that are not valid UTF-8 match too. When several entries of one folder match, the one named
// exactly as stored comes first, the others in byte order, and the first that leads to the
// whole path wins.
#include <optional>
#include <string>

namespace katalox::platform {

// The real path of an absolute catalogue path; none when a component is missing (the disk is
// not connected, the file is gone) or cannot be read.
std::optional<std::string> realPathOf(const std::string& storedPath);

// The same for a catalogue path taken relative to `root`, a real folder used as it is.
std::optional<std::string> realPathUnder(const std::string& root,
                                         const std::string& storedRelativePath);

} // namespace katalox::platform
