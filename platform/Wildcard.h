#pragma once
// File-name masks with "*" (any run of characters) and "?" (one character) over UTF-8
// characters, and the classic rules on top: a mask ending in ".*" also matches names without a
// dot ("*.*" matches every name), one ending in "." matches only names without a dot.
#include <string>
#include <string_view>

namespace katalox::platform {

// Whether a name matches a mask, letter case ignored.
bool matchesMask(const std::string& name, const std::string& mask);

// The same for a name and a mask both upper-cased already (a folder's names against one mask).
bool matchesUpperCaseMask(std::string_view name, std::string_view mask);

// Whether a mask matches every name, so names need not be compared at all.
bool matchesEveryName(const std::string& mask);

} // namespace katalox::platform
