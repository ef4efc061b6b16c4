#include "cli/CheckReport.h"

#include <set>

namespace katalox::cli {

std::string count(std::int64_t number, const std::string& one, const std::string& many) {
    return std::to_string(number) + " " + (number == 1 ? one : many);
}

std::string shellWord(const std::string& word) {
    if (!word.empty() &&
        word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                               "0123456789._-+:@/,") == std::string::npos)
        return word;
    std::string quoted = "'";
    for (const char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

void checkRecordedScans(const std::vector<store::RecordedScan>& scans,
                        const std::function<bool(const std::string& diskId)>& hasRecords,
                        const std::function<std::string(const store::RecordedScan&)>& completion,
                        Report& report) {
    if (scans.empty()) {
        report.ok("no scans are recorded");
        return;
    }
    std::set<std::string> diskIds;
    for (const store::RecordedScan& scan : scans)
        diskIds.insert(scan.diskId);
    report.ok(count(static_cast<std::int64_t>(scans.size()), "recorded scan", "recorded scans") +
              " of " + count(static_cast<std::int64_t>(diskIds.size()), "Disk ID", "Disk IDs"));
    for (const std::string& diskId : diskIds)
        if (!hasRecords(diskId))
            report.problem("Disk ID \"" + diskId + "\" has a recorded scan but no records",
                           "its recorded scans and their facts would be forgotten");
    for (const store::RecordedScan& scan : scans)
        if (!scan.complete)
            report.problem("the scan of \"" + scan.diskId + "\" of " + scan.scannedAt + " (" +
                               scan.scannedFolder +
                               ") was stopped before its end: " + std::to_string(scan.recordCount) +
                               " of " + count(scan.listedFiles, "file", "files") + " recorded",
                           completion(scan));
}

} // namespace katalox::cli
