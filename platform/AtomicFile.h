#pragma once
// Replacing a file's whole content so that a reader sees the old file or the new one, never
// half of either.
#include <string>

namespace katalox::platform {

// Writes `data` to a temporary file beside `path`, flushes it and renames it over `path`,
// keeping the old file's permissions; a link stays a link and the file it points to is
// replaced. Where the folder refuses a new file but the file itself may be written, writes over
// it in place instead. A file the user may not write is refused. Throws FileError "Cannot
// create file "<path>". <reason>" and then leaves the old file as it was.
void replaceFileContent(const std::string& path, const std::string& data);

} // namespace katalox::platform
