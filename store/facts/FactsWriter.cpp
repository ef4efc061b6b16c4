#include "store/facts/FactsWriter.h"

#include "platform/Paths.h"
#include "store/facts/FactRuns.h"
#include "store/facts/FactTables.h"
#include "store/facts/RealName.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

#include <algorithm>

namespace katalox::store {

FactsWriter::FactsWriter(Database& db, std::string rootFolder) : db_(db) {
    folders_.push_back({std::move(rootFolder), 0, 0, 0, 0});
    byPath_.emplace("", 0);
}

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
    const std::string folders = quoteIdentifier(kFoldersTable);
    std::int64_t lastWritten = 0;
    for (const Folder& folder : folders_)
        lastWritten = folder.id != 0 ? folder.id : lastWritten;
    if (lastWritten != 0 && db_.integerOf("SELECT count(*) FROM " + folders + " WHERE \"Id\" = ?1",
                                          {Value(lastWritten)}) == 0)
        for (Folder& folder : folders_)
            folder.id = 0;
    Statement insert = db_.prepareInBatch("INSERT INTO " + folders +
                                          " (\"Scan\", \"Parent\", \"Name\", \"Files\", \"Bytes\")"
                                          " VALUES (?1, ?2, ?3, 0, 0)");
    for (std::size_t i = 0; i < folders_.size(); ++i) {
        Folder& folder = folders_[i];
        if (folder.id != 0)
            continue;
        insert.reset();
        insert.bindInteger(1, scanId);
        if (i == 0)
            insert.bind(2, Value());
        else
            insert.bindInteger(2, folders_[folder.parent].id);
        insert.bindText(3, folder.name);
        insert.step();
        folder.id = db_.lastInsertRowId();
    }
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
    Statement insert = db_.prepareInBatch("INSERT OR REPLACE INTO " + quoteIdentifier(kFactsTable) +
                                          " VALUES (?1, ?2, ?3, ?4, ?5)");
    Statement undrop = db_.prepareInBatch("DELETE FROM " + quoteIdentifier(kDroppedTable) +
                                          " WHERE \"Record\" >= ?1 AND \"Record\" < ?2");
    std::string names, times;
    for (std::size_t from = 0; from < facts_.size();) {
        std::size_t to = from + 1;
        while (to < facts_.size() && facts_[to].folder == facts_[from].folder &&
               facts_[to].record == facts_[to - 1].record + 1)
            ++to;
        names.clear();
        times.clear();
        std::int64_t lastTime = 0;
        for (std::size_t i = from; i < to; ++i)
            packFact(names, times, lastTime, {std::move(facts_[i].name), facts_[i].modified});
        const auto count = static_cast<std::int64_t>(to - from);
        insert.reset();
        insert.bindInteger(1, facts_[from].record);
        insert.bindInteger(2, count);
        insert.bindInteger(3, folders_[facts_[from].folder].id);
        insert.bindBlob(4, names);
        insert.bindBlob(5, times);
        insert.step();
        // A record id used again (by a table without AUTOINCREMENT) has facts again.
        undrop.reset();
        undrop.bindInteger(1, facts_[from].record);
        undrop.bindInteger(2, facts_[from].record + count);
        undrop.step();
        from = to;
    }
    Statement grow = db_.prepareInBatch("UPDATE " + quoteIdentifier(kFoldersTable) +
                                        " SET \"Files\" = \"Files\" + ?1, \"Bytes\" = \"Bytes\" + "
                                        "?2 WHERE \"Id\" = ?3");
    for (const std::uint32_t index : touched_) {
        Folder& folder = folders_[index];
        if (folder.files == 0 && folder.bytes == 0)
            continue;
        grow.reset();
        grow.bindInteger(1, folder.files);
        grow.bindInteger(2, folder.bytes);
        grow.bindInteger(3, folder.id);
        grow.step();
        folder.files = folder.bytes = 0;
    }
    touched_.clear();
    facts_.clear();
}

} // namespace katalox::store
