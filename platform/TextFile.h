#pragma once
// Text files as lines.
#include <cstddef>
#include <string>
#include <vector>

namespace katalox::platform {

// Largest text file read whole; anything bigger is no file of ours.
constexpr std::size_t kMaxTextFileBytes = std::size_t{16} << 20;

// Reads a text file as lines split at CR LF, lone CR or lone LF; a NUL ends the text.
// Throws FileError "Cannot open file "<path>". <reason>" when it cannot be read, is not a
// regular file (a folder, FIFO or device) or holds more than `maxBytes`.
std::vector<std::string> readTextLines(const std::string& path,
                                       std::size_t maxBytes = kMaxTextFileBytes);

// Writes lines each ended by CR LF, replacing the file only once the new one is complete.
// Throws FileError "Cannot create file "<path>". <reason>" and leaves the old file as it was.
void writeTextLines(const std::string& path, const std::vector<std::string>& lines);

} // namespace katalox::platform
