#pragma once
// What a trigram index needs to know about a Like pattern (no ESCAPE; "%" any run, "_" one
// character; letter case exact, as the engine compares).
#include <string>

namespace katalox::store {

// The longest run of characters between wildcards, counted as the engine's UTF-8 reader counts
// them: a lead byte takes every continuation byte after it; any other byte is a character.
std::size_t longestLiteralRun(const std::string& likePattern);

// The Glob pattern matching exactly the same values: "%" -> "*", "_" -> "?", and "*", "?",
// "[" of the value taken literally.
std::string globFromLike(const std::string& likePattern);

} // namespace katalox::store
