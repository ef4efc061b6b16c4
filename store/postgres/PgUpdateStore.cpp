#include "store/postgres/PgUpdateStore.h"

#include "store/facts/FactsWriter.h"
#include "store/postgres/PgArchiveMembers.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgDiskChanges.h"
#include "store/postgres/PgDisks.h"
#include "store/postgres/PgFactTables.h"
#include "store/postgres/PgFacts.h"
#include "store/postgres/PgPrintsWriter.h"
#include "store/postgres/ServerCatalogue.h"

#include <algorithm>

namespace katalox::store {

namespace {

class ServerUpdateStore : public DiskUpdateStore {
public:
    ServerUpdateStore(const std::string& uri, std::string table)
        : uri_(uri), db_(serverConnection(uri)), table_(std::move(table)) {}

    std::string name() const override { return uriForDisplay(uri_); }
    const std::string& table() const override { return table_; }
    std::vector<RecordedScan> recordedScans(const std::string& diskId) override {
        std::vector<RecordedScan> scans = serverScans(*db_, table_);
        std::erase_if(scans, [&](const RecordedScan& scan) { return scan.diskId != diskId; });
        return scans;
    }
    std::vector<StoredRecord> recordsUnder(const std::string& diskId,
                                           const std::vector<std::string>& folders) override {
        return serverRecordsUnder(*db_, table_, diskId, folders);
    }
    // The catalogue's layout holds every table already.
    void prepare(bool, bool, bool) override {}
    void apply(
        const std::string& diskId, const DiskChanges& changes,
        const std::vector<RecordedScan>& scans,
        const std::function<void(std::size_t done)>& progress,
        const std::function<void(const std::vector<std::int64_t>& added)>& beforeCommit) override {
        applyServerChanges(*db_, table_, diskId, changes, scans, progress, beforeCommit);
    }
    void forgetScanFacts(const std::vector<std::int64_t>& scanIds) override {
        std::string ids = "{";
        for (const std::int64_t id : scanIds)
            ids += (ids.size() > 1 ? "," : "") + std::to_string(id);
        db_->execute(forgetServerScanFactsStatement(table_), {ids + "}"});
    }
    std::unique_ptr<FactsWriter> factsWriter(const std::string& rootFolder) override {
        return std::make_unique<FactsWriter>(std::make_unique<ServerFactsSink>(*db_, table_),
                                             rootFolder);
    }
    void forgetMembers(std::int64_t archive) override {
        db_->execute(forgetServerArchiveMembersStatement(table_), {std::to_string(archive)});
    }
    void writeMembers(const std::string& diskId, std::int64_t archive,
                      const std::string& storedArchivePath,
                      const std::vector<ArchiveMember>& members) override {
        writeServerMembers(*db_, table_, diskId, archive, storedArchivePath, members);
    }
    void writePrints(const std::vector<PrintToWrite>& prints) override {
        PgPrintsWriter writer(*db_, table_);
        for (const PrintToWrite& print : prints)
            writer.add(print.record, print.print, print.size);
        writer.flush();
    }

private:
    std::string uri_;
    std::shared_ptr<PgConnection> db_;
    std::string table_;
};

} // namespace

std::unique_ptr<DiskUpdateStore> serverUpdateStore(const std::string& uri,
                                                   const std::string& table) {
    return std::make_unique<ServerUpdateStore>(uri, table);
}

} // namespace katalox::store
