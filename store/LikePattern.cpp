#include "store/LikePattern.h"

namespace katalox::store {

namespace {

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

} // namespace

std::size_t longestLiteralRun(const std::string& likePattern) {
    std::size_t longest = 0;
    std::size_t run = 0;
    std::size_t i = 0;
    while (i < likePattern.size()) {
        const auto c = static_cast<unsigned char>(likePattern[i++]);
        if (c == '%' || c == '_') {
            run = 0;
            continue;
        }
        if (c >= 0xC0) {
            while (i < likePattern.size() &&
                   isContinuation(static_cast<unsigned char>(likePattern[i])))
                ++i;
        }
        longest = std::max(longest, ++run);
    }
    return longest;
}

std::string globFromLike(const std::string& likePattern) {
    std::string glob;
    glob.reserve(likePattern.size() + 8);
    for (const char c : likePattern) {
        switch (c) {
        case '%':
            glob += '*';
            break;
        case '_':
            glob += '?';
            break;
        case '*':
        case '?':
        case '[':
            glob += '[';
            glob += c;
            glob += ']';
            break;
        default:
            glob += c;
        }
    }
    return glob;
}

} // namespace katalox::store
