#pragma once
// What DiskContents reads of a catalogue file: its tables of scans, facts and members.
#include "store/catalog/ContentsRows.h"

#include <memory>

namespace katalox::store {

class Database;

class FileContentsRows : public ContentsRows {
public:
    FileContentsRows(std::shared_ptr<Database> db, std::string table);
    std::vector<RecordedScan> scans(const std::string& diskId) override;
    std::vector<ContentsFolderRow> folders(const std::vector<std::int64_t>& scanIds) override;
    std::int64_t recordCount(const std::string& diskId) override;
    void looseRecords(const std::string& diskId, bool withoutOwnFacts,
                      const std::vector<std::int64_t>& ownFolders,
                      const std::function<void(LooseRecord&)>& each) override;
    std::vector<ContentsFile> filesOf(std::int64_t folder, const std::string& diskId) override;
    std::optional<std::int64_t> folderOfRecord(std::int64_t record) override;

private:
    std::shared_ptr<Database> db_;
    std::string table_;
};

} // namespace katalox::store
