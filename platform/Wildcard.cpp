#include "platform/Wildcard.h"

#include "platform/Utf8.h"

namespace katalox::platform {

namespace {

// "*" and "?" over UTF-8 characters of two upper-cased texts.
bool wildcardMatch(std::string_view name, std::string_view mask) {
    std::size_t n = 0, m = 0;
    std::size_t starMask = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = ++m;
            starName = n;
            continue;
        }
        if (m < mask.size() && mask[m] == '?') {
            n += characterLength(name, n);
            ++m;
            continue;
        }
        if (m < mask.size()) {
            const std::size_t length = characterLength(mask, m);
            if (name.substr(n, length) == mask.substr(m, length)) {
                n += length;
                m += length;
                continue;
            }
        }
        if (starMask == std::string_view::npos)
            return false;
        starName += characterLength(name, starName);
        n = starName;
        m = starMask;
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

} // namespace

bool matchesUpperCaseMask(std::string_view name, std::string_view mask) {
    const bool hasDot = name.find('.') != std::string_view::npos;
    if (mask.ends_with(".*")) {
        return wildcardMatch(name, mask) ||
               (!hasDot && wildcardMatch(name, mask.substr(0, mask.size() - 2)));
    }
    if (mask.ends_with('.'))
        return !hasDot && wildcardMatch(name, mask.substr(0, mask.size() - 1));
    return wildcardMatch(name, mask);
}

bool matchesEveryName(const std::string& mask) {
    return mask == "*.*" || mask.find_first_not_of('*') == std::string::npos;
}

bool matchesMask(const std::string& name, const std::string& mask) {
    return matchesUpperCaseMask(upperCase(name), upperCase(mask));
}

} // namespace katalox::platform
