#pragma once
// What a trigram index needs to know about a Like pattern (no ESCAPE; "%" any run, "_" one
// character; letter case exact, as the engine compares). Characters are counted as the
// engine's UTF-8 reader and the trigram tokenizer count them: a lead byte takes every
// continuation byte after it; any other byte is a character of its own.
#include <string>
#include <vector>

namespace katalox::store {

// Every distinct run of three characters inside the pattern's literal runs, in order.
std::vector<std::string> trigramsOf(const std::string& likePattern);

} // namespace katalox::store
