#pragma once
// Text helpers of the platform: upper-casing, the current directory, text files as lines.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace katalox::platform {

// The path separator of this platform, used wherever folder texts are joined or cut.
inline constexpr char kPathSeparator = '/';

// Upper-cases the letters of valid UTF-8 text; every byte that is not part of a valid UTF-8
// letter is kept as it is.
std::string upperCase(const std::string& text);
// The same, appended to `out` (lets a caller reuse one buffer for many names).
void appendUpperCase(std::string_view text, std::string& out);

// The length in bytes of the UTF-8 character that starts at `at`, or 1 for a byte that does not
// begin a valid sequence (such a byte counts as a character of its own).
std::size_t characterLength(std::string_view text, std::size_t at);

// The number of characters of UTF-8 text (an invalid byte counts as one character).
std::size_t characterCount(const std::string& text);
// The first `count` characters of UTF-8 text, starting at character `from` (0-based).
std::string characterSlice(const std::string& text, std::size_t from, std::size_t count);

// The process's current directory, absolute, without a final separator except at the root.
std::string currentDirectory();

// Reads a text file as lines split at CR LF, lone CR or lone LF; a NUL ends the text.
// Throws FileError "Cannot open file "<path>". <reason>" when it cannot be read.
std::vector<std::string> readTextLines(const std::string& path);

// Writes lines each ended by CR LF, replacing the file only once the new one is complete.
// Throws FileError "Cannot create file "<path>". <reason>" and leaves the old file as it was.
void writeTextLines(const std::string& path, const std::vector<std::string>& lines);

} // namespace katalox::platform
