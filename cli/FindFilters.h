#pragma once
// What find reads from its command line on any catalogue: its options, the tests of a record's
// own fields, and the form and number of the results.
#include "cli/Arguments.h"
#include "cli/FoundRecords.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace katalox::cli {

const std::vector<OptionSpec>& findOptions();

// Throws UsageError when nothing chooses records: no pattern and no filter.
void requireChoice(const Arguments& args);

// `Like` text for a substring: upper-cased as paths are stored, its own % _ \ kept literal.
std::string likeSubstring(const std::string& pattern);

// The tests of the fields of a record's row: Disk ID and extension (wildcards), size, and
// wildcards over the whole stored path.
struct RecordFilters {
    std::vector<std::string> disks;
    std::optional<std::string> extension; // upper-cased
    std::optional<std::int64_t> minSize, maxSize;
    std::vector<std::string> globs; // upper-cased

    bool passes(const FoundRecord& record) const;
};

RecordFilters recordFiltersOf(const Arguments& args);

// The tests of a record's recorded modification time (--newer, --older): a record without one
// passes neither.
struct TimeFilters {
    std::optional<std::int64_t> newer, older;

    bool any() const { return newer || older; }
    bool passes(const FoundRecord& record) const;
};

TimeFilters timeFiltersOf(const Arguments& args);

struct FindOutput {
    std::int64_t limit = -1; // none
    bool countOnly = false;
    RecordFormat format = RecordFormat::Lines;
};

FindOutput findOutputOf(const Arguments& args);

} // namespace katalox::cli
