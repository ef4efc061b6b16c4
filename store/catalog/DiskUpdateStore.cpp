#include "store/catalog/DiskUpdateStore.h"

#include "store/archives/ArchiveMembers.h"
#include "store/facts/FactTables.h"
#include "store/facts/FactsWriter.h"
#include "store/prints/PrintTables.h"
#include "store/prints/PrintsWriter.h"
#include "store/sqlite/Database.h"

namespace katalox::store {

namespace {

class FileUpdateStore : public DiskUpdateStore {
public:
    FileUpdateStore(std::shared_ptr<Database> db, std::string table)
        : db_(std::move(db)), table_(std::move(table)) {}

    std::string name() const override { return db_->path(); }
    const std::string& table() const override { return table_; }
    std::vector<RecordedScan> recordedScans(const std::string& diskId) override {
        return store::recordedScans(*db_, diskId);
    }
    std::vector<StoredRecord> recordsUnder(const std::string& diskId,
                                           const std::vector<std::string>& folders) override {
        return store::recordsUnder(*db_, table_, diskId, folders);
    }
    void prepare(bool facts, bool prints, bool members) override {
        if (prints)
            preparePrintTables(*db_, table_);
        if (facts)
            prepareFactTables(*db_, table_);
        if (members)
            prepareMemberTable(*db_, table_);
    }
    void apply(
        const std::string& diskId, const DiskChanges& changes,
        const std::vector<RecordedScan>& scans,
        const std::function<void(std::size_t done)>& progress,
        const std::function<void(const std::vector<std::int64_t>& added)>& beforeCommit) override {
        applyChanges(*db_, table_, diskId, changes, scans, progress, beforeCommit);
    }
    void forgetScanFacts(const std::vector<std::int64_t>& scanIds) override {
        store::forgetScanFacts(*db_, scanIds);
    }
    std::unique_ptr<FactsWriter> factsWriter(const std::string& rootFolder) override {
        return std::make_unique<FactsWriter>(*db_, rootFolder);
    }
    void forgetMembers(std::int64_t archive) override {
        forgetArchiveMembers(*db_, table_, archive);
    }
    void writeMembers(const std::string& diskId, std::int64_t archive,
                      const std::string& storedArchivePath,
                      const std::vector<ArchiveMember>& members) override {
        store::writeMembers(*db_, table_, diskId, archive, storedArchivePath, members);
    }
    void writePrints(const std::vector<PrintToWrite>& prints) override {
        PrintsWriter writer(*db_);
        for (const PrintToWrite& print : prints)
            writer.add(print.record, print.print, print.size);
        writer.flush();
    }

private:
    std::shared_ptr<Database> db_;
    std::string table_;
};

} // namespace

std::unique_ptr<DiskUpdateStore> fileUpdateStore(std::shared_ptr<Database> db, std::string table) {
    return std::make_unique<FileUpdateStore>(std::move(db), std::move(table));
}

} // namespace katalox::store
