#pragma once
// export --html: one self-contained page listing each disk folder by folder, written as the
// records come, sorted by Disk ID and folder, whichever catalogue they come from.
#include "cli/FoundRecords.h"
#include "cli/Output.h"
#include "store/catalog/RecordedDisks.h"
#include "store/sqlite/Value.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace katalox::cli {

// Writes the page as the records come, sorted by Disk ID and folder: a section per Disk ID, a
// heading and a table per folder.
class HtmlPage {
public:
    // What a disk's heading shows: how many records it holds and their bytes.
    using DiskTotals = std::function<std::pair<std::int64_t, std::int64_t>(const store::Value&)>;
    // `scans`: the last recorded scan of each Disk ID, for its volume's facts.
    HtmlPage(Output& out, std::map<std::string, store::RecordedScan> scans, DiskTotals diskTotals)
        : out_(out), scans_(std::move(scans)), diskTotals_(std::move(diskTotals)) {}

    void begin(const std::vector<store::Value>& diskIds);
    // `folder` tells the record's folder apart from the one before: its stored folder and the
    // folder of its facts (folders whose names differ only in letter case share the first).
    void add(const store::Value& diskId, const FoundRecord& record,
             const std::pair<std::string, store::Value>& folder, std::int64_t folderFiles,
             std::int64_t folderBytes);
    void end();

private:
    void beginDisk(const store::Value& diskId);
    void endFolder();
    void endDisk();

    Output& out_;
    std::map<std::string, store::RecordedScan> scans_;
    DiskTotals diskTotals_;
    std::optional<store::Value> disk_;
    std::optional<std::pair<std::string, store::Value>> folder_;
};

} // namespace katalox::cli
