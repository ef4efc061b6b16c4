#pragma once
// Tokens that prove the File Mask's test exactly. The trigram index tells that a path holds
// ".MP" and "MP3", not that they touch, so a listing by a common extension would read every
// candidate record to check it. Beside it, a second index holds, for every dot in a path
// followed by plain ASCII characters, a token for each of the first one, two and three of
// them: the dot and the first character joined into one character (from a private-use plane),
// padded to three characters. A path holds the token of ".MP3" exactly when it contains
// ".MP3", so such a listing is counted from that index alone. Tokens of one length go into one
// column; the trigrams where two tokens meet hold the joined character elsewhere than first,
// so they are never taken for a token.
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace katalox::store {

// The texts indexed for a path, by token length: empty when it has no dot followed by a plain
// character. The engine compares a text only up to a NUL character, and so do these tokens.
constexpr std::size_t kDotGramColumns = 3;
std::array<std::string, kDotGramColumns> dotGramsOf(std::string_view path);

// The token for a Like pattern `%.X%` whose X is one to three plain ASCII characters (no
// wildcard): the texts holding the token are exactly those the pattern matches. Empty for
// any other pattern.
std::optional<std::string> dotGramOfPattern(std::string_view pattern);

} // namespace katalox::store
