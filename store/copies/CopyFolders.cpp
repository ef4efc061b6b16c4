#include "store/copies/CopyFolders.h"

#include "platform/Utf8.h"
#include "store/catalog/RecordedDisks.h"
#include "store/facts/FactTables.h"
#include "store/facts/RecordedFacts.h"
#include "store/prints/PrintTables.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

#include <algorithm>
#include <map>
#include <unordered_map>

namespace katalox::store {

namespace {

// A print held by more folders than this says little about any two of them (a licence text,
// an icon): it is left out of the pairing, which would grow with the square of the count.
constexpr std::size_t kMostFoldersPerPrint = 32;

using FolderRun = FolderCopyRows::Run;

class FileFolderCopyRows : public FolderCopyRows {
public:
    explicit FileFolderCopyRows(Database& db) : db_(db), names_(db) {}

    bool keepsPrintsAndFacts() override { return hasPrintTables(db_) && hasFactTables(db_); }
    std::vector<Run> runs() override {
        std::vector<Run> runs;
        Statement select = db_.prepare("SELECT \"First Record\", \"Records\", \"Folder\" FROM " +
                                       quoteIdentifier(kFactsTable) + " ORDER BY 1");
        while (select.step())
            runs.push_back(
                {select.columnInteger(0), select.columnInteger(1), select.columnInteger(2)});
        return runs;
    }
    void sharedRecords(const Shared& shared) override {
        Statement select = db_.prepare("SELECT p.\"Print\", p.\"Record\" FROM " +
                                       quoteIdentifier(kFilePrintsTable) + " p JOIN " +
                                       quoteIdentifier(kCopyGroupsTable) +
                                       " g ON g.\"Print\" = p.\"Print\" ORDER BY p.\"Print\"");
        while (select.step())
            shared(select.columnValue(0).asString(), select.columnInteger(1));
    }
    std::map<std::int64_t, std::pair<std::int64_t, std::int64_t>>
    folderSizes(const std::vector<std::int64_t>& folders) override {
        std::map<std::int64_t, std::pair<std::int64_t, std::int64_t>> sizes;
        Statement select = db_.prepare("SELECT \"Files\", \"Bytes\" FROM " +
                                       quoteIdentifier(kFoldersTable) + " WHERE \"Id\" = ?1");
        for (const std::int64_t folder : folders) {
            select.reset();
            select.bindInteger(1, folder);
            if (select.step())
                sizes[folder] = {select.columnInteger(0), select.columnInteger(1)};
        }
        return sizes;
    }
    std::vector<RecordedScan> scans() override { return allRecordedScans(db_); }
    RecordedFactsReader& names() override { return names_; }

private:
    Database& db_;
    RecordedFactsReader names_;
};

std::int64_t folderOf(const std::vector<FolderRun>& runs, std::int64_t record) {
    const auto after =
        std::upper_bound(runs.begin(), runs.end(), record,
                         [](std::int64_t r, const FolderRun& run) { return r < run.first; });
    if (after == runs.begin())
        return 0;
    const FolderRun& run = *std::prev(after);
    return record < run.first + run.count ? run.folder : 0;
}

struct FolderFiles {
    std::int64_t sharedRecords = 0; // its files that have a copy somewhere
    std::int64_t sharedPrints = 0;  // the distinct prints among them
    std::int64_t files = 0;
    std::int64_t bytes = 0;
};

} // namespace

std::vector<CopiedFolder> copiedFolders(Database& db, const CopyFilter& filter, std::size_t limit) {
    FileFolderCopyRows rows(db);
    return copiedFolders(rows, filter, limit);
}

std::vector<CopiedFolder> copiedFolders(FolderCopyRows& rows, const CopyFilter& filter,
                                        std::size_t limit) {
    if (!rows.keepsPrintsAndFacts())
        return {};
    const std::vector<FolderRun> runs = rows.runs();
    // The folders holding each shared print, in print order.
    std::unordered_map<std::int64_t, FolderFiles> folders;
    std::vector<std::vector<std::int64_t>> holders;
    std::string lastPrint;
    rows.sharedRecords([&](const std::string& print, std::int64_t record) {
        const std::int64_t folder = folderOf(runs, record);
        if (folder == 0)
            return;
        if (holders.empty() || print != lastPrint)
            holders.emplace_back();
        lastPrint = print;
        FolderFiles& files = folders[folder];
        ++files.sharedRecords;
        std::vector<std::int64_t>& holding = holders.back();
        if (std::find(holding.begin(), holding.end(), folder) == holding.end()) {
            holding.push_back(folder);
            ++files.sharedPrints;
        }
    });
    // Only folders whose every file is shared can be a copy.
    std::vector<std::int64_t> folderIds;
    for (const auto& entry : folders)
        folderIds.push_back(entry.first);
    for (const auto& [folder, size] : rows.folderSizes(folderIds)) {
        folders[folder].files = size.first;
        folders[folder].bytes = size.second;
    }
    const auto whole = [&](std::int64_t folder) {
        const FolderFiles& files = folders[folder];
        return files.files >= 2 && files.sharedRecords == files.files;
    };
    // For each folder whose files are all shared, the prints of it each other folder holds.
    std::map<std::pair<std::int64_t, std::int64_t>, std::int64_t> common;
    for (const std::vector<std::int64_t>& holding : holders) {
        if (holding.size() < 2 || holding.size() > kMostFoldersPerPrint)
            continue;
        for (const std::int64_t folder : holding)
            if (whole(folder))
                for (const std::int64_t other : holding)
                    if (other != folder)
                        ++common[{folder, other}];
    }
    const auto inside = [&](std::int64_t folder, std::int64_t other) {
        const auto found = common.find({folder, other});
        return found != common.end() && found->second == folders[folder].sharedPrints;
    };
    std::map<std::int64_t, std::string> diskOfScan;
    for (const RecordedScan& scan : rows.scans())
        diskOfScan[scan.id] = scan.diskId;
    RecordedFactsReader& names = rows.names();
    std::vector<CopiedFolder> found;
    for (const auto& [pair, count] : common) {
        const auto [folder, other] = pair;
        if (!inside(folder, other))
            continue;
        const bool same = whole(other) && inside(other, folder);
        if (same && other < folder)
            continue; // the pair is told once
        const auto* path = names.folderPath(folder);
        const auto* otherPath = names.folderPath(other);
        if (!path || !otherPath)
            continue;
        CopiedFolder copied{diskOfScan[path->scanId],
                            path->path,
                            diskOfScan[otherPath->scanId],
                            otherPath->path,
                            folders[folder].files,
                            folders[folder].bytes,
                            same};
        if (copied.bytes < filter.minSize)
            continue;
        if (!filter.diskId.empty() && copied.diskId != filter.diskId &&
            copied.otherDiskId != filter.diskId)
            continue;
        if (!filter.pathPart.empty() &&
            platform::upperCase(copied.path).find(filter.pathPart) == std::string::npos &&
            platform::upperCase(copied.otherPath).find(filter.pathPart) == std::string::npos)
            continue;
        found.push_back(std::move(copied));
    }
    std::sort(found.begin(), found.end(), [](const CopiedFolder& a, const CopiedFolder& b) {
        return a.bytes != b.bytes ? a.bytes > b.bytes : a.path < b.path;
    });
    if (found.size() > limit)
        found.resize(limit);
    return found;
}

} // namespace katalox::store
