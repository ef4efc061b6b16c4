#pragma once
// The rows of facts in a catalogue file: the tables of FactTables.h.
#include "store/facts/FactRows.h"

#include <memory>

namespace katalox::store {

class Database;
class Statement;

class FileFactsSink : public FactsSink {
public:
    explicit FileFactsSink(Database& db) : db_(db) {}
    bool folderExists(std::int64_t folder) override;
    std::vector<std::int64_t> addFolders(std::int64_t scanId,
                                         const std::vector<NewFolder>& folders) override;
    void addRuns(const std::vector<FactRun>& runs) override;
    void growFolders(const std::vector<FolderGrowth>& growths) override;

private:
    Database& db_;
};

// Reads nothing from a catalogue without the tables.
class FileFactsSource : public FactsSource {
public:
    explicit FileFactsSource(Database& db);
    ~FileFactsSource() override;
    std::optional<FactRun> runFrom(std::int64_t record) override;
    bool dropped(std::int64_t record) override;
    std::optional<FolderRow> folder(std::int64_t id) override;

private:
    std::unique_ptr<Statement> run_;
    std::unique_ptr<Statement> dropped_;
    std::unique_ptr<Statement> folder_;
    bool anyDropped_ = false;
};

} // namespace katalox::store
