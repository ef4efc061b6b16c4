#include "store/search/DotGrams.h"

namespace katalox::store {

namespace {

constexpr std::size_t kLongest = kDotGramColumns;
constexpr char kPadding = '\x01';

// Printable and control characters alike, but not the padding.
bool isPlain(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte > static_cast<unsigned char>(kPadding) && byte < 0x80;
}

// The dot and `first` as one character: U+F0000 plus the character's code, in UTF-8.
void appendJoinedDot(std::string& text, char first) {
    const char32_t code = 0xF0000 + static_cast<unsigned char>(first);
    text += static_cast<char>(0xF0 | (code >> 18));
    text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (code & 0x3F));
}

// The token for the plain characters `after` a dot (one to three of them).
std::string tokenOf(std::string_view after) {
    std::string token;
    appendJoinedDot(token, after.front());
    token.append(after.substr(1));
    token.append(kLongest - after.size(), kPadding);
    return token;
}

} // namespace

std::array<std::string, kDotGramColumns> dotGramsOf(std::string_view path) {
    path = path.substr(0, path.find('\0'));
    std::array<std::string, kDotGramColumns> texts;
    for (std::size_t dot = path.find('.'); dot != std::string_view::npos;
         dot = path.find('.', dot + 1)) {
        std::size_t plain = 0;
        while (plain < kLongest && dot + 1 + plain < path.size() && isPlain(path[dot + 1 + plain]))
            ++plain;
        for (std::size_t length = 1; length <= plain; ++length)
            texts[length - 1] += tokenOf(path.substr(dot + 1, length));
    }
    return texts;
}

std::optional<std::string> dotGramOfPattern(std::string_view pattern) {
    if (pattern.size() < 4 || pattern.size() > 4 + kLongest - 1 || pattern.front() != '%' ||
        pattern.back() != '%' || pattern[1] != '.')
        return std::nullopt;
    const std::string_view after = pattern.substr(2, pattern.size() - 3);
    for (const char c : after) {
        if (!isPlain(c) || c == '%' || c == '_')
            return std::nullopt;
    }
    return tokenOf(after);
}

} // namespace katalox::store
