#pragma once
// UTF-8 text: upper-casing and counting characters. Bytes that are not valid UTF-8 are kept
// and count as one character each.
#include <cstddef>
#include <string>
#include <string_view>

namespace katalox::platform {

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

} // namespace katalox::platform
