#pragma once
// Text files as lines.
#include <string>
#include <vector>

namespace katalox::platform {

// Reads a text file as lines split at CR LF, lone CR or lone LF; a NUL ends the text.
// Throws FileError "Cannot open file "<path>". <reason>" when it cannot be read.
std::vector<std::string> readTextLines(const std::string& path);

// Writes lines each ended by CR LF, replacing the file only once the new one is complete.
// Throws FileError "Cannot create file "<path>". <reason>" and leaves the old file as it was.
void writeTextLines(const std::string& path, const std::vector<std::string>& lines);

} // namespace katalox::platform
