#include "store/facts/RealName.h"

#include <cstdint>

namespace katalox::store {

namespace {

constexpr int kMaskLetters = 62; // the mask stays a positive 64-bit integer

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

Value keptName(std::string_view realName, std::string_view upperName) {
    std::int64_t mask = 0;
    int letter = 0;
    bool maskable = realName.size() == upperName.size();
    for (std::size_t i = 0; maskable && i < realName.size(); ++i) {
        const char c = realName[i];
        if (static_cast<unsigned char>(c) >= 0x80 || upper(c) != upperName[i]) {
            maskable = false;
        } else if (isLetter(c)) {
            if (letter == kMaskLetters)
                maskable = false;
            else if (c >= 'a')
                mask |= std::int64_t{1} << letter;
            ++letter;
        }
    }
    return maskable ? Value(mask) : Value(std::string(realName));
}

std::string realNameOf(const Value& kept, std::string_view upperName) {
    if (const std::string* bytes = kept.text())
        return *bytes;
    std::string name(upperName);
    if (!kept.isInteger())
        return name;
    const std::int64_t mask = kept.asInteger();
    int letter = 0;
    for (char& c : name) {
        if (!isLetter(c))
            continue;
        if (letter < kMaskLetters && (mask >> letter & 1) != 0 && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        ++letter;
    }
    return name;
}

} // namespace katalox::store
