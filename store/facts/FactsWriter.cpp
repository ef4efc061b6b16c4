#include "store/facts/FactsWriter.h"

#include "platform/Paths.h"
#include "store/facts/FactRuns.h"
#include "store/facts/FactsOnFile.h"
#include "store/facts/RealName.h"

#include <algorithm>

namespace katalox::store {

FactsWriter::FactsWriter(Database& db, std::string rootFolder)
    : FactsWriter(std::make_unique<FileFactsSink>(db), std::move(rootFolder)) {}

FactsWriter::FactsWriter(std::unique_ptr<FactsSink> sink, std::string rootFolder)
    : sink_(std::move(sink)) {
    folders_.push_back({std::move(rootFolder), 0, 0, 0, 0});
    byPath_.emplace("", 0);
}

FactsWriter::~FactsWriter() = default;

std::uint32_t FactsWriter::folderOf(std::string_view folderPath) {
    if (folderPath == lastFolder_)
        return lastFolderIndex_;
    const std::string relative(folderPath.substr(folders_[0].name.size()));
    auto found = byPath_.find(relative);
    if (found == byPath_.end()) {
        // The parent first: the path without its last component.
        const std::string_view withoutSeparator = folderPath.substr(0, folderPath.size() - 1);
        const std::size_t cut = withoutSeparator.rfind(platform::kPathSeparator);
        const std::uint32_t parent = folderOf(folderPath.substr(0, cut + 1));
        folders_.push_back({std::string(withoutSeparator.substr(cut + 1)), parent, 0, 0, 0});
        found = byPath_.emplace(relative, static_cast<std::uint32_t>(folders_.size() - 1)).first;
    }
    lastFolder_.assign(folderPath);
    lastFolderIndex_ = found->second;
    return found->second;
}

void FactsWriter::add(std::string_view realPath, std::string_view upperName, std::int64_t size,
                      std::int64_t modified, std::int64_t record) {
    const std::string& root = folders_[0].name;
    const std::size_t cut = realPath.rfind(platform::kPathSeparator);
    if (cut == std::string_view::npos || cut + 1 < root.size() ||
        realPath.substr(0, root.size()) != root)
        return;
    const std::uint32_t folder = folderOf(realPath.substr(0, cut + 1));
    Folder& into = folders_[folder];
    if (into.files++ == 0)
        touched_.push_back(folder);
    into.bytes += size;
    facts_.push_back({record, folder, keptName(realPath.substr(cut + 1), upperName), modified});
}

void FactsWriter::setRecord(std::int64_t record) {
    if (!facts_.empty())
        facts_.back().record = record;
}

void FactsWriter::writeFolders(std::int64_t scanId) {
    // A batch rolled back after an earlier flush took its folders with it: they are written
    // again (the facts of that batch are lost, and their records show without them).
    std::int64_t lastWritten = 0;
    for (const Folder& folder : folders_)
        lastWritten = folder.id != 0 ? folder.id : lastWritten;
    if (lastWritten != 0 && !sink_->folderExists(lastWritten))
        for (Folder& folder : folders_)
            folder.id = 0;
    // Parents come before their children in folders_, so in the list too.
    std::vector<NewFolder> added;
    std::vector<std::uint32_t> addedIndex;
    std::unordered_map<std::uint32_t, std::size_t> placeOf;
    for (std::uint32_t i = 0; i < folders_.size(); ++i) {
        const Folder& folder = folders_[i];
        if (folder.id != 0)
            continue;
        NewFolder row{folder.name, 0, std::nullopt};
        if (i != 0) {
            if (const auto parent = placeOf.find(folder.parent); parent != placeOf.end())
                row.parentAt = parent->second;
            else
                row.parentId = folders_[folder.parent].id;
        }
        placeOf.emplace(i, added.size());
        added.push_back(std::move(row));
        addedIndex.push_back(i);
    }
    if (added.empty())
        return;
    const std::vector<std::int64_t> ids = sink_->addFolders(scanId, added);
    for (std::size_t i = 0; i < ids.size(); ++i)
        folders_[addedIndex[i]].id = ids[i];
}

void FactsWriter::flush(std::int64_t scanId, std::int64_t lastRecord) {
    if (facts_.empty())
        return;
    writeFolders(scanId);
    for (Fact& fact : facts_)
        fact.record = fact.record != 0 ? fact.record : lastRecord;
    const auto byFolderAndRecord = [](const Fact& a, const Fact& b) {
        return a.folder != b.folder ? a.folder < b.folder : a.record < b.record;
    };
    // An insert gives a folder's files consecutive records; a disk update gives them in any
    // order, so runs are made of records in order.
    if (!std::is_sorted(facts_.begin(), facts_.end(), byFolderAndRecord))
        std::stable_sort(facts_.begin(), facts_.end(), byFolderAndRecord);
    std::vector<FactRun> runs;
    for (std::size_t from = 0; from < facts_.size();) {
        std::size_t to = from + 1;
        while (to < facts_.size() && facts_[to].folder == facts_[from].folder &&
               facts_[to].record == facts_[to - 1].record + 1)
            ++to;
        FactRun& run = runs.emplace_back();
        run.first = facts_[from].record;
        run.count = static_cast<std::int64_t>(to - from);
        run.folder = folders_[facts_[from].folder].id;
        std::int64_t lastTime = 0;
        for (std::size_t i = from; i < to; ++i)
            packFact(run.names, run.times, lastTime,
                     {std::move(facts_[i].name), facts_[i].modified});
        from = to;
    }
    sink_->addRuns(runs);
    std::vector<FolderGrowth> growths;
    for (const std::uint32_t index : touched_) {
        Folder& folder = folders_[index];
        if (folder.files == 0 && folder.bytes == 0)
            continue;
        growths.push_back({folder.id, folder.files, folder.bytes});
        folder.files = folder.bytes = 0;
    }
    sink_->growFolders(growths);
    touched_.clear();
    facts_.clear();
}

} // namespace katalox::store
