#pragma once
// Text built into SQL. Our own statements take their values as bound parameters; what cannot
// be bound (a table's name, the constants of a statement the windows wrote in their dialect,
// a term of a full-text query) is written by this one rule: the text between two quote
// characters, with every such quote inside it doubled.
#include <string>
#include <string_view>

namespace katalox::store {

std::string quoted(std::string_view text, char quote);

// A name as a double-quoted identifier.
inline std::string quoteIdentifier(std::string_view name) {
    return quoted(name, '"');
}

} // namespace katalox::store
