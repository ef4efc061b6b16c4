#pragma once
// What scan reads from its command line on any catalogue: the folder, its patterns and the
// Disk ID the files go under.
#include "cli/Arguments.h"
#include "scanner/FileWalk.h"

#include <string>
#include <vector>

namespace katalox::cli {

const std::vector<OptionSpec>& scanOptions();

struct ScanTarget {
    std::string diskId;
    scanner::WalkRules rules; // the folder made absolute, with its final separator
};

// Throws UsageError for a mistake in the command line, Error for a folder that is not there.
ScanTarget scanTargetOf(const Arguments& args);

} // namespace katalox::cli
