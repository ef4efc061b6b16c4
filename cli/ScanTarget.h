#pragma once
// What scan reads from its command line on any catalogue: the folder, its patterns and the
// Disk ID the files go under.
#include "cli/Arguments.h"
#include "scanner/FileWalk.h"

#include <cstdint>

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

// What a scan tells when it ends, on standard error: how many files went in (on a terminal),
// and the archives and files it could not read.
struct ScanEnd {
    std::int64_t records = 0;
    std::int64_t unreadArchives = 0;
    std::int64_t membersLeftOut = 0;
    std::int64_t unreadable = 0; // files that got no fingerprint
    std::int64_t changing = 0;
};
void tellScanEnd(const std::string& diskId, const ScanEnd& end);

} // namespace katalox::cli
