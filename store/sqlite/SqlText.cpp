#include "store/sqlite/SqlText.h"

namespace katalox::store {

std::string quoted(std::string_view text, char quote) {
    std::string result;
    result.reserve(text.size() + 2);
    result += quote;
    for (const char c : text) {
        result += c;
        if (c == quote)
            result += quote;
    }
    result += quote;
    return result;
}

} // namespace katalox::store
