#pragma once
// find --regex: regular expressions (PCRE2) that every result's path must match, the real path
// where it is recorded, on any catalogue.
#include "cli/Arguments.h"
#include "cli/FoundRecords.h"

#include <memory>
#include <string>
#include <vector>

namespace katalox::cli {

class Regex;

class RegexFilters {
public:
    RegexFilters();
    ~RegexFilters();
    RegexFilters(RegexFilters&&) noexcept;
    RegexFilters& operator=(RegexFilters&&) noexcept;

    bool any() const { return !regexes_.empty(); }
    bool passes(const FoundRecord& record) const;

private:
    friend RegexFilters regexFiltersOf(const Arguments& args);
    std::vector<std::unique_ptr<Regex>> regexes_;
};

// The words as expressions when --regex is given (-i: letter case ignored), else none. Throws
// UsageError for one that is not valid.
RegexFilters regexFiltersOf(const Arguments& args);

} // namespace katalox::cli
