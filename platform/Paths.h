#pragma once
// Paths of this platform: the separator, joining a folder and a name, the current folder.
#include <string>

namespace katalox::platform {

// The path separator, used wherever folder texts are joined or cut.
inline constexpr char kPathSeparator = '/';

// `name` in `folder`; the folder text may end with the separator or not ("/" joins as "/name").
// An empty folder gives the name alone.
std::string joinPath(const std::string& folder, const std::string& name);

// The last component of a path; "/" for the root.
std::string lastComponent(const std::string& path);

// The process's current directory, absolute, without a final separator except at the root.
// Throws FileError when it cannot be read.
std::string currentDirectory();

// Makes `path` the process's current directory. Throws FileError when it cannot.
void setCurrentDirectory(const std::string& path);

// Creates the folder `path` and any missing folder above it; an existing folder is fine.
// Throws FileError "Cannot create folder "<path>". <reason>".
void createFolders(const std::string& path);

} // namespace katalox::platform
