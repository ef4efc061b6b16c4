#pragma once
// Replacing a file's whole content so that a reader sees the old file or the new one, never
// half of either.
#include <string>

namespace katalox::platform {

// Writes `data` to a temporary file beside `path`, flushes it and renames it over `path`,
// keeping the old file's permissions; a link stays a link and the file it points to is
// replaced. Throws FileError "Cannot create file "<path>". <reason>" and then leaves the old
// file as it was.
void replaceFileContent(const std::string& path, const std::string& data);

} // namespace katalox::platform
